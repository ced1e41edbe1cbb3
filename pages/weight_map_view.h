#pragma once

// The picture of the weights: one cell per connection (or per block of connections, on
// networks larger than the widget), unit numbers along the edges where they fit, and the
// colour scale with its numbers at the right. Pointing at a cell shows its connection.
// The weights are read when refresh() is called, not while painting, and by a tooltip only
// while they are the ones refresh() read: a training run takes the weights away from where
// the map reads them, so a tooltip meanwhile finds none.

#include <QImage>
#include <QWidget>

#include "core/network_state.h"
#include "views/weight_map.h"

namespace pages {

class WeightMapView final : public QWidget {
    Q_OBJECT
  public:
    explicit WeightMapView(QWidget* parent = nullptr);

    // Reads `weights` again (null: shows an empty map); they must outlive the next refresh.
    // Throws std::bad_alloc.
    void refresh(const core::ConnectionMatrix* weights);

    // Where the cells are drawn, in widget pixels; empty before the first refresh.
    QRect cellArea() const;
    // What pointing at `pos` shows: "Output j, Input i: w", or "" outside the cells and
    // while the weights are not of the sizes last drawn (or not there, during a run).
    QString connectionAt(QPoint pos) const;
    const views::WeightGrid& grid() const { return m_grid; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QRect plotArea() const;

    const core::ConnectionMatrix* m_weights = nullptr;
    views::WeightGrid m_grid;
    QImage m_cells;  // one pixel per grid cell
};

}  // namespace pages

#pragma once

// A chart's legend as rows of its own, one entry per row, each a colour swatch and the whole
// of its text: the charting component's own legend cuts entries short to fit them beside
// each other. A text wider than the row wraps onto a further line instead of being cut.

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>

class QGraphicsItem;
class QGraphicsRectItem;
class QGraphicsTextItem;

namespace pages {

class ChartLegend {
  public:
    struct Entry {
        QString text;
        QColor fill;
        QColor edge;
    };

    // The entries are drawn as children of `chart`, which owns them.
    explicit ChartLegend(QGraphicsItem* chart) : m_chart(chart) {}
    ChartLegend(const ChartLegend&) = delete;
    ChartLegend& operator=(const ChartLegend&) = delete;
    ~ChartLegend() { clear(); }

    // Shows these entries in place of the ones shown before (none: no legend).
    void setEntries(const QList<Entry>& entries, const QFont& font);
    // Lays the rows out `width` pixels wide from `left`, their last row ending at `bottom`;
    // returns their height (0 without entries).
    double layOut(double left, double bottom, double width);
    // The height the rows take when laid out `width` pixels wide.
    double height(double width);

    const QList<QGraphicsTextItem*>& texts() const { return m_texts; }

  private:
    void clear();

    QGraphicsItem* m_chart;
    QList<QGraphicsTextItem*> m_texts;
    QList<QGraphicsRectItem*> m_swatches;
};

}  // namespace pages

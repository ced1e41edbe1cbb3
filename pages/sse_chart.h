#pragma once

// The bar chart of the SSE history: one light grey, black-edged bar per history row, in
// row order, on a white background, labelled below with the rows' sweep numbers.
//
// A history may hold 2000 rows, far more than labels fit side by side under the plot. The
// sweep axis therefore labels every bar while the labels fit and otherwise every 2nd, 5th,
// 10th, 20th, ... bar, counted from the first; it works this out again whenever the plot
// area changes size. The chart copies the rows it is given and never reads them again.

#include <QtCharts/QChart>

#include <QStringList>

#include <vector>

#include "views/sse_chart_rows.h"

class QBarSet;
class QBarSeries;
class QCategoryAxis;
class QValueAxis;

namespace pages {

class SSEChart final : public QChart {
    Q_OBJECT
  public:
    explicit SSEChart(const std::vector<views::SSEChartRow>& rows);

    // The label of every row, shown or not.
    const QStringList& rowLabels() const { return m_labels; }
    // Bars between two shown labels.
    int labelStep() const { return m_step; }

    QBarSet* bars() const { return m_bars; }
    QBarSeries* barSeries() const { return m_series; }
    QCategoryAxis* sweepAxis() const { return m_sweepAxis; }
    QValueAxis* sseAxis() const { return m_sseAxis; }

  private:
    void fitToPlot(double plotWidth);

    QStringList m_labels;
    int m_step = 0;
    QBarSet* m_bars = nullptr;
    QBarSeries* m_series = nullptr;
    QCategoryAxis* m_sweepAxis = nullptr;
    QValueAxis* m_sseAxis = nullptr;
};

// The fewest bars, from 1, 2, 5, 10, 20, 50, ..., between two labels `labelWidth` wide
// (their gap included) on bars `barSpacing` apart, so that the labels do not overlap;
// `bars` (only the first bar labelled) when even that many would not do or the spacing is
// not known yet.
int labelStep(double barSpacing, double labelWidth, int bars);

}  // namespace pages

#pragma once

// The bar chart of the SSE history: one light grey, black-edged bar per history row, in
// row order, on a white background, labelled below with the rows' sweep numbers.
//
// A history may hold 2000 rows, far more than labels fit side by side under the plot. The
// sweep axis therefore labels every bar while the labels fit and otherwise every 2nd, 5th,
// 10th, 20th, ... bar, counted from the first; it works this out again whenever the plot
// area changes size. The chart copies the rows it is given and never reads them again.
//
// Earlier runs can be drawn as lines over the bars, each in its own colour and named in a
// legend of rows below the plot; the sweep axis is then in epochs and spans the longest run
// (views/epoch_axis.h). The SSE axis can be logarithmic; zero values then sit on its floor.

#include <QtCharts/QChart>

#include <QStringList>

#include <vector>

#include "pages/chart_legend.h"
#include "views/epoch_axis.h"
#include "views/off_scale.h"
#include "views/sse_chart_rows.h"

class QBarSet;
class QLineSeries;
class QScatterSeries;
class QLogValueAxis;
class QBarSeries;
class QCategoryAxis;
class QValueAxis;

namespace pages {

class SSEChart final : public QChart {
    Q_OBJECT
  public:
    explicit SSEChart(const std::vector<views::SSEChartRow>& rows);

    // One earlier run: its legend and its points, x in epochs.
    struct RunLine {
        int number = 0;  // as the legend names it
        QString legend;
        QList<QPointF> points;
    };
    // Draws these runs (at most the first 8) in place of the ones drawn before.
    void setEarlierRuns(const QList<RunLine>& runs);
    void setLogarithmic(bool logarithmic);

    const QList<QLineSeries*>& runLines() const { return m_runLines; }
    // The legend shown with earlier runs: the bars' entry, then one per run.
    const ChartLegend& runLegend() const { return m_legend; }
    bool logarithmic() const { return m_logarithmic; }
    // The earlier runs that rise above the linear axis, which keeps the bars' range (runs
    // within the range it takes are drawn whole); none on the logarithmic scale.
    const std::vector<views::RunPeak>& offScaleRuns() const { return m_offScale; }
    // The marks where those runs leave the axis, one series of them per run.
    const QList<QScatterSeries*>& exitMarks() const { return m_exitMarks; }
    // The logarithmic SSE axis while the scale is logarithmic; null otherwise.
    QLogValueAxis* logAxis() const { return m_logAxis; }

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
    // With earlier runs the sweep axis is in epochs and spans the longest run drawn.
    views::EpochAxis epochAxis(double plotWidth) const;
    void labelEpochs(const views::EpochAxis& axis);
    // Bar and line values for the axis in use, and its range.
    void fitValues();
    // Puts the legend's rows across the bottom of the chart, below the sweep axis.
    void placeLegend();
    // Marks where the runs of `peaks` above the linear axis leave it, on their `lines`.
    void markScaleExits(const std::vector<views::RunPeak>& peaks,
                        const std::vector<std::vector<std::pair<double, double>>>& lines);
    void placeExitMarks();

    QList<qreal> m_values;  // the bars' values as given
    std::vector<double> m_barEpochs;
    std::vector<std::pair<double, double>> m_epochLabels;  // as labelEpochs last set them
    QList<RunLine> m_runs;
    QList<QLineSeries*> m_runLines;
    QList<QScatterSeries*> m_exitMarks;
    QList<std::vector<double>> m_exitXs;  // where each run of m_exitMarks leaves the axis
    std::vector<views::RunPeak> m_offScale;
    ChartLegend m_legend{this};
    bool m_logarithmic = false;
    double m_barsAtFloor = 0.0;  // the floor the bars were last drawn with
    QLogValueAxis* m_logAxis = nullptr;

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

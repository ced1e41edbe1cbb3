#include "pages/sse_chart.h"

#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QValueAxis>

#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QPen>

#include <algorithm>

#include "ui/fonts.h"

namespace pages {

namespace {

const QColor kBarFill(200, 200, 200);
const QColor kBarEdge(0, 0, 0);
const QColor kBackground(255, 255, 255);

// Room between two neighbouring labels, in pixels.
constexpr double kLabelGap = 8.0;
// Bars this many pixels wide or wider get a one-pixel edge, narrower ones a thinner one.
constexpr double kBarPixelsPerEdgePixel = 6.0;

}  // namespace

int labelStep(double barSpacing, double labelWidth, int bars) {
    if (bars <= 1) {
        return 1;
    }
    if (barSpacing <= 0.0) {
        return bars;
    }
    for (int decade = 1;; decade *= 10) {
        for (const int factor : {1, 2, 5}) {
            const int step = factor * decade;
            if (step >= bars || step * barSpacing >= labelWidth) {
                return std::min(step, bars);
            }
        }
    }
}

SSEChart::SSEChart(const std::vector<views::SSEChartRow>& rows) {
    // A fresh chart holds the charting component's defaults; nothing else carries over.
    m_series = new QBarSeries(this);
    m_bars = new QBarSet(QStringLiteral("Network SSE"), m_series);
    m_series->append(m_bars);
    m_series->setBarWidth(0.8);
    QList<qreal> values;
    values.reserve(static_cast<qsizetype>(rows.size()));
    m_labels.reserve(static_cast<qsizetype>(rows.size()));
    for (const views::SSEChartRow& row : rows) {
        values.append(row.value);
        m_labels.append(QString::fromStdString(row.label));
    }
    m_bars->append(values);
    addSeries(m_series);

    // After addSeries: the chart's theme colours every series it is given.
    m_bars->setBrush(kBarFill);
    m_bars->setPen(QPen(kBarEdge, 1.0));

    setBackgroundBrush(kBackground);
    setBackgroundRoundness(0);
    // The whole view is the chart: the long title needs all of its width.
    layout()->setContentsMargins(0, 0, 0, 0);
    setMargins(QMargins(4, 4, 4, 4));
    legend()->setVisible(false);

    QFont titleFont = ui::pageFont("Arial", 14, ui::Bold);
    // The title comes out a few pixels wider than the chart and would be cut short; a fifth
    // of a pixel less between letters lets it fit without changing the face or the size.
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, -0.2);
    setTitleFont(titleFont);
    setTitle(QStringLiteral("Total Sum Of Squared Error As A Function Of Training Sweeps"));

    // Bar i stands at x = i; its label sits on that value.
    m_sweepAxis = new QCategoryAxis(this);
    m_sweepAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_sweepAxis->setLabelsFont(ui::pageFont("Arial", 8));
    m_sweepAxis->setTitleText(QStringLiteral("Sweeps Of Training"));
    m_sweepAxis->setGridLineVisible(false);
    m_sweepAxis->setMinorGridLineVisible(false);
    addAxis(m_sweepAxis, Qt::AlignBottom);
    m_series->attachAxis(m_sweepAxis);

    m_sseAxis = new QValueAxis(this);
    m_sseAxis->setLabelsFont(ui::pageFont("Arial", 8));
    m_sseAxis->setTitleText(QStringLiteral("Network SSE"));
    m_sseAxis->setGridLineVisible(false);
    m_sseAxis->setMinorGridLineVisible(false);
    addAxis(m_sseAxis, Qt::AlignLeft);
    m_series->attachAxis(m_sseAxis);
    if (rows.empty()) {
        // Nothing recorded (training stopped before its first epoch): empty axes. An axis
        // without categories would not lay out its title; one without a label does.
        m_sweepAxis->setStartValue(0.0);
        m_sweepAxis->append(QString(), 1.0);
        m_sweepAxis->setRange(0.0, 1.0);
        m_sseAxis->setRange(0.0, 1.0);
        return;
    }
    if (std::all_of(values.cbegin(), values.cend(), [](qreal v) { return v == 0.0; })) {
        // Every total is 0 (every desired output is): the bars span no range, and the nice
        // numbers would take the logarithm of that empty span.
        m_sseAxis->setRange(0.0, 1.0);
    } else {
        m_sseAxis->applyNiceNumbers();
    }

    // Until the first layout there is no plot area: only the first bar is labelled.
    fitToPlot(0.0);
    connect(this, &QChart::plotAreaChanged, this,
            [this](const QRectF& plotArea) { fitToPlot(plotArea.width()); });
}

void SSEChart::fitToPlot(double plotWidth) {
    const int bars = static_cast<int>(m_labels.size());
    const double barPixels = plotWidth / bars * m_series->barWidth();
    // Black edges as wide as the fill would hide it on bars a pixel or two wide; a thinner
    // edge, drawn antialiased, leaves the grey showing.
    if (barPixels > 0.0) {
        m_bars->setPen(QPen(kBarEdge, std::min(1.0, barPixels / kBarPixelsPerEdgePixel)));
    }

    const QFontMetricsF metrics(m_sweepAxis->labelsFont());
    double widest = 0.0;
    for (const QString& label : m_labels) {
        widest = std::max(widest, metrics.horizontalAdvance(label));
    }
    const int step = pages::labelStep(plotWidth / bars, widest + kLabelGap, bars);
    if (step == m_step) {
        return;
    }
    m_step = step;
    for (const QString& label : m_sweepAxis->categoriesLabels()) {
        m_sweepAxis->remove(label);
    }
    m_sweepAxis->setStartValue(-0.5);
    for (int i = 0; i < bars; i += step) {
        m_sweepAxis->append(m_labels.at(i), i);
    }
    // The bars, not the labels, decide the range.
    m_sweepAxis->setRange(-0.5, bars - 0.5);
}

}  // namespace pages

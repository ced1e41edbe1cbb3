#include "pages/sse_chart.h"

#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QPen>

#include <algorithm>
#include <array>
#include <cmath>

#include "ui/fonts.h"
#include "views/epoch_axis.h"
#include "views/round_step.h"

namespace pages {

namespace {

// The value axis's ticks before nice numbers adjust them (QValueAxis's own default).
constexpr int kSseTicks = 5;

const QColor kBarFill(200, 200, 200);
const QColor kBarEdge(0, 0, 0);
const QColor kBackground(255, 255, 255);

// Room around the chart's parts, in pixels.
constexpr int kMargin = 4;
// The mark where a run leaves the linear axis, in pixels.
constexpr double kExitMarkSize = 10.0;
// Room between two neighbouring labels, in pixels.
constexpr double kLabelGap = 8.0;
// Bars this many pixels wide or wider get a one-pixel edge, narrower ones a thinner one.
constexpr double kBarPixelsPerEdgePixel = 6.0;
// Earlier runs, oldest first: colours that stay apart from each other and from the grey.
const std::array<QColor, 8> kRunColours{{{0x1f, 0x77, 0xb4},
                                         {0xd6, 0x27, 0x28},
                                         {0x2c, 0xa0, 0x2c},
                                         {0xff, 0x7f, 0x0e},
                                         {0x94, 0x67, 0xbd},
                                         {0x8c, 0x56, 0x4b},
                                         {0xe3, 0x77, 0xc2},
                                         {0x17, 0xbe, 0xcf}}};

}  // namespace

int labelStep(double barSpacing, double labelWidth, int bars) {
    if (bars <= 1) {
        return 1;
    }
    if (barSpacing <= 0.0) {
        return bars;
    }
    return static_cast<int>(views::LeastRoundStep(
        [barSpacing, labelWidth](double step) { return step * barSpacing >= labelWidth; }, bars));
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
        m_barEpochs.push_back(row.sweep);
    }
    m_bars->append(values);
    m_values = values;
    addSeries(m_series);

    // After addSeries: the chart's theme colours every series it is given.
    m_bars->setBrush(kBarFill);
    m_bars->setPen(QPen(kBarEdge, 1.0));

    setBackgroundBrush(kBackground);
    setBackgroundRoundness(0);
    // The whole view is the chart: the long title needs all of its width.
    layout()->setContentsMargins(0, 0, 0, 0);
    setMargins(QMargins(kMargin, kMargin, kMargin, kMargin));
    legend()->setVisible(false);

    QFont titleFont = ui::PageFont("Arial", 14, ui::Bold);
    // The title comes out a few pixels wider than the chart and would be cut short; a fifth
    // of a pixel less between letters lets it fit without changing the face or the size.
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, -0.2);
    setTitleFont(titleFont);
    setTitle(QStringLiteral("Total Sum Of Squared Error As A Function Of Training Sweeps"));

    // Bar i stands at x = i; its label sits on that value.
    m_sweepAxis = new QCategoryAxis(this);
    m_sweepAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_sweepAxis->setLabelsFont(ui::PageFont("Arial", 8));
    m_sweepAxis->setTitleText(QStringLiteral("Sweeps Of Training"));
    m_sweepAxis->setGridLineVisible(false);
    m_sweepAxis->setMinorGridLineVisible(false);
    addAxis(m_sweepAxis, Qt::AlignBottom);
    m_series->attachAxis(m_sweepAxis);

    m_sseAxis = new QValueAxis(this);
    m_sseAxis->setLabelsFont(ui::PageFont("Arial", 8));
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
    fitValues();

    // Until the first layout there is no plot area: only the first bar is labelled.
    fitToPlot(0.0);
    connect(this, &QChart::plotAreaChanged, this, [this](const QRectF& plotArea) {
        fitToPlot(plotArea.width());
        placeLegend();
        placeExitMarks();
    });
}

void SSEChart::fitToPlot(double plotWidth) {
    const int bars = static_cast<int>(m_labels.size());
    if (bars == 0) {
        return;
    }
    const views::EpochAxis epochs = epochAxis(plotWidth);
    const double shownBars = m_runLines.isEmpty() ? bars : epochs.high - epochs.low;
    const double barPixels = plotWidth / shownBars * m_series->barWidth();
    // Black edges as wide as the fill would hide it on bars a pixel or two wide; a thinner
    // edge, drawn antialiased, leaves the grey showing.
    if (barPixels > 0.0) {
        m_bars->setPen(QPen(kBarEdge, std::min(1.0, barPixels / kBarPixelsPerEdgePixel)));
    }

    if (!m_runLines.isEmpty()) {
        labelEpochs(epochs);
        return;
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
    m_epochLabels.clear();
}

views::EpochAxis SSEChart::epochAxis(double plotWidth) const {
    double last = 0.0;
    for (const RunLine& run : m_runs) {
        for (const QPointF& p : run.points) {
            last = std::max(last, p.x());
        }
    }
    last = std::max(last, m_barEpochs.back());
    // Every label is at most as wide as the last epoch's.
    const double widest = QFontMetricsF(m_sweepAxis->labelsFont())
                              .horizontalAdvance(QString::number(static_cast<qint64>(last)));
    const int most = static_cast<int>(plotWidth / (widest + kLabelGap));
    return views::EpochAxisOver(m_barEpochs, last, most);
}

void SSEChart::labelEpochs(const views::EpochAxis& axis) {
    // Relabelling lays the chart out again: only when the labels change.
    if (axis.labels == m_epochLabels && m_sweepAxis->min() == axis.low &&
        m_sweepAxis->max() == axis.high) {
        return;
    }
    m_epochLabels = axis.labels;
    m_step = 0;  // the bars' own labels are set again when the runs go
    for (const QString& label : m_sweepAxis->categoriesLabels()) {
        m_sweepAxis->remove(label);
    }
    m_sweepAxis->setStartValue(axis.low);
    for (const auto& [x, epoch] : axis.labels) {
        m_sweepAxis->append(QString::number(static_cast<qint64>(epoch)), x);
    }
    m_sweepAxis->setRange(axis.low, axis.high);
}

void SSEChart::setEarlierRuns(const QList<RunLine>& runs) {
    for (QLineSeries* line : m_runLines) {
        removeSeries(line);
        delete line;
    }
    m_runLines.clear();
    m_runs = runs.mid(0, static_cast<qsizetype>(kRunColours.size()));
    for (qsizetype k = 0; k < m_runs.size(); ++k) {
        auto* line = new QLineSeries(this);
        line->setName(m_runs[k].legend);
        addSeries(line);
        // After addSeries, which colours a series by the theme.
        line->setPen(QPen(kRunColours.at(static_cast<std::size_t>(k)), 2.0));
        line->attachAxis(m_sweepAxis);
        line->attachAxis(m_logarithmic ? static_cast<QAbstractAxis*>(m_logAxis) : m_sseAxis);
        m_runLines.append(line);
    }
    QList<ChartLegend::Entry> entries;
    if (!m_runLines.isEmpty()) {
        entries.append({m_bars->label(), kBarFill, kBarEdge});
        for (qsizetype k = 0; k < m_runLines.size(); ++k) {
            const QColor colour = kRunColours.at(static_cast<std::size_t>(k));
            entries.append({m_runs[k].legend, colour, colour});
        }
    }
    m_legend.setEntries(entries, m_sweepAxis->labelsFont());
    placeLegend();
    fitValues();
    fitToPlot(plotArea().width());
}

void SSEChart::placeLegend() {
    // The legend's rows stand below the axis, in room the chart's bottom margin keeps free.
    const double width = size().width() - 2 * kMargin;
    const int height = static_cast<int>(std::ceil(m_legend.height(width)));
    if (margins().bottom() != kMargin + height) {
        QMargins margins = this->margins();
        margins.setBottom(kMargin + height);
        setMargins(margins);  // the plot area changes, which places the rows again
    }
    m_legend.layOut(kMargin, size().height() - kMargin, width);
}

void SSEChart::setLogarithmic(bool logarithmic) {
    if (logarithmic == m_logarithmic) {
        return;
    }
    m_logarithmic = logarithmic;
    // The logarithmic axis exists only while it is used, in place of the linear one.
    if (logarithmic) {
        m_logAxis = new QLogValueAxis(this);
        m_logAxis->setLabelsFont(m_sseAxis->labelsFont());
        m_logAxis->setTitleText(m_sseAxis->titleText());
        m_logAxis->setLabelFormat(QStringLiteral("%.0E"));
        m_logAxis->setGridLineVisible(false);
        m_logAxis->setMinorGridLineVisible(false);
        addAxis(m_logAxis, Qt::AlignLeft);
    }
    QAbstractAxis* from = logarithmic ? static_cast<QAbstractAxis*>(m_sseAxis) : m_logAxis;
    QAbstractAxis* to = logarithmic ? static_cast<QAbstractAxis*>(m_logAxis) : m_sseAxis;
    m_series->detachAxis(from);
    m_series->attachAxis(to);
    for (QLineSeries* line : m_runLines) {
        line->detachAxis(from);
        line->attachAxis(to);
    }
    from->setVisible(false);
    to->setVisible(true);
    if (!logarithmic) {
        removeAxis(m_logAxis);
        delete m_logAxis;
        m_logAxis = nullptr;
    }
    fitValues();
}

void SSEChart::fitValues() {
    std::vector<double> all(m_values.cbegin(), m_values.cend());
    // The linear axis keeps the bars' range: one run that diverged would flatten the rest.
    const double top = all.empty() ? 0.0 : *std::max_element(all.cbegin(), all.cend());
    for (const RunLine& run : m_runs) {
        for (const QPointF& p : run.points) {
            all.push_back(p.y());
        }
    }
    // On a logarithmic axis zero has no place: zeros sit on the floor.
    const views::LogAxis logAxis = views::LogAxisOver(all);
    const double floor = m_logarithmic ? logAxis.floor : 0.0;
    const auto shown = [floor](double v) { return std::max(v, floor); };
    if (m_barsAtFloor != floor) {
        QList<qreal> bars = m_values;
        for (qreal& v : bars) {
            v = shown(v);
        }
        m_bars->remove(0, static_cast<int>(m_bars->count()));
        m_bars->append(bars);
        m_barsAtFloor = floor;
    }
    if (m_logarithmic) {
        // A label at every step-th power of ten, both ends included: never more than fit.
        m_logAxis->setBase(std::pow(10.0, logAxis.step));
        m_logAxis->setRange(logAxis.floor, logAxis.ceiling);
    } else if (top <= 0.0) {
        // Every total is 0 (every desired output is): the values span no range, and the
        // nice numbers would take the logarithm of that empty span.
        m_sseAxis->setRange(0.0, 1.0);
    } else {
        m_sseAxis->setRange(0.0, top);
        // Nice numbers start from the tick count the last call left: start each time from
        // the same one, so that the same values get the same axis.
        m_sseAxis->setTickCount(kSseTicks);
        m_sseAxis->applyNiceNumbers();
    }
    std::vector<views::RunPeak> peaks;
    std::vector<std::vector<std::pair<double, double>>> lines;
    for (qsizetype k = 0; k < m_runLines.size(); ++k) {
        QList<QPointF> points = m_runs[k].points;
        std::vector<std::pair<double, double>>& line = lines.emplace_back();
        views::RunPeak peak{m_runs[k].number, 0.0};
        for (QPointF& p : points) {
            p = QPointF(views::BarX(m_barEpochs, p.x()), shown(p.y()));
            line.emplace_back(p.x(), p.y());
            peak.highest = std::max(peak.highest, p.y());
        }
        m_runLines[k]->replace(points);
        peaks.push_back(peak);
    }
    markScaleExits(m_logarithmic ? std::vector<views::RunPeak>{} : peaks, lines);
}

void SSEChart::markScaleExits(const std::vector<views::RunPeak>& peaks,
                              const std::vector<std::vector<std::pair<double, double>>>& lines) {
    for (QScatterSeries* marks : m_exitMarks) {
        removeSeries(marks);
        delete marks;
    }
    m_exitMarks.clear();
    m_exitXs.clear();
    const double top = m_sseAxis->max();
    m_offScale = views::OffScaleRuns(peaks, top);
    for (std::size_t k = 0; k < peaks.size(); ++k) {
        if (peaks[k].highest <= top) {
            continue;
        }
        // The line runs on to the plot's edge, which cuts it; a mark in its colour stands
        // where it leaves.
        auto* marks = new QScatterSeries(this);
        m_exitXs.append(views::ScaleExits(lines[k], top));
        addSeries(marks);
        const QColor colour = kRunColours.at(k);
        marks->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
        marks->setMarkerSize(kExitMarkSize);
        marks->setColor(colour);
        marks->setBorderColor(colour);
        marks->attachAxis(m_sweepAxis);
        marks->attachAxis(m_sseAxis);
        m_exitMarks.append(marks);
    }
    placeExitMarks();
}

void SSEChart::placeExitMarks() {
    // Whole marks just below the edge, which would cut one standing on it in half.
    const double height = plotArea().height();
    const double below =
        height > 0.0 ? kExitMarkSize / 2 * (m_sseAxis->max() - m_sseAxis->min()) / height : 0.0;
    for (qsizetype k = 0; k < m_exitMarks.size(); ++k) {
        QList<QPointF> points;
        for (const double x : m_exitXs[k]) {
            points.append(QPointF(x, m_sseAxis->max() - below));
        }
        m_exitMarks[k]->replace(points);
    }
}

}  // namespace pages

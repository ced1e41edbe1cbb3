#include "pages/degradation_chart.h"

#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <QGraphicsLayout>
#include <QPen>

#include <algorithm>

namespace pages {

namespace {

// The value axis's ticks before nice numbers adjust them (QValueAxis's own default).
constexpr int kSseTicks = 5;

QLineSeries* line(QChart* chart, const QString& name, const QColor& colour, Qt::PenStyle style) {
    auto* series = new QLineSeries(chart);
    series->setName(name);
    QPen pen(colour);
    pen.setWidthF(2.0);
    pen.setStyle(style);
    series->setPen(pen);
    chart->addSeries(series);
    return series;
}

QValueAxis* axis(QChart* chart, const QString& title, Qt::Alignment side) {
    auto* a = new QValueAxis(chart);
    a->setTitleText(title);
    a->setLabelFormat(QStringLiteral("%g"));
    chart->addAxis(a, side);
    return a;
}

}  // namespace

DegradationChart::DegradationChart() {
    setBackgroundBrush(Qt::white);
    setBackgroundRoundness(0);
    // The whole view is the chart, as on the SSE graph.
    layout()->setContentsMargins(0, 0, 0, 0);
    setMargins(QMargins(4, 4, 4, 4));
    const QColor blue(0x1f, 0x4e, 0xb4);
    const QColor red(0xc0, 0x30, 0x20);
    m_noiseSSE = line(this, QStringLiteral("Damaged: SSE"), blue, Qt::SolidLine);
    m_lostSSE = line(this, QStringLiteral("Lost: SSE"), red, Qt::SolidLine);
    m_noiseRecalled = line(this, QStringLiteral("Damaged: recalled %"), blue, Qt::DashLine);
    m_lostRecalled = line(this, QStringLiteral("Lost: recalled %"), red, Qt::DashLine);

    m_percentAxis = axis(this, QStringLiteral("Percent of inputs damaged or connections lost"),
                         Qt::AlignBottom);
    m_percentAxis->setRange(0, 100);
    m_percentAxis->setTickCount(11);
    m_sseAxis = axis(this, QStringLiteral("Mean SSE per pattern"), Qt::AlignLeft);
    m_sseAxis->setRange(0, 1);
    m_recalledAxis = axis(this, QStringLiteral("Recalled (%)"), Qt::AlignRight);
    m_recalledAxis->setRange(0, 100);
    m_recalledAxis->setTickCount(6);
    for (QLineSeries* s : {m_noiseSSE, m_lostSSE, m_noiseRecalled, m_lostRecalled}) {
        s->attachAxis(m_percentAxis);
    }
    m_noiseSSE->attachAxis(m_sseAxis);
    m_lostSSE->attachAxis(m_sseAxis);
    m_noiseRecalled->attachAxis(m_recalledAxis);
    m_lostRecalled->attachAxis(m_recalledAxis);
    legend()->setAlignment(Qt::AlignBottom);
}

void DegradationChart::setCurves(const experiments::DegradationCurves& curves) {
    const auto points = [](const std::vector<experiments::DegradationPoint>& curve, bool sse) {
        QList<QPointF> out;
        for (const experiments::DegradationPoint& p : curve) {
            out.append(QPointF(p.percent, sse ? p.meanSSE : p.recalledPercent));
        }
        return out;
    };
    m_noiseSSE->replace(points(curves.noise, true));
    m_lostSSE->replace(points(curves.lostConnections, true));
    m_noiseRecalled->replace(points(curves.noise, false));
    m_lostRecalled->replace(points(curves.lostConnections, false));
    double top = 0.0;
    for (const auto* curve : {&curves.noise, &curves.lostConnections}) {
        for (const experiments::DegradationPoint& p : *curve) {
            top = std::max(top, p.meanSSE);
        }
    }
    m_sseAxis->setRange(0, top > 0.0 ? top * 1.05 : 1.0);
    // Nice numbers start from the tick count the last call left: start each time from the
    // same one, so that the same curves get the same axis.
    m_sseAxis->setTickCount(kSseTicks);
    m_sseAxis->applyNiceNumbers();
}

}  // namespace pages

#pragma once

// The chart of how recall degrades: against the percentage damaged or lost (0 to 100),
// the mean SSE per pattern on the left axis (solid lines) and the percent of patterns
// recalled (views/recall_rule.h) on the right axis (dashed lines), blue for
// damaged input ("Damaged: SSE", "Damaged: recalled %"), red for lost connections ("Lost:
// SSE", "Lost: recalled %").

#include <QtCharts/QChart>

#include "experiments/degradation.h"

class QLineSeries;
class QValueAxis;

namespace pages {

class DegradationChart final : public QChart {
    Q_OBJECT
  public:
    // No lines until setCurves.
    DegradationChart();

    // Draws these curves in place of any earlier ones.
    void setCurves(const experiments::DegradationCurves& curves);

    QLineSeries* noiseSSE() const { return m_noiseSSE; }
    QLineSeries* lostSSE() const { return m_lostSSE; }
    QLineSeries* noiseRecalled() const { return m_noiseRecalled; }
    QLineSeries* lostRecalled() const { return m_lostRecalled; }
    QValueAxis* sseAxis() const { return m_sseAxis; }

  private:
    QLineSeries* m_noiseSSE = nullptr;
    QLineSeries* m_lostSSE = nullptr;
    QLineSeries* m_noiseRecalled = nullptr;
    QLineSeries* m_lostRecalled = nullptr;
    QValueAxis* m_percentAxis = nullptr;
    QValueAxis* m_sseAxis = nullptr;
    QValueAxis* m_recalledAxis = nullptr;
};

}  // namespace pages

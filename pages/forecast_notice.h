#pragma once

// The setup page's forecast line (Forecast): what the chosen rule will do at the chosen
// rate on the loaded file, and after a run whose SSE kept growing, why.
//
// The rate-independent part of the analysis is worked out once when the page loads: on
// the window's thread for small files, on a thread of its own for large ones (the label
// says "Examining the training patterns..." meanwhile). Each new rule or rate then costs
// milliseconds on the window's thread.

#include <QLabel>
#include <QObject>
#include <QString>

#include <memory>

#include "analysis/analysis.h"
#include "core/network_state.h"
#include "training/parameters.h"

namespace pages {

class ForecastNotice : public QObject {
    Q_OBJECT
  public:
    ForecastNotice(QLabel* label, const core::PublicStuff& net, QObject* parent);

    // Starts the rate-independent part for the file loaded now.
    void prepare();
    // Shows the forecast for this rule and the run the boxes plan, or the first problem
    // "Start Training" would find in them.
    void show(bool hebb, const training::PlannedRun& plan);
    // After a run: when the SSE grew at each of the last three printouts recorded in the
    // SSE history, says why; otherwise leaves the label as it is, or shows the forecast
    // that came while the run held the network.
    void explainRunIfGrowing(bool hebb, double rate);

    bool ready() const { return m_prepared != nullptr; }

  private:
    void finished(std::shared_ptr<const analysis::Prepared> prepared);

    QLabel* m_label;
    const core::PublicStuff& m_net;
    std::shared_ptr<const analysis::Prepared> m_prepared;
    // Which start weights m_prepared was worked out for: -1 zero (a fresh start), else
    // the epoch count of the weights a continued run starts from.
    static int startOf(const core::PublicStuff& net);
    int m_preparedStart = -1;
    bool m_showAfterRun = false;  // a forecast came while a run held the network
    bool m_hebb = true;
    training::PlannedRun m_plan;
};

// Whether the last three printouts in the SSE history each raised the SSE.
bool grewAtLastThreePrintouts(const core::PublicStuff& net);

}  // namespace pages

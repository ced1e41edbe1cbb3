#include "pages/forecast_notice.h"

#include <cmath>
#include <utility>

#include "ui/long_task.h"

namespace pages {

namespace {

// Below this many multiply-adds the analysis takes a few milliseconds: no thread needed.
constexpr double kWorkOnWindowThread = 2e7;

// The patterns, and the weights when a continued run starts from them, so that a thread
// can examine them while the shared network lives on.
std::shared_ptr<core::PublicStuff> copyPatterns(const core::PublicStuff& net) {
    auto copy = std::make_shared<core::PublicStuff>();
    copy->NumInputs = net.NumInputs;
    copy->NumOutputs = net.NumOutputs;
    copy->NumPatterns = net.NumPatterns;
    copy->InputPatterns = net.InputPatterns;
    copy->DesiredOutputs = net.DesiredOutputs;
    copy->FreshStart = net.FreshStart;
    if (net.FreshStart == 0 && net.NetworkMatchesProblem()) {
        copy->CreateUnitsAndWeights();
        copy->Weights = net.Weights;
    }
    return copy;
}

}  // namespace

bool grewAtLastThreePrintouts(const core::PublicStuff& net) {
    const int rows = net.SSEHistoryCount;
    if (rows < 4) {
        return false;
    }
    for (int k = rows - 2; k <= rows; ++k) {
        const auto row = static_cast<std::size_t>(k);
        if (!(net.SSEHistory[row][2] > net.SSEHistory[row - 1][2])) {
            return false;
        }
    }
    return true;
}

ForecastNotice::ForecastNotice(QLabel* label, const core::PublicStuff& net, QObject* parent)
    : QObject(parent), m_label(label), m_net(net) {}

int ForecastNotice::startOf(const core::PublicStuff& net) {
    return net.FreshStart == 1 ? -1 : net.SweepCount;
}

void ForecastNotice::prepare() {
    m_prepared.reset();
    m_preparedStart = startOf(m_net);
    // Spectrum included: nothing of the analysis holds the window thread for long.
    if (analysis::PreparationWork(m_net) <= kWorkOnWindowThread) {
        finished(std::make_shared<analysis::Prepared>(analysis::Prepare(m_net)));
        return;
    }
    m_label->setText(QStringLiteral("Examining the training patterns..."));
    std::shared_ptr<core::PublicStuff> copy;
    try {
        copy = copyPatterns(m_net);
    } catch (const std::bad_alloc&) {
        m_label->setText(QStringLiteral("Not enough memory to forecast this file."));
        return;
    }
    // The result comes back through the event loop; a page closed meanwhile ignores it.
    using Result = std::shared_ptr<const analysis::Prepared>;
    ui::StartBackgroundWork<Result>(
        this,
        [copy](const core::Progress& progress) -> Result {
            analysis::Limits limits;
            limits.stop = &progress;
            return std::make_shared<const analysis::Prepared>(analysis::Prepare(*copy, limits));
        },
        [this](Result prepared) { finished(std::move(prepared)); });
}

void ForecastNotice::finished(std::shared_ptr<const analysis::Prepared> prepared) {
    m_prepared = std::move(prepared);
    show(m_hebb, m_plan);
}

void ForecastNotice::show(bool hebb, const training::PlannedRun& plan) {
    m_hebb = hebb;
    m_plan = plan;
    if (!m_net.Complete()) {
        m_showAfterRun = true;  // a run holds the network: there is nothing to read now
        return;
    }
    if (plan.problem) {
        m_label->setText(QString::fromStdString(plan.problem->message));
        return;
    }
    if (m_prepared && m_preparedStart != startOf(m_net)) {
        prepare();  // trained on since: the next run starts from other weights
        return;
    }
    if (!m_prepared) {
        return;  // the text comes when the thread is done
    }
    const auto rule = hebb ? analysis::Rule::Hebb : analysis::Rule::Delta;
    const analysis::RunPlan run{plan.trainedBefore, plan.lastEpoch, plan.minError};
    m_label->setText(QString::fromStdString(analysis::ForecastLine(
        rule, analysis::ForecastHebb(*m_prepared, plan.rate),
        analysis::ForecastDelta(*m_prepared, plan.rate), run, m_prepared->fromCurrentWeights)));
}

void ForecastNotice::explainRunIfGrowing(bool hebb, double rate) {
    if (!m_prepared || !grewAtLastThreePrintouts(m_net)) {
        if (std::exchange(m_showAfterRun, false)) {
            show(m_hebb, m_plan);
        }
        return;
    }
    m_showAfterRun = false;
    const auto rule = hebb ? analysis::Rule::Hebb : analysis::Rule::Delta;
    m_label->setText(QString::fromStdString(
        analysis::GrowthReason(rule, analysis::ForecastHebb(*m_prepared, rate),
                               analysis::ForecastDelta(*m_prepared, rate), m_net.SweepCount)));
}

}  // namespace pages

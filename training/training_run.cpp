#include "training/training_run.h"

#include <cmath>

#include "core/number_format.h"

namespace training {

namespace {

using core::ArithStatus;

bool isFinite(double v) {
    return std::isfinite(v);
}

// What an undone epoch must put back. Buffers are reused, so taking a snapshot after the
// first allocates nothing.
struct EpochSnapshot {
    core::ConnectionMatrix weights;
    std::vector<core::UnitRecord> inputs;
    std::vector<core::UnitRecord> outputs;
    double totalSSE = 0.0;

    void take(const core::PublicStuff& net) {
        weights = net.Weights;
        inputs = net.InputUnits;
        outputs = net.OutputUnits;
        totalSSE = net.TotalSSE;
    }
    void restore(core::PublicStuff& net) const {
        net.Weights = weights;
        net.InputUnits = inputs;
        net.OutputUnits = outputs;
        net.TotalSSE = totalSSE;
    }
};

std::string failureMessage(const char* when, int epoch, ArithStatus status) {
    std::string text = std::string("Training stopped ") + when;
    if (epoch > 0) {
        text += " " + core::FormatInteger(epoch);
    }
    text += ": " + std::string(core::Describe(status)) + ".";
    return text;
}

// The SSE of the network before training: the sum over the patterns of each pattern's
// squared error under the current weights.
ArithStatus errorBeforeTraining(core::PublicStuff& net, double& sse) {
    sse = 0.0;
    for (int p = 1; p <= net.NumPatterns; ++p) {
        if (const ArithStatus status = core::ComputeResponses(net, p); status != ArithStatus::Ok) {
            return status;
        }
        sse = sse + core::PatternSSE(net);
        if (!isFinite(sse)) {
            return ArithStatus::Overflow;
        }
    }
    return ArithStatus::Ok;
}

// One epoch: for each pattern a learning step, a recall with the changed weights, and
// its squared error added to TotalSSE.
ArithStatus trainEpoch(core::PublicStuff& net, bool hebb) {
    net.TotalSSE = 0.0;
    for (int p = 1; p <= net.NumPatterns; ++p) {
        ArithStatus status = hebb ? core::LearnHebb(net, p) : core::LearnDelta(net, p);
        if (status == ArithStatus::Ok) {
            status = core::ComputeResponses(net, p);
        }
        if (status != ArithStatus::Ok) {
            return status;
        }
        net.TotalSSE = net.TotalSSE + core::PatternSSE(net);
        if (!isFinite(net.TotalSSE)) {
            return ArithStatus::Overflow;
        }
    }
    return ArithStatus::Ok;
}

}  // namespace

RunResult RunTraining(core::PublicStuff& net, const StoppingRules& rules, RunObserver& observer) {
    RunResult result;
    if (!net.NetworkMatchesProblem()) {
        result.end = RunEnd::NoNetwork;
        result.message =
            "Training cannot start: " + std::string(core::Describe(ArithStatus::BadArguments)) +
            ".";
        return result;
    }
    if (net.FreshStart == 1) {
        net.SweepCount = 0;
    }
    std::int16_t printCounter = 0;
    const bool hebb = net.LearningRule == "Hebb";

    if (net.SweepCount == 0) {
        double before = 0.0;
        const ArithStatus status = errorBeforeTraining(net, before);
        if (status != ArithStatus::Ok) {
            // Nothing trained and no error to record: an empty history.
            net.SSEHistoryCount = 0;
            net.TotalSSE = 0.0;
            result.end = RunEnd::ArithmeticFailure;
            result.message = failureMessage("before the first epoch", 0, status);
            return result;
        }
        net.SSEHistoryCount = 1;
        net.SSEHistory[1][1] = 0.0;
        net.SSEHistory[1][2] = before;
    }

    // A continued call measures its first change against the total it starts from.
    double previousSSE = net.TotalSSE;
    EpochSnapshot snapshot;
    bool done = false;
    while (!done) {
        if (net.SweepCount == core::MaxCount) {
            result.end = RunEnd::EpochLimit;
            result.message =
                "Training stopped at epoch 32767, the most epochs this program "
                "counts. Reset the weights to train again from epoch 0.";
            return result;
        }
        snapshot.take(net);
        const ArithStatus status = trainEpoch(net, hebb);
        if (status != ArithStatus::Ok) {
            snapshot.restore(net);
            result.end = RunEnd::ArithmeticFailure;
            result.message = failureMessage("during epoch", net.SweepCount + 1, status) +
                             " The network is shown as it was after the last complete epoch.";
            return result;
        }
        ++net.SweepCount;
        ++printCounter;

        if (net.SweepCount == 1) {
            result.hasChange = false;
        } else {
            result.hasChange = true;
            result.SSEChange = previousSSE - net.TotalSSE;
        }
        previousSSE = net.TotalSSE;

        if (printCounter == net.PrintSweeps) {
            printCounter = 0;
            observer.printout({net.SweepCount, net.TotalSSE, result.hasChange, result.SSEChange});
            if (net.SSEHistoryCount < core::SSEHistoryRows) {
                ++net.SSEHistoryCount;
                net.SSEHistory[static_cast<std::size_t>(net.SSEHistoryCount)][1] = net.SweepCount;
                net.SSEHistory[static_cast<std::size_t>(net.SSEHistoryCount)][2] = net.TotalSSE;
            }
        }

        if (rules.maxEpochs && net.SweepCount == net.MaxSweeps) {
            done = true;
        }
        if (rules.minError && net.TotalSSE < net.MinError) {
            done = true;
        }
        if (!done && !observer.keepGoing()) {
            result.end = RunEnd::Stopped;
            done = true;
        }
    }
    return result;
}

}  // namespace training

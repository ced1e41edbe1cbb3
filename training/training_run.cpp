#include "training/training_run.h"

#include <cmath>

#include "core/epoch_kernel.h"
#include "text/number_format.h"

namespace training {

namespace {

using core::ArithStatus;

bool isFinite(double v) {
    return std::isfinite(v);
}

std::string failureMessage(const char* when, int epoch, ArithStatus status) {
    std::string text = std::string("Training stopped ") + when;
    if (epoch > 0) {
        text += " " + text::FormatInteger(epoch);
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
    net.MaxSweepsRule = rules.maxEpochs;
    net.MinErrorRule = rules.minError;
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
            if (status == ArithStatus::Overflow) {
                // The weights are zero here, so the errors are the desired outputs: no rule
                // or rate changes them.
                net.UntrainableReason =
                    "training stops before the first epoch, because the error before training "
                    "(the sum of the squared desired outputs) is beyond the range of double "
                    "precision. No rule or rate can train on this file: scale its values down "
                    "and load it again.";
                result.message +=
                    " The desired outputs of this file are too large: the sum of their squares "
                    "is beyond the range of double precision, so no rule or rate can train on "
                    "it. Scale the file's values down and load it again.";
            }
            return result;
        }
        net.SSEHistoryCount = 1;
        net.SSEHistory[1][1] = 0.0;
        net.SSEHistory[1][2] = before;
        // Until an epoch is trained, the network's total is its error before training;
        // an overflow in the first epoch leaves exactly that, not an earlier run's total.
        net.TotalSSE = before;
    }

    // A continued call measures its first change against the total it starts from.
    double previousSSE = net.TotalSSE;
    // One kernel per run: it keeps the recall that starts the next epoch.
    core::EpochKernel kernel;
    kernel.setProgress(observer.epochProgress());
    bool done = false;
    while (!done) {
        if (net.SweepCount == core::MaxCount) {
            result.end = RunEnd::EpochLimit;
            result.message =
                "Training stopped at epoch 32767, the most epochs this program counts.";
            return result;
        }
        observer.epochStarting(net.SweepCount + 1);
        // On failure the kernel leaves the network as it was before the epoch.
        const ArithStatus status = kernel.trainEpoch(net, hebb);
        if (status != ArithStatus::Ok) {
            result.end = RunEnd::ArithmeticFailure;
            result.message = failureMessage("during epoch", net.SweepCount + 1, status) +
                             " The network is shown as it was after the last complete epoch.";
            return result;
        }
        ++net.SweepCount;
        net.TrainedOnProblem = true;
        net.UnsavedTraining = true;
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

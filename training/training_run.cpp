#include "training/training_run.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/epoch_kernel.h"
#include "core/pattern_recall.h"
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

// How measuring the error before training ended.
enum class Before { Measured, Overflow, Stopped };

bool finiteInputs(const core::PublicStuff& net) {
    bool finite = true;
    for (int p = 1; p <= net.NumPatterns; ++p) {
        const double* x = net.InputPatterns.pattern(p);
        for (int i = 1; i <= net.NumInputs; ++i) {
            finite = finite && isFinite(x[i]);
        }
    }
    return finite;
}

// The units as ComputeResponses(p) leaves them, from the net inputs and errors of its
// recall (elements 1..NumOutputs).
void setUnits(core::PublicStuff& net, int p, const double* netInput, const double* error) {
    const double* x = net.InputPatterns.pattern(p);
    for (int i = 1; i <= net.NumInputs; ++i) {
        net.InputUnits[static_cast<std::size_t>(i)].Activation = x[i];
    }
    for (int j = 1; j <= net.NumOutputs; ++j) {
        core::UnitRecord& unit = net.OutputUnits[static_cast<std::size_t>(j)];
        unit.NetInput = netInput[j];
        unit.Activation = netInput[j];
        unit.Error = error[j];
    }
}

// PatternSSE of a recall's errors (elements 1..NumOutputs).
double squaredErrors(const double* error, int outputs) {
    double sum = 0.0;
    for (int j = 1; j <= outputs; ++j) {
        sum = sum + error[j] * error[j];
    }
    return sum;
}

// With every weight zero, each recall is known without the weights. A net input adds
// products w * x, each +0 or -0 for a finite x, to a sum that starts at +0, and +0 + -0
// is +0: every net input is +0. The error d - (+0) is d to the bit (-0 - +0 is -0), so
// its square is d * d. The total is then the sum of the squared desired outputs, added
// in the order the recalls add them, and the same bits. A desired value that is not
// finite fails that pattern's recall, as it does there.
Before sseOfZeroWeights(core::PublicStuff& net, double& sse) {
    const int outputs = net.NumOutputs;
    const std::vector<double> zeros(static_cast<std::size_t>(outputs) + 1, 0.0);
    sse = 0.0;
    int recalled = 0;  // the last pattern whose recall succeeded
    Before outcome = Before::Measured;
    for (int p = 1; p <= net.NumPatterns; ++p) {
        const double* d = net.DesiredOutputs.pattern(p);
        const double sum = squaredErrors(d, outputs);
        if (!isFinite(sum)) {
            bool finiteDesired = true;
            for (int j = 1; j <= outputs; ++j) {
                finiteDesired = finiteDesired && isFinite(d[j]);
            }
            recalled = finiteDesired ? p : p - 1;
            outcome = Before::Overflow;
            break;
        }
        recalled = p;
        sse = sse + sum;
        if (!isFinite(sse)) {
            outcome = Before::Overflow;
            break;
        }
    }
    if (recalled > 0) {
        setUnits(net, recalled, zeros.data(), net.DesiredOutputs.pattern(recalled));
    }
    return outcome;
}

// Any weights: the recalls of all patterns on all cores, piece by piece, asking the
// progress between pieces whether a stop was requested. A Stop changes nothing.
Before sseByRecall(core::PublicStuff& net, const core::Progress* progress, double& sse) {
    const auto stride = static_cast<std::size_t>(net.NumOutputs) + 1;
    // About 8 MB of recalls per piece, in whole runs of four patterns.
    const int fit = static_cast<int>((std::size_t{1} << 19) / stride) / core::RecallManyMax;
    const int piece = std::min(std::max(fit, 1) * core::RecallManyMax, net.NumPatterns);
    std::vector<double> sums(static_cast<std::size_t>(piece) * stride);
    std::vector<double> errors(sums.size());
    core::PatternRecall recall;
    double total = 0.0;
    for (int first = 1; first <= net.NumPatterns; first += piece) {
        const int count = std::min(piece, net.NumPatterns - first + 1);
        const int finite = recall.recall(net, first, count, sums.data(), errors.data());
        for (int g = 0; g < finite; ++g) {
            total = total + squaredErrors(errors.data() + static_cast<std::size_t>(g) * stride,
                                          net.NumOutputs);
            if (!isFinite(total)) {
                // The recall of this pattern succeeded; its square sum or the total did not.
                setUnits(net, first + g, sums.data() + static_cast<std::size_t>(g) * stride,
                         errors.data() + static_cast<std::size_t>(g) * stride);
                return Before::Overflow;
            }
        }
        if (finite < count) {
            const int last = first + finite - 1;  // the recall before the failing one
            if (last >= 1) {
                const std::size_t at = static_cast<std::size_t>(finite - 1) * stride;
                if (finite > 0) {
                    setUnits(net, last, sums.data() + at, errors.data() + at);
                } else {
                    (void)core::ComputeResponses(net, last);
                }
            }
            return Before::Overflow;
        }
        if (first + count <= net.NumPatterns && core::StopRequested(progress)) {
            return Before::Stopped;
        }
    }
    const int last = net.NumPatterns;
    const std::size_t at = static_cast<std::size_t>((last - 1) % piece) * stride;
    setUnits(net, last, sums.data() + at, errors.data() + at);
    sse = total;
    return Before::Measured;
}

// The SSE of the network before training: the sum over the patterns of each pattern's
// squared error under the current weights, and the units as the recall of the last
// pattern leaves them.
Before errorBeforeTraining(core::PublicStuff& net, const core::Progress* progress, double& sse) {
    if (net.Weights.allZero() && finiteInputs(net)) {
        return sseOfZeroWeights(net, sse);
    }
    return sseByRecall(net, progress, sse);
}

}  // namespace

RunResult RunTraining(core::PublicStuff& net, const StoppingRules& rules, RunObserver& observer,
                      core::Progress* progress) {
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
        net.TrainedParts.clear();
    }
    std::int16_t printCounter = 0;
    const bool hebb = net.hebb();

    if (net.SweepCount == 0) {
        double before = 0.0;
        const Before measured = errorBeforeTraining(net, progress, before);
        if (measured == Before::Stopped) {
            result.end = RunEnd::Stopped;
            return result;
        }
        if (measured == Before::Overflow) {
            // Nothing trained and no error to record: an empty history.
            net.SSEHistoryCount = 0;
            net.TotalSSE = 0.0;
            result.end = RunEnd::ArithmeticFailure;
            result.message = failureMessage("before the first epoch", 0, ArithStatus::Overflow);
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
    kernel.setProgress(progress);
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
        if (net.TrainedParts.empty() || net.TrainedParts.back().rule != net.LearningRule ||
            net.TrainedParts.back().rate != net.LearningRate) {
            net.TrainedParts.push_back({net.LearningRule, net.LearningRate, 0});
        }
        ++net.TrainedParts.back().epochs;
        net.TrainedOnProblem = true;
        ++result.epochsTrained;
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
        if (!done && core::StopRequested(progress)) {
            result.end = RunEnd::Stopped;
            done = true;
        }
    }
    return result;
}

}  // namespace training

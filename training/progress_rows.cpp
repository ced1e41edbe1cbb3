#include "training/progress_rows.h"

#include <algorithm>
#include <cmath>

namespace training {

std::string TrainingLine(const std::string& trainingFileName) {
    return "Training: " + trainingFileName;
}

std::string EpochsLine(std::int16_t sweepCount) {
    return "Epochs: " + core::FormatInteger(sweepCount);
}

std::string TotalSSELine(double totalSSE, const core::NumberSeparators& separators) {
    return "Total SSE: " + core::FormatStandard(totalSSE, separators);
}

std::string ChangeLine(double change, const core::NumberSeparators& separators) {
    return "Change in SSE: " + core::FormatScientific(change, separators);
}

std::string EpochProgressLine(int epoch, double fractionDone, double secondsSoFar) {
    const double fraction = std::clamp(fractionDone, 0.0, 1.0);
    std::string text = "Epoch " + core::FormatInteger(epoch) + ": " +
                       core::FormatInteger(static_cast<long long>(fraction * 100.0)) + " %";
    // The first groups say little about the rest; wait for a twentieth of the work.
    if (fraction >= 0.05 && fraction < 1.0) {
        const double left = secondsSoFar * (1.0 - fraction) / fraction;
        text += "\nabout " + core::FormatInteger(std::max(1LL, std::llround(left))) + " s left";
    }
    return text;
}

std::string BatchProgressLine(int epochsDone, int totalEpochs, const double* totalSSE,
                              double secondsSoFar) {
    std::string text = "epoch " + core::FormatInteger(epochsDone);
    if (totalEpochs > 0) {
        text += " of " + core::FormatInteger(totalEpochs);
    }
    if (totalSSE != nullptr) {
        text += ", total SSE " + core::FormatScientific(*totalSSE);
    }
    text += ", " + core::FormatInteger(std::llround(secondsSoFar)) + " s elapsed";
    if (totalEpochs > 0 && epochsDone > 0 && epochsDone < totalEpochs) {
        const double left = secondsSoFar * (totalEpochs - epochsDone) / epochsDone;
        text += ", about " + core::FormatInteger(std::llround(left)) + " s left";
    }
    return text;
}

std::string StoppingLine(int epoch) {
    return "Stopping after epoch " + core::FormatInteger(epoch) + " is complete";
}

}  // namespace training

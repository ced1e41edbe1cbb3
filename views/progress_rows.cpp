#include "views/progress_rows.h"

#include <algorithm>
#include <cmath>

#include "text/utf8.h"

namespace views {

std::string TrainingLine(const std::string& trainingFileName) {
    return "Training: " + text::ShownName(trainingFileName);
}

std::string EpochsLine(std::int16_t sweepCount) {
    return "Epochs: " + text::FormatInteger(sweepCount);
}

std::string TotalSSELine(double totalSSE, const text::NumberSeparators& separators,
                         const FitsRow& fits) {
    std::string line = "Total SSE: " + text::FormatStandard(totalSSE, separators);
    if (fits && !fits(line)) {
        line = "Total SSE: " + text::FormatScientific(totalSSE, separators);
    }
    return line;
}

std::string ChangeLine(double change, const text::NumberSeparators& separators) {
    return "Change in SSE: " + text::FormatScientific(change, separators);
}

std::string EpochProgressLine(int epoch, double fractionDone, double secondsSoFar) {
    const double fraction = std::clamp(fractionDone, 0.0, 1.0);
    std::string text = "Epoch " + text::FormatInteger(epoch) + ": " +
                       text::FormatInteger(static_cast<long long>(fraction * 100.0)) + " %";
    // The first groups say little about the rest; wait for a twentieth of the work.
    if (fraction >= 0.05 && fraction < 1.0) {
        const double left = secondsSoFar * (1.0 - fraction) / fraction;
        text += "\nabout " + text::FormatInteger(std::max(1LL, std::llround(left))) + " s left";
    }
    return text;
}

std::string BatchProgressLine(int epochsDone, int totalEpochs, const double* totalSSE,
                              double secondsSoFar) {
    std::string text = "epoch " + text::FormatInteger(epochsDone);
    if (totalEpochs > 0) {
        text += " of " + text::FormatInteger(totalEpochs);
    }
    if (totalSSE != nullptr) {
        text += ", total SSE " + text::FormatScientific(*totalSSE);
    }
    text += ", " + text::FormatInteger(std::llround(secondsSoFar)) + " s elapsed";
    if (totalEpochs > 0 && epochsDone > 0 && epochsDone < totalEpochs) {
        const double left = secondsSoFar * (totalEpochs - epochsDone) / epochsDone;
        text += ", about " + text::FormatInteger(std::llround(left)) + " s left";
    }
    return text;
}

std::string StoppingLine(int epoch) {
    return "Stopping after epoch " + text::FormatInteger(epoch) + " is complete";
}

}  // namespace views

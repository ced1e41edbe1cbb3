#include "training/progress_rows.h"

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

}  // namespace training

#pragma once

// Texts and colours of the four progress rows of a training run.

#include <cstdint>
#include <functional>
#include <string>

#include "text/number_format.h"

namespace views {

enum class RowColour { Red, Green, ButtonFace };

std::string TrainingLine(const std::string& trainingFileName);  // "Training: tiny.net"
std::string EpochsLine(std::int16_t sweepCount);                // "Epochs: 100"
// A line the row must show whole: for `fits`, true when the text fits the row.
using FitsRow = std::function<bool(const std::string& line)>;

// "Total SSE: 1,234.50" (Standard format); in the Scientific format ("Total SSE: 2.29E+30")
// when `fits` is given and says the Standard text is wider than the row, so that a cut-off
// value is never shown.
std::string TotalSSELine(double totalSSE, const text::NumberSeparators& separators,
                         const FitsRow& fits = {});
// "Change in SSE: -4.50E+00" (Scientific format)
std::string ChangeLine(double change, const text::NumberSeparators& separators);

// Within a long epoch: "Epoch 12: 40 %" and, once a share is done to judge by,
// "about 7 s left" (whole seconds, at least 1) on a second line.
std::string EpochProgressLine(int epoch, double fractionDone, double secondsSoFar);
// After "Stop" during a long epoch.
std::string StoppingLine(int epoch);  // "Stopping after epoch 12 is complete"

// The batch trainer's progress line: "epoch 120 of 1000, total SSE 1.23E+00, 12 s elapsed,
// about 88 s left". Without a known end (totalEpochs 0) it says "epoch 120" and no time
// left; before the first printout it has no SSE.
std::string BatchProgressLine(int epochsDone, int totalEpochs, const double* totalSSE,
                              double secondsSoFar);

// Green while the error falls or stays, red when it rises.
inline RowColour ChangeColour(double change) {
    return change >= 0.0 ? RowColour::Green : RowColour::Red;
}
// At the end of a run: green when the total is below the minimum error, whether or not
// that stopping rule was chosen.
inline RowColour FinalSSEColour(double totalSSE, double minError) {
    return totalSSE < minError ? RowColour::Green : RowColour::Red;
}

}  // namespace views

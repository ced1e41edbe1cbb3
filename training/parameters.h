#pragma once

// Reading the setup page's parameter boxes into the network's training parameters.
// Every box is checked before anything changes, so a bad box starts no run and leaves
// the parameters as they were.

#include <optional>
#include <string>

#include "core/problem.h"
#include "core/run_record.h"
#include "text/number_format.h"

namespace training {

// The texts of the boxes as the user left them.
struct ParameterBoxes {
    std::string SweepsBox;
    std::string PrintSweepsBox;
    std::string LRateBox;
    std::string MinErrorBox;
    bool maxEpochsTicked = true;  // Check1(0)
};

struct ParameterProblem {
    std::string box;      // object name of the box, e.g. "SweepsBox"
    std::string message;  // for a message box
    // The epochs asked for would carry the count past 32767: only starting again from
    // epoch 0 (fresh weights) lets this network train on.
    bool pastEpochLimit = false;
};

struct ParameterOutcome {
    std::optional<ParameterProblem> problem;  // set: nothing was changed, no run may start
    bool negativeRate = false;                // the rate was negative and 0.1 was used instead
};

// Sets MaxSweeps (when the maximum-epochs rule is ticked: the box, or the box plus the
// current MaxSweeps when FreshStart is 0), LearningRate, PrintSweeps and MinError (kept
// when its box is empty or blank). Numbers are read with the user's decimal separator or
// a point; counts round to the nearest whole number, ties to even, and must fit 16 bits;
// the epochs box takes 1 to 32767.
ParameterOutcome ReadTrainingParameters(core::RunRecord& record, const ParameterBoxes& boxes,
                                        const text::NumberSeparators& separators);

// What "Start Training" would run with these boxes, read as ReadTrainingParameters reads
// them, changing nothing: the first problem in the order it checks the boxes, or the run.
struct PlannedRun {
    std::optional<ParameterProblem> problem;
    double rate = 0.0;      // a negative rate is replaced, as Start replaces it
    int trainedBefore = 0;  // the run's first epoch is the next one
    int lastEpoch = core::MaxCount;
    std::optional<double> minError;  // when the minimum-error rule is ticked
};
PlannedRun PlanTrainingRun(const core::RunRecord& record, const ParameterBoxes& boxes,
                           bool minErrorTicked, const text::NumberSeparators& separators);

// "Continue Training" with the maximum-epochs rule ticked: MaxSweeps = the sweeps box
// (1 to 32767) plus SweepCount.
std::optional<ParameterProblem> ContinueMaxSweeps(core::RunRecord& record,
                                                  const std::string& sweepsBox,
                                                  const text::NumberSeparators& separators);

// The text the learning-rate box shows after a negative rate was replaced.
inline constexpr const char* ReplacementRateText = "0.10";
inline constexpr double ReplacementRate = 0.1;

}  // namespace training

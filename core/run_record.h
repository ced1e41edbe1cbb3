#pragma once

// What training did to the network: the rule and rate, the boxes and ticks it was started
// with, the epochs trained, the total SSE and its history. History rows are numbered from
// 1; row 0 exists and is unused.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace core {

inline constexpr int SSEHistoryRows = 2000;

enum class Rule { Hebb, Delta };

// "Hebb" or "Delta", as the report, the workbook, the network file and the batch output
// write it.
std::string_view RuleName(Rule rule);
// The rule named exactly so, or none.
std::optional<Rule> RuleNamed(std::string_view name);

// One part of a run: the epochs trained in a row with one rule and rate.
struct TrainedPart {
    Rule rule = Rule::Delta;
    double rate = 0.0;
    int epochs = 0;
};

struct RunRecord {
    Rule LearningRule = Rule::Delta;
    double LearningRate = 0.0;
    std::int16_t FreshStart = 0;
    std::int16_t MaxSweeps = 0;
    // The maximum-epochs box as last read (0 before it is read): the epochs a fresh run
    // trains and each "Continue Training" adds to SweepCount.
    std::int16_t SweepsBoxValue = 0;
    std::int16_t PrintSweeps = 0;
    double MinError = 0.0;
    // The stopping rules of the last training run, as ticked on the setup page.
    bool MaxSweepsRule = true;
    bool MinErrorRule = false;
    std::int16_t SweepCount = 0;
    double TotalSSE = 0.0;
    std::int16_t SSEHistoryCount = 0;
    // Whether the weights were trained on the loaded problem: set when a training run on it
    // completes an epoch; cleared when a file is loaded or the weights are created or zeroed.
    // Until it is set, nothing may report, probe or plot the weights as this problem's.
    bool TrainedOnProblem = false;
    // Why no run on the loaded problem can complete an epoch, or "": set when the error
    // before training cannot be computed, cleared when a file is loaded. The examining pages
    // say it instead of asking for training that cannot succeed.
    std::string UntrainableReason;
    // The parts of the run the weights come from, in order: their epochs add up to
    // SweepCount (empty for a network opened from a file that did not keep them).
    std::vector<TrainedPart> TrainedParts;
    // Rows 0..2000, columns 0..2: column 1 the epoch, column 2 the total SSE.
    std::array<std::array<double, 3>, SSEHistoryRows + 1> SSEHistory{};

    bool hebb() const { return LearningRule == Rule::Hebb; }
    // Whether TrainedParts describe every epoch trained: there are some, and their epochs
    // add up to SweepCount.
    bool partsCoverRun() const;
};

}  // namespace core

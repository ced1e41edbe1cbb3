#include "training/parameters.h"

#include "text/number_text.h"

namespace training {

namespace {

using text::NumberTextError;

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

ParameterProblem problem(const char* box, const char* what, const std::string& text,
                         NumberTextError error, const char* wanted) {
    std::string message = std::string("The ") + what + " ";
    if (error == NumberTextError::Empty) {
        message += "is empty.";
    } else {
        message += quoted(text) + " " + text::Describe(error) + ".";
    }
    return {box, message + " " + wanted};
}

constexpr const char* kEpochs = "maximum number of epochs";
constexpr const char* kEpochsWanted = "Type a whole number of epochs from 1 to 32767.";

// "1 more epoch", "5 more epochs".
std::string epochCount(int count, const char* more) {
    return std::to_string(count) + " " + more + (count == 1 ? " epoch" : " epochs");
}

bool isBlank(const std::string& text) {
    return text.find_first_not_of(" \t") == std::string::npos;
}

// MaxSweeps = box value + base, as a 16-bit count; `box` gets the box value.
std::optional<ParameterProblem> sweepsPlus(double base, const std::string& text,
                                           const text::NumberSeparators& separators,
                                           std::int16_t& result, std::int16_t& box) {
    const text::ParsedNumber number = text::ParseNumber(text, separators);
    if (number.error != NumberTextError::None) {
        return problem("SweepsBox", kEpochs, text, number.error, kEpochsWanted);
    }
    // Fewer than one epoch would leave the rule nothing to stop at: training would run on
    // to the last epoch the program counts.
    const text::ParsedInt16 epochs = text::ToInt16(number.value);
    if (epochs.error == NumberTextError::None && epochs.value < 1) {
        return ParameterProblem{"SweepsBox", "The " + std::string(kEpochs) + " " + quoted(text) +
                                                 " is less than 1. " + kEpochsWanted};
    }
    const text::ParsedInt16 count = text::ToInt16(number.value + base);
    if (count.error != NumberTextError::None) {
        if (base != 0.0 && epochs.error == NumberTextError::None) {
            const int room = core::MaxCount - static_cast<int>(base);
            std::string message = "Training on for " + epochCount(epochs.value, "more") +
                                  " would pass epoch 32767, the most this program counts.";
            if (room > 0) {
                message += " Choose at most " + epochCount(room, "more") + ".";
            }
            return ParameterProblem{"SweepsBox", message, true};
        }
        return problem("SweepsBox", kEpochs, text, count.error, kEpochsWanted);
    }
    result = count.value;
    box = epochs.value;
    return std::nullopt;
}

// Every box read, nothing changed: the values, or the first problem in the order the
// boxes are checked.
struct ReadBoxes {
    std::optional<ParameterProblem> problem;
    std::int16_t maxSweeps = 0;
    std::int16_t sweepsBox = 0;
    double rate = 0.0;
    std::int16_t print = 0;
    double minError = 0.0;
};

ReadBoxes readBoxes(const core::RunRecord& record, const ParameterBoxes& boxes,
                    const text::NumberSeparators& separators) {
    ReadBoxes out;
    out.maxSweeps = record.MaxSweeps;
    out.sweepsBox = record.SweepsBoxValue;
    if (boxes.maxEpochsTicked) {
        const double base = record.FreshStart == 1 ? 0.0 : record.MaxSweeps;
        out.problem = sweepsPlus(base, boxes.SweepsBox, separators, out.maxSweeps, out.sweepsBox);
        if (out.problem) {
            return out;
        }
    }

    const text::ParsedNumber rate = text::ParseNumber(boxes.LRateBox, separators);
    if (rate.error != NumberTextError::None) {
        out.problem = problem("LRateBox", "learning rate", boxes.LRateBox, rate.error,
                              "Type a number of 0 or more, such as 0.1.");
        return out;
    }
    out.rate = rate.value;

    const text::ParsedInt16 print = text::ParseInt16(boxes.PrintSweepsBox, separators);
    if (print.error != NumberTextError::None) {
        out.problem =
            problem("PrintSweepsBox", "number of epochs between printouts", boxes.PrintSweepsBox,
                    print.error, "Type a whole number up to 32767.");
        return out;
    }
    out.print = print.value;

    out.minError = record.MinError;
    if (!isBlank(boxes.MinErrorBox)) {
        const text::ParsedNumber error = text::ParseNumber(boxes.MinErrorBox, separators);
        if (error.error != NumberTextError::None) {
            out.problem = problem("MinErrorBox", "minimum level of error", boxes.MinErrorBox,
                                  error.error, "Type a number such as 0.05.");
            return out;
        }
        out.minError = error.value;
    }
    return out;
}

}  // namespace

ParameterOutcome ReadTrainingParameters(core::RunRecord& record, const ParameterBoxes& boxes,
                                        const text::NumberSeparators& separators) {
    ParameterOutcome outcome;
    const ReadBoxes read = readBoxes(record, boxes, separators);
    if (read.problem) {
        outcome.problem = read.problem;
        return outcome;
    }
    record.MaxSweeps = read.maxSweeps;
    record.SweepsBoxValue = read.sweepsBox;
    outcome.negativeRate = read.rate < 0.0;
    record.LearningRate = outcome.negativeRate ? ReplacementRate : read.rate;
    record.PrintSweeps = read.print;
    record.MinError = read.minError;
    return outcome;
}

PlannedRun PlanTrainingRun(const core::RunRecord& record, const ParameterBoxes& boxes,
                           bool minErrorTicked, const text::NumberSeparators& separators) {
    PlannedRun plan;
    const ReadBoxes read = readBoxes(record, boxes, separators);
    if (read.problem) {
        plan.problem = read.problem;
        return plan;
    }
    plan.rate = read.rate < 0.0 ? ReplacementRate : read.rate;
    plan.trainedBefore = record.FreshStart == 1 ? 0 : record.SweepCount;
    // The maximum-epochs rule stops when the count equals MaxSweeps; a count already past
    // it runs on to the last epoch the program counts.
    if (boxes.maxEpochsTicked && read.maxSweeps > plan.trainedBefore) {
        plan.lastEpoch = read.maxSweeps;
    }
    if (minErrorTicked) {
        plan.minError = read.minError;
    }
    return plan;
}

std::optional<ParameterProblem> ContinueMaxSweeps(core::RunRecord& record,
                                                  const std::string& sweepsBox,
                                                  const text::NumberSeparators& separators) {
    std::int16_t maxSweeps = 0;
    std::int16_t box = 0;
    if (auto bad = sweepsPlus(record.SweepCount, sweepsBox, separators, maxSweeps, box)) {
        return bad;
    }
    record.MaxSweeps = maxSweeps;
    record.SweepsBoxValue = box;
    return std::nullopt;
}

}  // namespace training

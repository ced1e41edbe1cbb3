#include "core/run_record.h"

namespace core {

std::string_view RuleName(Rule rule) {
    return rule == Rule::Hebb ? "Hebb" : "Delta";
}

std::optional<Rule> RuleNamed(std::string_view name) {
    if (name == "Hebb") {
        return Rule::Hebb;
    }
    if (name == "Delta") {
        return Rule::Delta;
    }
    return std::nullopt;
}

bool RunRecord::partsCoverRun() const {
    int epochs = 0;
    for (const TrainedPart& part : TrainedParts) {
        epochs += part.epochs;
    }
    return !TrainedParts.empty() && epochs == SweepCount;
}

}  // namespace core

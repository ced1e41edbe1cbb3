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

}  // namespace core

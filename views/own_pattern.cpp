#include "views/own_pattern.h"

#include <cstddef>

#include "text/field_scanner.h"
#include "text/number_text.h"
#include "views/recall_rule.h"

namespace views {

namespace {

std::string expected(int count) {
    return "Type " + std::to_string(count) + (count == 1 ? " number" : " numbers") +
           ", one for each input unit, separated by commas, blanks or tabs as in a .net file";
}

// Long fields are cut short in messages.
std::string shown(std::string_view field) {
    constexpr std::size_t kLongest = 20;
    return field.size() > kLongest ? std::string(field.substr(0, kLongest)) + "..."
                                   : std::string(field);
}

}  // namespace

TypedPattern ParseTypedPattern(std::string_view text, int count) {
    TypedPattern result;
    std::vector<double> values(1, 0.0);
    text::FieldScanner scanner(text);
    std::size_t pos = 0;
    bool tooMany = false;
    for (;;) {
        const text::FieldScanner::Span span = scanner.find(pos);
        if (span.start >= text.size()) {
            break;
        }
        pos = span.end;
        const std::string_view field = text.substr(span.start, span.end - span.start);
        const text::ParsedNumber number = text::ParseNumber(field);
        if (number.error != text::NumberTextError::None) {
            // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) on "\"" + string.
            result.problem.assign(1, '"')
                .append(shown(field))
                .append("\" ")
                .append(Describe(number.error))
                .append(". ")
                .append(expected(count))
                .append(".");
            return result;
        }
        if (static_cast<int>(values.size()) > count) {
            tooMany = true;  // one too many is enough to refuse
            break;
        }
        values.push_back(number.value);
    }
    const int typed = static_cast<int>(values.size()) - 1;
    if (tooMany || typed != count) {
        result.problem = tooMany
                             ? "There are more numbers than input units. " + expected(count) + "."
                             : expected(count) + "; " + std::to_string(typed) + " " +
                                   (typed == 1 ? "was" : "were") + " typed.";
        return result;
    }
    result.values = std::move(values);
    return result;
}

std::vector<int> NearestStoredPatterns(const core::PublicStuff& net, const double* response) {
    if (net.NumPatterns < 1) {
        return {};
    }
    const RecallTargets targets(net.DesiredOutputs.pattern(1), net.DesiredOutputs.stride(),
                                net.NumPatterns, net.NumOutputs);
    std::vector<int> nearest = targets.nearest(response);
    for (int& q : nearest) {
        ++q;
    }
    return nearest;
}

std::string NearestPatternsText(const std::vector<int>& patterns) {
    const auto n = [&](std::size_t k) { return std::to_string(patterns[k]); };
    switch (patterns.size()) {
        case 0:
            return "no stored pattern";
        case 1:
            return "nearest stored pattern: " + n(0);
        case 2:
            return "nearest stored patterns: " + n(0) + " and " + n(1) + ", equally near";
        case 3:
            return "nearest stored patterns: " + n(0) + ", " + n(1) + " and " + n(2) +
                   ", equally near";
        default:
            return "nearest stored patterns: " + n(0) + ", " + n(1) + " and " +
                   std::to_string(patterns.size() - 2) + " others, equally near";
    }
}

}  // namespace views

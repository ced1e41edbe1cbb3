#include "views/own_pattern.h"

#include <cstddef>
#include <limits>

#include "text/field_scanner.h"
#include "text/number_text.h"

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

int NearestStoredPattern(const core::PublicStuff& net, const double* response) {
    int nearest = 0;
    double best = std::numeric_limits<double>::infinity();
    for (int p = 1; p <= net.NumPatterns; ++p) {
        const double* d = net.DesiredOutputs.pattern(p);
        double sum = 0.0;
        for (int j = 1; j <= net.NumOutputs; ++j) {
            const double e = d[j] - response[j];
            sum += e * e;
        }
        // A sum that overflowed ranks after every finite one.
        if (!(sum <= std::numeric_limits<double>::max())) {
            sum = std::numeric_limits<double>::infinity();
        }
        if (nearest == 0 || sum < best) {
            nearest = p;
            best = sum;
        }
    }
    return nearest;
}

}  // namespace views

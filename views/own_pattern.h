#pragma once

// A pattern the student types for a probe, and the stored pattern its response is
// compared with.

#include <string>
#include <string_view>
#include <vector>

#include "core/network_state.h"

namespace views {

struct TypedPattern {
    // count + 1 values, element 0 unused (zero); empty when the text was refused.
    std::vector<double> values;
    // Why the text was refused, saying what was expected; "" when it was taken.
    std::string problem;
};

// Reads `count` input values written as in a training file: numbers with a "." decimal
// point, separated by any mix of commas, blanks, tabs and line breaks. Refuses a text
// with more or fewer numbers, or with a field that is not a finite number.
TypedPattern ParseTypedPattern(std::string_view text, int count);

// The stored patterns whose desired outputs are equally nearest to `response` (NumOutputs
// + 1 values, element 0 unused), by the distance of views/recall_rule.h: one number per
// different desired output (the lowest pattern that has it), from 1, in increasing order.
// Empty when there are no patterns. Throws std::bad_alloc.
std::vector<int> NearestStoredPatterns(const core::PublicStuff& net, const double* response);

// "nearest stored pattern: 2", "nearest stored patterns: 2 and 5, equally near",
// "nearest stored patterns: 2, 5 and 14 others, equally near" (beyond three).
std::string NearestPatternsText(const std::vector<int>& patterns);

}  // namespace views

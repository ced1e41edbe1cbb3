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

// The stored pattern whose desired output is nearest to `response` (NumOutputs + 1
// values, element 0 unused): the smallest sum of squared differences, summed from output
// 1 up; the lowest number on a tie. 0 when there are no patterns.
int NearestStoredPattern(const core::PublicStuff& net, const double* response);

}  // namespace views

#pragma once

// Numbers to a given count of significant digits, as the analysis's sentences show them
// ("C" locale): 0.0013, 0.667, 1.5e-08. Where a figure is a limit, the rounding goes the
// way that keeps the statement true.

#include <string>

namespace text {

// `value` to `digits` significant digits, rounded to nearest, in the shorter of fixed and
// exponent notation: 0.0013, 0.667, 1.5e-08. -0 is "0", NaN "not known", the infinities
// "above 1.8e308" and "below -1.8e308".
std::string FormatSignificant(double value, int digits);

// The same, rounded down rather than to nearest: a limit shown this way is never above
// the value (1.26582 at 4 digits is 1.265).
std::string FormatSignificantDown(double value, int digits);

// Rounded up: never below the value (1.26582 at 4 digits is 1.266).
std::string FormatSignificantUp(double value, int digits);

}  // namespace text

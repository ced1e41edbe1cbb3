#pragma once

// Numbers in the sentences and small tables the program writes about a file and a network
// ("C" locale): the rate as the student typed it, whole numbers grouped by thousands, counts
// rounded up to two significant digits, SSEs, growth factors and limits on the rate, each
// written one way wherever it appears so that it reads the same on a page and in a report.

#include <string>
#include <string_view>

namespace text {

// The shortest text that reads back as v: 0.5995, 0.1, 1e-05; -0 is "0".
std::string ShortestDecimal(double v);

// v rounded to a whole number, thousands grouped with ",": "544,580", "-1,200", "7".
// For |v| below 1e15.
std::string GroupedWhole(double v);

// v rounded up to two significant digits and shown grouped: 937.2 gives "940", 9.1 gives
// "10", 0.3 gives "1" (a count is at least 1).
std::string RoundedUpCount(double v);

// An SSE: five significant digits, 0.0013, 15.143, whole and grouped from 100 on, 544,580;
// rounding noise below 1e-12, such as the 7e-32 an exact fit leaves, is "0".
std::string SseFigure(double v);

// A length or a sum of squares, never negative, to `digits` significant digits; one that is
// not finite has overflowed and is "above 1.8e308".
std::string SizeFigure(double v, int digits);

// A growth factor per epoch with enough digits not to read as 1: "about 1.05",
// "about 1.0001"; above a million, "more than a million".
std::string GrowthFigure(double growth);

// A limit on the rate at four significant digits, rounded so that what it says stays true:
// down, never above the limit (2 / 1.58 = 1.26582 gives "1.265"), or up, never below it
// ("1.266").
std::string RoundedDownLimit(double limit);
std::string RoundedUpLimit(double limit);

// A positive number beyond the range of a double, given by its decimal logarithm, to two
// significant digits: -399.85 gives "about 1.4e-400".
std::string ApproximateFromLog10(double power);

// v with `decimals` decimals, rounded from the double's exact value (2.675 gives "2.67", its
// double lying just below the half), `decimal` as the decimal point, not grouped.
std::string FormatFixed(double v, int decimals, std::string_view decimal = ".");

}  // namespace text

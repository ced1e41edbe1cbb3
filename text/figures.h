#pragma once

// Numbers in the sentences the program writes about a file ("C" locale): the rate as the
// student typed it, whole numbers grouped by thousands, counts rounded up to two
// significant digits.

#include <string>

namespace text {

// The shortest text that reads back as v: 0.5995, 0.1, 1e-05; -0 is "0".
std::string ShortestDecimal(double v);

// v rounded to a whole number, thousands grouped with ",": "544,580", "-1,200", "7".
// For |v| below 1e15.
std::string GroupedWhole(double v);

// v rounded up to two significant digits and shown grouped: 937.2 gives "940", 9.1 gives
// "10", 0.3 gives "1" (a count is at least 1).
std::string RoundedUpCount(double v);

}  // namespace text

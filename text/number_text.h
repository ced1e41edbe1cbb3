#pragma once

// Text typed into parameter boxes to numbers, independent of the C and C++ locale.
//
// Accepted: optional blanks or tabs, an optional "+" or "-", digits with at most one decimal
// separator (the user's, or "."), at least one digit, an optional exponent (e or E, optional
// sign, digits), optional blanks or tabs. No grouping, hex, "inf" or "nan".
// A magnitude beyond double precision is OutOfRange; one too small for it becomes a zero
// of the same sign, which is harmless for every parameter the program takes.

#include <cstdint>
#include <optional>
#include <string_view>

#include "text/number_format.h"

namespace text {

enum class NumberTextError { None, Empty, NotANumber, OutOfRange };

struct ParsedNumber {
    NumberTextError error = NumberTextError::None;
    double value = 0.0;
};

struct ParsedInt16 {
    NumberTextError error = NumberTextError::None;
    std::int16_t value = 0;
};

ParsedNumber ParseNumber(std::string_view text, const NumberSeparators& seps = {});

// ParseNumber, then ToInt16: "2.5" gives 2, "32767.5" is OutOfRange.
ParsedInt16 ParseInt16(std::string_view text, const NumberSeparators& seps = {});

// Rounds to the nearest integer, ties to even; OutOfRange outside -32768..32767 (after rounding)
// or not finite.
ParsedInt16 ToInt16(double value);

// A whole number from lo to hi typed into a box, written as ParseNumber reads it (blanks
// around it, "+2" and "2.0" are fine). Empty otherwise.
std::optional<long long> ParseWholeNumber(std::string_view text, long long lo, long long hi,
                                          const NumberSeparators& seps = {});

// The pattern number typed into a box: a whole number from 1 to numPatterns.
std::optional<int> ParsePatternNumber(std::string_view text, int numPatterns,
                                      const NumberSeparators& seps = {});

// Short phrase for a message: "is empty", "is not a number", "is out of range".
const char* Describe(NumberTextError error);

}  // namespace text

#pragma once

// Text typed into parameter boxes to numbers, independent of the C and C++ locale.
//
// Accepted: optional blanks or tabs, an optional "+" or "-", digits with at most one decimal
// separator (the user's, or "."), at least one digit, an optional exponent (e or E, optional
// sign, digits), optional blanks or tabs. No grouping, hex, "inf" or "nan".
// A magnitude beyond double precision is OutOfRange; one too small for it becomes a zero
// of the same sign, which is harmless for every parameter the program takes.

#include <cstdint>
#include <string_view>

#include "core/number_format.h"

namespace core {

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

// Short phrase for a message: "is empty", "is not a number", "is out of range".
const char* Describe(NumberTextError error);

}  // namespace core

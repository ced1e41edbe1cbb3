#pragma once

// One field of a training file read as a decimal number: an optional sign, digits with an
// optional decimal point, an optional exponent. Independent of the locale.

#include <string_view>

namespace text {

enum class DecimalField { Ok, NotANumber, TooLarge, NotFinite };

// Reads the whole of `field` into `value`. A number too small for a double gives a signed
// zero and Ok; one too large gives TooLarge; "inf" and "nan" give NotFinite. On anything
// but Ok, `value` is unspecified.
DecimalField ReadDecimalField(std::string_view field, double& value);

}  // namespace text

#include "text/significant.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace text {

std::string FormatSignificant(double value, int digits) {
    if (std::isnan(value)) {
        return "not known";
    }
    if (std::isinf(value)) {
        return value > 0 ? "above 1.8e308" : "below -1.8e308";
    }
    if (value == 0.0) {
        return "0";  // and not "-0"
    }
    char text[40];
    const auto end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits);
    return {text, end.ptr};
}

std::string FormatSignificantDown(double value, int digits) {
    if (!std::isfinite(value) || value == 0.0) {
        return FormatSignificant(value, digits);
    }
    // The nearest text at `digits` digits, stepped down one unit in its last digit when
    // it reads back above the value.
    char text[40];
    auto end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, digits - 1);
    double back = value;
    std::from_chars(text, end.ptr, back);
    // A value a few units in its last place below the text is that text up to the rounding
    // of the arithmetic that found it (2 / 2 worked out through a basis as 0.9999999999999998).
    constexpr double kRounding = 4 * std::numeric_limits<double>::epsilon();
    if (back <= value || back - value <= kRounding * std::abs(back)) {
        return FormatSignificant(back, digits);
    }
    const std::string scientific(text, end.ptr);
    const std::size_t e = scientific.find('e');
    std::string mantissa = scientific.substr(0, e);
    mantissa.erase(std::remove(mantissa.begin(), mantissa.end(), '.'), mantissa.end());
    const bool negative = mantissa[0] == '-';
    long long units = std::stoll(negative ? mantissa.substr(1) : mantissa);
    int exponent = std::stoi(scientific.substr(e + 1)) - (digits - 1);
    units += negative ? 1 : -1;
    if (units > 0 && units < static_cast<long long>(std::pow(10.0, digits - 1))) {
        units = units * 10 + 9;  // 1.00 stepped down is 0.999, not 0.99
        --exponent;
    }
    double lower = static_cast<double>(negative ? -units : units);
    // 10^exponent is exact for the small exponents of shown limits; text keeps it exact
    // for the others.
    const std::string lowerText =
        std::to_string(negative ? -units : units) + "e" + std::to_string(exponent);
    std::from_chars(lowerText.data(), lowerText.data() + lowerText.size(), lower);
    return FormatSignificant(lower, digits);
}

std::string FormatSignificantUp(double value, int digits) {
    if (!std::isfinite(value) || value == 0.0) {
        return FormatSignificant(value, digits);
    }
    // Rounding up is rounding the negated value down.
    const std::string down = FormatSignificantDown(-value, digits);
    if (down.front() == '-') {
        return down.substr(1);
    }
    return down == "0" ? down : "-" + down;
}

}  // namespace text

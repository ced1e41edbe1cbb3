#include "text/decimal_field.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "text/short_decimal.h"

namespace text {

namespace {

// Decimal exponent of a syntactically valid number that from_chars found out of range:
// positive for overflow, negative for underflow.
long long roughExponent(std::string_view text) {
    std::size_t k = 0;
    if (k < text.size() && (text[k] == '+' || text[k] == '-')) {
        ++k;
    }
    long long integerDigits = 0;
    bool seenNonZero = false;
    for (; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k) {
        seenNonZero |= text[k] != '0';
        integerDigits += seenNonZero ? 1 : 0;
    }
    long long fractionZeros = 0;
    if (k < text.size() && text[k] == '.') {
        for (++k; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k) {
            if (!seenNonZero && text[k] == '0') {
                ++fractionZeros;
            } else {
                seenNonZero = true;
            }
        }
    }
    long long exponent = 0;
    if (k < text.size() && (text[k] == 'e' || text[k] == 'E')) {
        ++k;
        const bool negative = k < text.size() && text[k] == '-';
        if (k < text.size() && (text[k] == '+' || text[k] == '-')) {
            ++k;
        }
        for (; k < text.size() && exponent < 1'000'000'000; ++k) {
            exponent = exponent * 10 + (text[k] - '0');
        }
        exponent = negative ? -exponent : exponent;
    }
    return integerDigits > 0 ? exponent + integerDigits - 1 : exponent - fractionZeros - 1;
}

}  // namespace

DecimalField ReadDecimalField(std::string_view field, double& value) {
    if (!field.empty() && ReadShortDecimal(field, 0, field.size(), value)) {
        return DecimalField::Ok;
    }
    std::string_view number = field;
    if (!number.empty() && number.front() == '+') {
        number.remove_prefix(1);
        if (!number.empty() && number.front() == '-') {
            return DecimalField::NotANumber;
        }
    }
    if (number.empty()) {
        return DecimalField::NotANumber;
    }
    // from_chars also reads "inf", "nan" and "infinity"; those are refused as not finite.
    const char* first = number.data();
    const char* last = first + number.size();
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (end != last) {
        return DecimalField::NotANumber;
    }
    if (ec == std::errc::result_out_of_range) {
        if (roughExponent(number) > 0) {
            return DecimalField::TooLarge;
        }
        value = number.front() == '-' ? -0.0 : 0.0;
        return DecimalField::Ok;
    }
    if (ec != std::errc()) {
        return DecimalField::NotANumber;
    }
    return std::isfinite(value) ? DecimalField::Ok : DecimalField::NotFinite;
}

}  // namespace text

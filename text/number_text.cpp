#include "text/number_text.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace text {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Copies the run of digits starting at pos into out and returns how many there were.
std::size_t CopyDigits(std::string_view text, std::size_t& pos, std::string& out) {
    const std::size_t start = pos;
    while (pos < text.size() && IsDigit(text[pos])) {
        out += text[pos++];
    }
    return pos - start;
}

// The decimal place of the first non-zero digit, e.g. 2 for "123", -3 for "0.00123".
// Only called when some digit is non-zero.
long long LeadingPlace(std::string_view integerDigits, std::string_view fractionDigits) {
    const std::size_t inInteger = integerDigits.find_first_not_of('0');
    if (inInteger != std::string_view::npos) {
        return static_cast<long long>(integerDigits.size() - inInteger) - 1;
    }
    return -static_cast<long long>(fractionDigits.find_first_not_of('0')) - 1;
}

// Exponent digits to a number, saturating far beyond anything a double can use.
long long ExponentValue(std::string_view digits, bool negative) {
    long long value = 0;
    for (const char c : digits) {
        if (value < 1'000'000'000) {
            value = value * 10 + (c - '0');
        }
    }
    return negative ? -value : value;
}

}  // namespace

ParsedNumber ParseNumber(std::string_view text, const NumberSeparators& seps) {
    text = TrimBlanks(text);
    if (text.empty()) {
        return {NumberTextError::Empty, 0.0};
    }
    constexpr ParsedNumber kNotANumber{NumberTextError::NotANumber, 0.0};

    // from_chars takes neither "+" nor a locale's separator, so the accepted text is rewritten.
    std::string ascii;
    ascii.reserve(text.size() + 1);
    std::size_t pos = 0;
    const bool negative = text[pos] == '-';
    if (negative || text[pos] == '+') {
        ++pos;
    }
    if (negative) {
        ascii += '-';
    }

    const std::size_t integerStart = pos;
    const std::size_t integerCount = CopyDigits(text, pos, ascii);
    const std::string_view rest = text.substr(pos);
    std::size_t fractionStart = pos;
    std::size_t fractionCount = 0;
    bool hasSeparator = false;
    if (!seps.decimal.empty() && rest.starts_with(seps.decimal)) {
        pos += seps.decimal.size();
        hasSeparator = true;
    } else if (rest.starts_with('.')) {
        ++pos;
        hasSeparator = true;
    }
    if (hasSeparator) {
        ascii += '.';
        fractionStart = pos;
        fractionCount = CopyDigits(text, pos, ascii);
    }
    if (integerCount + fractionCount == 0) {
        return kNotANumber;
    }

    std::string_view exponentDigits;
    bool negativeExponent = false;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ascii += 'e';
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            negativeExponent = text[pos] == '-';
            ascii += text[pos++];
        }
        const std::size_t exponentStart = pos;
        if (CopyDigits(text, pos, ascii) == 0) {
            return kNotANumber;
        }
        exponentDigits = text.substr(exponentStart, pos - exponentStart);
    }
    if (pos != text.size()) {
        return kNotANumber;
    }

    double value = 0.0;
    const auto result = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // libstdc++ reports underflow to zero as a range error too and leaves value untouched.
        const long long place = LeadingPlace(text.substr(integerStart, integerCount),
                                             text.substr(fractionStart, fractionCount)) +
                                ExponentValue(exponentDigits, negativeExponent);
        if (place < 0) {
            return {NumberTextError::None, negative ? -0.0 : 0.0};
        }
        return {NumberTextError::OutOfRange, 0.0};
    }
    if (result.ec != std::errc() || result.ptr != ascii.data() + ascii.size()) {
        return kNotANumber;
    }
    if (!std::isfinite(value)) {
        return {NumberTextError::OutOfRange, 0.0};
    }
    return {NumberTextError::None, value};
}

ParsedInt16 ParseInt16(std::string_view text, const NumberSeparators& seps) {
    const ParsedNumber parsed = ParseNumber(text, seps);
    if (parsed.error != NumberTextError::None) {
        return {parsed.error, 0};
    }
    return ToInt16(parsed.value);
}

ParsedInt16 ToInt16(double value) {
    if (!std::isfinite(value)) {
        return {NumberTextError::OutOfRange, 0};
    }
    // Explicit ties-to-even rather than nearbyint, which would follow whatever rounding mode
    // some library left behind.
    double rounded = std::floor(value);
    const double fraction = value - rounded;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0)) {
        rounded += 1.0;
    }
    if (rounded < -32768.0 || rounded > 32767.0) {
        return {NumberTextError::OutOfRange, 0};
    }
    return {NumberTextError::None, static_cast<std::int16_t>(rounded)};
}

const char* Describe(NumberTextError error) {
    switch (error) {
        case NumberTextError::None:
            return "is valid";
        case NumberTextError::Empty:
            return "is empty";
        case NumberTextError::NotANumber:
            return "is not a number";
        case NumberTextError::OutOfRange:
            return "is out of range";
    }
    return "is not a number";
}

std::optional<long long> ParseWholeNumber(std::string_view text, long long lo, long long hi,
                                          const NumberSeparators& seps) {
    const ParsedNumber parsed = ParseNumber(text, seps);
    if (parsed.error != NumberTextError::None || parsed.value != std::floor(parsed.value) ||
        parsed.value < static_cast<double>(lo) || parsed.value > static_cast<double>(hi)) {
        return std::nullopt;
    }
    return static_cast<long long>(parsed.value);
}

std::optional<int> ParsePatternNumber(std::string_view text, int numPatterns,
                                      const NumberSeparators& seps) {
    const auto whole = ParseWholeNumber(text, 1, numPatterns, seps);
    return whole ? std::optional<int>(static_cast<int>(*whole)) : std::nullopt;
}

}  // namespace text

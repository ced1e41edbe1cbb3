#include "text/number_format.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <system_error>

namespace text {

namespace {

constexpr int kSignificantDigits = 15;

// A finite value as sign * 0.d0 d1 d2 ... * 10^(exponent + 1), i.e. digit i has place value
// 10^(exponent - i). Trailing zeros are dropped, so zero is count == 0.
struct Decimal {
    bool negative = false;
    std::array<char, kSignificantDigits> digits{};
    int count = 0;
    int exponent = 0;

    [[nodiscard]] bool IsZero() const { return count == 0; }

    // The digit at a place value 10^place, '0' outside the stored digits.
    [[nodiscard]] char DigitAt(int place) const {
        const int index = exponent - place;
        return index >= 0 && index < count ? digits[static_cast<std::size_t>(index)] : '0';
    }

    void DropTrailingZeros() {
        while (count > 0 && digits[static_cast<std::size_t>(count - 1)] == '0') {
            --count;
        }
        if (count == 0) {
            exponent = 0;
        }
    }
};

// The value correctly rounded to 15 significant digits.
Decimal ToDecimal(double v) {
    // Longest output is "-d.ddddddddddddddde-308".
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v,
                                      std::chars_format::scientific, kSignificantDigits - 1);
    const std::string_view text(buffer.data(),
                                static_cast<std::size_t>(result.ptr - buffer.data()));

    Decimal d;
    std::size_t pos = 0;
    if (text[pos] == '-') {
        d.negative = true;
        ++pos;
    }
    for (; pos < text.size() && text[pos] != 'e'; ++pos) {
        if (text[pos] != '.') {
            d.digits[static_cast<std::size_t>(d.count++)] = text[pos];
        }
    }
    // to_chars always writes an explicit exponent sign.
    const bool negativeExponent = text[pos + 1] == '-';
    int magnitude = 0;
    for (pos += 2; pos < text.size(); ++pos) {
        magnitude = magnitude * 10 + (text[pos] - '0');
    }
    d.exponent = negativeExponent ? -magnitude : magnitude;
    d.DropTrailingZeros();
    return d;
}

// Keeps the first `keep` digits, rounding half away from zero on the dropped ones.
void RoundToDigits(Decimal& d, int keep) {
    if (keep >= d.count) {
        return;
    }
    if (keep < 0) {
        d.count = 0;
        d.exponent = 0;
        return;
    }
    const bool roundUp = d.digits[static_cast<std::size_t>(keep)] >= '5';
    d.count = keep;
    if (roundUp) {
        int i = keep - 1;
        for (; i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9'; --i) {
            d.digits[static_cast<std::size_t>(i)] = '0';
        }
        if (i >= 0) {
            ++d.digits[static_cast<std::size_t>(i)];
        } else {
            // All nines (or nothing kept): the carry opens a new leading place.
            d.digits[0] = '1';
            d.count = 1;
            ++d.exponent;
        }
    }
    d.DropTrailingZeros();
}

// Rounds to a number of places after the decimal point.
void RoundToDecimals(Decimal& d, int decimals) {
    if (!d.IsZero()) {
        RoundToDigits(d, d.exponent + decimals + 1);
    }
}

// Writes non-finite values; returns false for finite ones.
bool AppendNonFinite(std::string& out, double v) {
    if (std::isnan(v)) {
        out += "nan";
        return true;
    }
    if (std::isinf(v)) {
        out += v < 0 ? "-inf" : "inf";
        return true;
    }
    return false;
}

// "E", a sign, and at least two digits.
void AppendExponent(std::string& out, int exponent) {
    out += 'E';
    out += exponent < 0 ? '-' : '+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) {
        out += '0';
    }
    std::array<char, 8> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude);
    out.append(buffer.data(), result.ptr);
}

// Integer digits from the highest place down to 10^0; nothing when the integer part is zero.
// A grouping separator goes between groups of three when one is given.
void AppendIntegerPart(std::string& out, const Decimal& d, const std::string* grouping) {
    for (int place = d.exponent; place >= 0; --place) {
        out += d.DigitAt(place);
        if (grouping != nullptr && place > 0 && place % 3 == 0) {
            out += *grouping;
        }
    }
}

void AppendTwoDecimals(std::string& out, const Decimal& d, const NumberSeparators& seps) {
    out += seps.decimal;
    out += d.DigitAt(-1);
    out += d.DigitAt(-2);
}

}  // namespace

std::string FormatGeneral(double v, const NumberSeparators& seps) {
    std::string out;
    if (AppendNonFinite(out, v)) {
        return out;
    }
    const Decimal d = ToDecimal(v);
    if (d.IsZero()) {
        return "0";
    }
    if (d.negative) {
        out += '-';
    }
    if (d.exponent < -4 || d.exponent > kSignificantDigits - 1) {
        out += d.digits[0];
        if (d.count > 1) {
            out += seps.decimal;
            out.append(d.digits.data() + 1, static_cast<std::size_t>(d.count - 1));
        }
        AppendExponent(out, d.exponent);
        return out;
    }
    if (d.exponent < 0) {
        out += '0';
    } else {
        AppendIntegerPart(out, d, nullptr);
    }
    const int lastPlace = d.exponent - d.count + 1;
    if (lastPlace < 0) {
        out += seps.decimal;
        for (int place = -1; place >= lastPlace; --place) {
            out += d.DigitAt(place);
        }
    }
    return out;
}

std::string FormatStandard(double v, const NumberSeparators& seps) {
    std::string out;
    if (AppendNonFinite(out, v)) {
        return out;
    }
    Decimal d = ToDecimal(v);
    RoundToDecimals(d, 2);
    if (d.negative && !d.IsZero()) {
        out += '-';
    }
    if (d.IsZero() || d.exponent < 0) {
        out += '0';
    } else {
        AppendIntegerPart(out, d, &seps.grouping);
    }
    AppendTwoDecimals(out, d, seps);
    return out;
}

std::string FormatScientific(double v, const NumberSeparators& seps) {
    std::string out;
    if (AppendNonFinite(out, v)) {
        return out;
    }
    Decimal d = ToDecimal(v);
    RoundToDigits(d, 3);
    if (d.negative && !d.IsZero()) {
        out += '-';
    }
    out += d.DigitAt(d.exponent);
    out += seps.decimal;
    out += d.DigitAt(d.exponent - 1);
    out += d.DigitAt(d.exponent - 2);
    AppendExponent(out, d.exponent);
    return out;
}

std::string FormatSigned2Decimal(double v, const NumberSeparators& seps) {
    std::string out;
    if (AppendNonFinite(out, v)) {
        return out;
    }
    Decimal d = ToDecimal(v);
    RoundToDecimals(d, 2);
    out += d.negative && !d.IsZero() ? '-' : '+';
    if (!d.IsZero()) {
        AppendIntegerPart(out, d, nullptr);
    }
    AppendTwoDecimals(out, d, seps);
    return out;
}

bool Signed2Hundredths(double v, std::uint64_t* hundredths) {
    // |v| = m * 2^-s exactly. Values of 2^31 and more (and infinities, NaN) are left to the
    // decimal routine; below 0.004 the 15-digit value is below 0.005 as well, so zero.
    const auto bits = std::bit_cast<std::uint64_t>(v);
    const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
    if (biased >= 1023 + 31) {
        return false;
    }
    if (biased < 1023 - 8) {  // |v| < 2^-8 < 0.004
        *hundredths = 0;
        return true;
    }
    const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const int s = 1075 - biased;  // 22..60
    // n = floor(100|v| + 1/2): rounding half away from zero to two decimals of the exact value.
    const std::uint64_t scaled = 100 * m;  // < 2^60
    const std::uint64_t halfUnit = std::uint64_t{1} << (s - 1);
    const std::uint64_t sum = scaled + halfUnit;  // < 2^62
    const std::uint64_t n = sum >> s;
    const std::uint64_t rest = sum & ((std::uint64_t{1} << s) - 1);
    // The 15-digit value lies within half a unit of its 15th digit of v, which is at most
    // 100|v| * 0.5e-14 in units of 100|v|. When the nearest point where n changes is
    // farther than twice that, the 15-digit value gives the same n, so the decimal routine
    // would produce the same text. Otherwise (within about 1e-14 relative of a half
    // hundredth, as for 2.675) it must decide.
    const std::uint64_t distance = std::min(rest, (std::uint64_t{1} << s) - rest);
    if (distance <= scaled / 100'000'000'000'000U) {  // distance * 1e14 <= scaled
        return false;
    }
    *hundredths = n;
    return true;
}

namespace {

constexpr std::size_t kLongestSeparator = 16;  // U+202F is 3 bytes
// Sign, at most 12 integer digits (n < 2^31 * 100), the separator, two decimals, a TAB.
constexpr std::size_t kLongestCell = 1 + 12 + kLongestSeparator + 2 + 1;

// "00" to "99", two characters each.
constexpr std::array<char, 200> kPairs = [] {
    std::array<char, 200> pairs{};
    for (std::size_t k = 0; k < 100; ++k) {
        pairs[2 * k] = static_cast<char>('0' + k / 10);
        pairs[2 * k + 1] = static_cast<char>('0' + k % 10);
    }
    return pairs;
}();

int decimalDigits(std::uint64_t v) {
    int digits = 1;
    for (; v >= 100; v /= 100) {
        digits += 2;
    }
    return v >= 10 ? digits + 1 : digits;
}

// The fast path's text for n hundredths at p, which has room for kLongestCell bytes;
// returns its end.
char* writeHundredths(char* p, std::uint64_t n, bool negative, const std::string& decimal) {
    *p++ = negative && n != 0 ? '-' : '+';
    std::uint64_t whole = n / 100;
    if (whole != 0) {
        char* const end = p + decimalDigits(whole);
        char* q = end;
        for (; whole >= 100; whole /= 100) {
            q -= 2;
            std::memcpy(q, kPairs.data() + 2 * (whole % 100), 2);
        }
        if (whole >= 10) {
            std::memcpy(q - 2, kPairs.data() + 2 * whole, 2);
        } else {
            q[-1] = static_cast<char>('0' + whole);
        }
        p = end;
    }
    if (decimal.size() == 1) {
        *p++ = decimal[0];
    } else {
        p = std::copy_n(decimal.data(), decimal.size(), p);
    }
    std::memcpy(p, kPairs.data() + 2 * (n % 100), 2);
    return p + 2;
}

}  // namespace

void AppendSigned2(std::string& out, double v, const NumberSeparators& seps) {
    std::uint64_t n = 0;
    if (seps.decimal.size() > kLongestSeparator || !Signed2Hundredths(v, &n)) {
        out += FormatSigned2Decimal(v, seps);
        return;
    }
    std::array<char, kLongestCell> text{};
    const char* end = writeHundredths(text.data(), n, std::signbit(v), seps.decimal);
    out.append(text.data(), static_cast<std::size_t>(end - text.data()));
}

void AppendSigned2Cells(std::string& out, const double* values, int count,
                        const NumberSeparators& seps) {
    if (seps.decimal.size() > kLongestSeparator) {
        for (int k = 0; k < count; ++k) {
            out += FormatSigned2Decimal(values[k], seps);
            out += '\t';
        }
        return;
    }
    // Room for a stretch of cells on the fast path at a time; a value it refuses ends the
    // stretch and is appended by digits.
    constexpr int kStretch = 256;
    for (int k = 0; k < count;) {
        const int end = std::min(count, k + kStretch);
        const std::size_t start = out.size();
        out.resize(start + static_cast<std::size_t>(end - k) * kLongestCell);
        char* const begin = out.data() + start;
        char* p = begin;
        std::uint64_t n = 0;
        for (; k < end && Signed2Hundredths(values[k], &n); ++k) {
            p = writeHundredths(p, n, std::signbit(values[k]), seps.decimal);
            *p++ = '\t';
        }
        out.resize(start + static_cast<std::size_t>(p - begin));
        if (k < end) {
            out += FormatSigned2Decimal(values[k], seps);
            out += '\t';
            ++k;
        }
    }
}

std::string FormatSigned2(double v, const NumberSeparators& seps) {
    std::string out;
    AppendSigned2(out, v, seps);
    return out;
}

std::string FormatInteger(long long v) {
    std::array<char, 24> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v);
    return {buffer.data(), result.ptr};
}

double RoundToSignificant(double v, int digits) {
    if (!std::isfinite(v)) {
        return v;
    }
    std::array<char, 40> text{};
    const auto written = std::to_chars(text.data(), text.data() + text.size(), v,
                                       std::chars_format::general, std::clamp(digits, 1, 17));
    double back = v;
    const auto read = std::from_chars(text.data(), written.ptr, back);
    return read.ec == std::errc() ? back : v;
}

}  // namespace text

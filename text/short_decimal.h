#pragma once

// Short plain decimals, such as "-0.25" or "1", read fast: at most 15 digits with an optional
// point and an optional minus sign, no exponent. The digits then form an integer below 2^53
// and the scale is a power of ten up to 10^22, both exact doubles, so one correctly rounded
// division gives the same double as any correct conversion. Anything else is left to
// ReadDecimalField (text/decimal_field.h). Inline: the loader calls it for every field.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

namespace text {

namespace detail {

inline constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

inline std::uint64_t loadEight(const char* p) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::big) {
        word = __builtin_bswap64(word);
    }
    return word;  // the first character in the lowest byte
}

// How many of the eight characters, first one first, are digits before another byte.
inline int leadingDigits(std::uint64_t word) {
    constexpr std::uint64_t ones = 0x0101010101010101;
    // A byte's top bit ends up set when it is below '0' or above '9' (or not ASCII).
    const std::uint64_t notDigit =
        ((word + ones * (0x80 - 10 - '0')) | (word - ones * '0') | word) & (ones * 0x80);
    return notDigit == 0 ? 8 : __builtin_ctzll(notDigit) / 8;
}

// The value of the first `count` (0..8) digits of the word.
inline std::uint64_t digitValue(std::uint64_t word, int count) {
    if (count == 0) {
        return 0;
    }
    constexpr std::uint64_t ones = 0x0101010101010101;
    // Digit values, the last digit in the top byte and zeros before the first.
    std::uint64_t v = (word - ones * '0') << (8 * (8 - count));
    v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FF;
    v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFF;
    v = (v * 10000 + (v >> 32)) & 0x00000000FFFFFFFF;
    return v;
}

// A short plain decimal's digits as one integer, and the count of digits after its
// point.
struct ShortDigits {
    std::uint64_t mantissa;
    int decimals;
};

// The bytes [k, end) as digits with an optional point among them: at most 15 digits,
// at least one; nullopt otherwise.
inline std::optional<ShortDigits> readDigitsOneByOne(std::string_view bytes, std::size_t k,
                                                     std::size_t end) {
    std::uint64_t mantissa = 0;
    int digits = 0;
    int decimals = 0;
    bool point = false;
    for (; k < end; ++k) {
        const auto c = static_cast<unsigned char>(bytes[k]);
        const unsigned digit = c - static_cast<unsigned char>('0');
        if (digit < 10) {
            mantissa = mantissa * 10 + digit;
            ++digits;
            decimals += point ? 1 : 0;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0 || digits > 15) {
        return std::nullopt;
    }
    return ShortDigits{mantissa, decimals};
}

// The same, eight bytes at a time, for at most eight digits; longer runs go one byte at
// a time. Needs 16 bytes of text from `k` on.
inline std::optional<ShortDigits> readDigitsEightWide(std::string_view bytes, std::size_t k,
                                                      std::size_t end) {
    const char* p = bytes.data() + k;
    const std::size_t length = end - k;
    const std::uint64_t head = loadEight(p);
    const int wholeDigits = leadingDigits(head);
    if (static_cast<std::size_t>(wholeDigits) == length) {
        if (wholeDigits == 0) {
            return std::nullopt;
        }
        return ShortDigits{digitValue(head, wholeDigits), 0};
    }
    if (wholeDigits == 8) {
        return readDigitsOneByOne(bytes, k, end);
    }
    if (p[wholeDigits] != '.') {
        return std::nullopt;
    }
    // The digits with the point taken out: those before it, then those after it.
    const std::uint64_t before = (std::uint64_t{1} << (8 * wholeDigits)) - 1;
    const std::uint64_t digits = (head & before) | (loadEight(p + 1) & ~before);
    const int count = leadingDigits(digits);
    if (static_cast<std::size_t>(count) + 1 != length) {
        // Eight digits and more to come go one byte at a time; anything else after
        // the digits is no short decimal.
        return count == 8 ? readDigitsOneByOne(bytes, k, end) : std::nullopt;
    }
    if (count == 0) {
        return std::nullopt;
    }
    return ShortDigits{digitValue(digits, count), count - wholeDigits};
}

}  // namespace detail

// The field bytes[start, end) when it is a short plain decimal; false otherwise. Reads up to
// 16 bytes from the digits on where `bytes` holds them.
inline bool ReadShortDecimal(std::string_view bytes, std::size_t start, std::size_t end,
                             double& value) {
    const bool negative = bytes[start] == '-';
    const std::size_t first = start + (negative ? 1 : 0);
    // Eight bytes at a time where that cannot read past the end of the text.
    const std::optional<detail::ShortDigits> read =
        first + std::size_t{16} <= bytes.size() ? detail::readDigitsEightWide(bytes, first, end)
                                                : detail::readDigitsOneByOne(bytes, first, end);
    if (!read) {
        return false;
    }
    // Below 2^53, so the signed conversion is exact and needs no care for large values.
    const double magnitude = static_cast<double>(static_cast<std::int64_t>(read->mantissa)) /
                             detail::kPowersOfTen[read->decimals];
    // The sign bit set without a branch: signs of data are as good as random.
    value = std::bit_cast<double>(std::bit_cast<std::uint64_t>(magnitude) |
                                  (static_cast<std::uint64_t>(negative) << 63));
    return true;
}

}  // namespace text

#include "text/number_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using text::FormatGeneral;
using text::FormatScientific;
using text::FormatSigned2;
using text::FormatStandard;

struct Case {
    double value;
    const char* expected;
};

const text::NumberSeparators kGerman{",", "."};

TEST(FormatGeneralTest, FixedAndExponentForms) {
    const Case cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {2.0, "2"},
        {-2.5, "-2.5"},
        {0.1, "0.1"},
        {0.07, "0.07"},
        {1.0 / 3.0, "0.333333333333333"},
        {0.0001, "0.0001"},
        {0.00001, "1E-05"},
        {999999999999999.0, "999999999999999"},
        {1e15, "1E+15"},
        {9.999999999999999e14, "1E+15"},  // rounding carries into a new exponent
        {1.5e20, "1.5E+20"},
        {123456789012345678901.0, "1.23456789012346E+20"},
        {-1e-300, "-1E-300"},
        {1e-320, "9.99988867182683E-321"},
        {123.456, "123.456"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatGeneral(c.value), c.expected) << c.value;
    }
    EXPECT_EQ(FormatGeneral(-1234.5, kGerman), "-1234,5");
    EXPECT_EQ(FormatGeneral(1.5e20, kGerman), "1,5E+20");
}

TEST(FormatStandardTest, GroupsAndRounds) {
    const Case cases[] = {
        {3.14159, "3.14"},     {1234.5, "1,234.50"},
        {0.0, "0.00"},         {-0.0, "0.00"},
        {-0.004, "0.00"},      {0.005, "0.01"},
        {-4.5, "-4.50"},       {1234567.891, "1,234,567.89"},
        {999.995, "1,000.00"}, {-999999.999, "-1,000,000.00"},
        {100.0, "100.00"},     {1e20, "100,000,000,000,000,000,000.00"},
        {1e-320, "0.00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatStandard(c.value), c.expected) << c.value;
    }
    EXPECT_EQ(FormatStandard(-1234567.891, kGerman), "-1.234.567,89");
    // U+202F NARROW NO-BREAK SPACE as grouping separator.
    const text::NumberSeparators narrow{",", "\u202F"};
    EXPECT_EQ(FormatStandard(1234567.5, narrow), "1\u202F234\u202F567,50");
}

TEST(FormatScientificTest, ThreeSignificantDigits) {
    const Case cases[] = {
        {0.0123, "1.23E-02"},    {-4.5, "-4.50E+00"},
        {0.0, "0.00E+00"},       {-0.0, "0.00E+00"},
        {250.0, "2.50E+02"},     {9.995, "1.00E+01"},
        {0.0012345, "1.23E-03"}, {0.0012355, "1.24E-03"},
        {1e-300, "1.00E-300"},   {-1.7976931348623157e308, "-1.80E+308"},
        {1e-320, "1.00E-320"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatScientific(c.value), c.expected) << c.value;
    }
    EXPECT_EQ(FormatScientific(0.0123, kGerman), "1,23E-02");
}

TEST(FormatSigned2Test, SignAlwaysAndNoLeadingZero) {
    const Case cases[] = {
        {0.5, "+.50"},        {-0.25, "-.25"},      {0.0, "+.00"},
        {-0.0, "+.00"},       {1.0, "+1.00"},       {-3.0, "-3.00"},
        {123.456, "+123.46"}, {1234.5, "+1234.50"}, {-12.0, "-12.00"},
        {250.5, "+250.50"},   {0.125, "+.13"},      {-0.125, "-.13"},
        {2.675, "+2.68"},     {1.005, "+1.01"},     {0.004, "+.00"},
        {-0.004, "+.00"},     {9.995, "+10.00"},    {99.995, "+100.00"},
        {0.995, "+1.00"},     {-0.005, "-.01"},     {1e20, "+100000000000000000000.00"},
        {1e-320, "+.00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatSigned2(c.value), c.expected) << c.value;
    }
    EXPECT_EQ(FormatSigned2(-1234.5, kGerman), "-1234,50");
}

// The integer fast path against the rounding by decimal digits: random values over the
// whole range of exponents and signs, and values within a few units in the last place of
// the points where two-decimal rounding turns (k + 0.5) / 100, including those that carry
// into a new digit (9.995, 99.995, ...) and the edges of the fast path's range.
TEST(FormatSigned2Test, FastPathGivesTheDecimalRoutinesBytes) {
    std::mt19937_64 random(20261207);
    long long fast = 0;
    long long checked = 0;
    // The row writer gets the same values a row at a time, rows of 1 to 997 cells.
    std::vector<double> row;
    std::string rowExpected;
    std::size_t rowLength = 1;
    auto checkRow = [&] {
        std::string cells = "Pattern 1\t";
        text::AppendSigned2Cells(cells, row.data(), static_cast<int>(row.size()), {});
        ASSERT_EQ(cells, "Pattern 1\t" + rowExpected);
        row.clear();
        rowExpected.clear();
    };
    auto check = [&](double v) {
        for (const double x : {v, -v}) {
            std::uint64_t n = 0;
            fast += text::Signed2Hundredths(x, &n) ? 1 : 0;
            ++checked;
            const std::string expected = text::FormatSigned2Decimal(x);
            ASSERT_EQ(FormatSigned2(x), expected) << std::hexfloat << x;
            row.push_back(x);
            rowExpected += expected + "\t";
            if (row.size() == rowLength) {
                ASSERT_NO_FATAL_FAILURE(checkRow());
                rowLength = 1 + static_cast<std::size_t>(checked % 997);
            }
        }
    };
    auto around = [&](double v, int ulps) {
        double below = v;
        double above = v;
        check(v);
        for (int k = 0; k < ulps; ++k) {
            below = std::nextafter(below, 0.0);
            above = std::nextafter(above, INFINITY);
            check(below);
            check(above);
        }
    };
    // Any bits with a binary exponent between -1100 and 60: tiny, everyday and huge values.
    std::uniform_int_distribution<int> exponent(-1100, 60);
    std::uniform_int_distribution<std::uint64_t> mantissa(0, (std::uint64_t{1} << 52) - 1);
    for (int k = 0; k < 600'000; ++k) {
        const double x = std::ldexp(1.0 + std::ldexp(static_cast<double>(mantissa(random)), -52),
                                    exponent(random));
        ASSERT_NO_FATAL_FAILURE(check(x));
    }
    // Everyday report values: weights and activations within a few thousand.
    std::uniform_real_distribution<double> everyday(0.0, 5000.0);
    for (int k = 0; k < 600'000; ++k) {
        ASSERT_NO_FATAL_FAILURE(check(everyday(random)));
    }
    // Half hundredths, computed in several ways, and their neighbours.
    std::uniform_int_distribution<std::int64_t> hundredths(0, 200'000'000'000);
    for (int k = 0; k < 60'000; ++k) {
        const auto h = static_cast<double>(hundredths(random) >> (k % 30));
        ASSERT_NO_FATAL_FAILURE(around((h + 0.5) / 100.0, 8));
        ASSERT_NO_FATAL_FAILURE(around(h / 100.0 + 0.005, 2));
    }
    for (double power = 1.0; power < 3e9; power *= 10.0) {
        ASSERT_NO_FATAL_FAILURE(around(power - 0.005, 64));  // 0.995, 9.995, ...
    }
    for (const double edge : {0.0, 0.004, 0.005, 0.00390625, 0.0049999999999999, 2147483648.0,
                              2147483647.995, 1e-320, 1e300}) {
        ASSERT_NO_FATAL_FAILURE(around(edge, 64));
    }
    ASSERT_NO_FATAL_FAILURE(checkRow());
    EXPECT_GT(checked, 3'000'000);
    // Both ways are taken: most values by integers, the closest to a turn by digits.
    EXPECT_GT(fast, checked * 2 / 5);
    EXPECT_LT(fast, checked);
    EXPECT_EQ(FormatSigned2(-1234.505, kGerman), text::FormatSigned2Decimal(-1234.505, kGerman));
    EXPECT_EQ(FormatSigned2(-0.0), "+.00");
    // Separators of every length, values the fast path leaves to the digits among them.
    const double mixed[] = {-0.0, 2.675, -1e300, NAN, -INFINITY, 12345.678, -0.004, 1e-320};
    for (const text::NumberSeparators& seps : {kGerman, text::NumberSeparators{"\xE2\x80\xAF", ""},
                                               text::NumberSeparators{std::string(17, ':'), ""}}) {
        std::string expected;
        for (const double v : mixed) {
            expected += text::FormatSigned2Decimal(v, seps) + "\t";
        }
        std::string cells;
        text::AppendSigned2Cells(cells, mixed, 8, seps);
        EXPECT_EQ(cells, expected) << seps.decimal;
    }
    EXPECT_EQ(FormatSigned2(-1234.5, {"\xE2\x80\xAF", ""}),
              "-1234\xE2\x80\xAF"
              "50");
}

TEST(FormatTest, NonFiniteIsReadableEverywhere) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (auto format : {&FormatGeneral, &FormatStandard, &FormatScientific, &FormatSigned2}) {
        EXPECT_EQ(format(inf, {}), "inf");
        EXPECT_EQ(format(-inf, {}), "-inf");
        EXPECT_EQ(format(nan, {}), "nan");
    }
}

TEST(FormatIntegerTest, ExtremesAndSign) {
    EXPECT_EQ(text::FormatInteger(-32768), "-32768");
    EXPECT_EQ(text::FormatInteger(std::numeric_limits<long long>::min()), "-9223372036854775808");
}

}  // namespace

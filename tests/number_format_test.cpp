#include "core/number_format.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

using core::FormatGeneral;
using core::FormatScientific;
using core::FormatSigned2;
using core::FormatStandard;

struct Case {
    double value;
    const char* expected;
};

const core::NumberSeparators kGerman{",", "."};

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
    const core::NumberSeparators narrow{",", "\u202F"};
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
    EXPECT_EQ(core::FormatInteger(-32768), "-32768");
    EXPECT_EQ(core::FormatInteger(std::numeric_limits<long long>::min()), "-9223372036854775808");
}

}  // namespace

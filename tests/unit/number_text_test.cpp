#include "text/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>

namespace {

using text::NumberTextError;

TEST(ParseNumberTest, AcceptedForms) {
    const struct {
        std::string_view text;
        double expected;
    } cases[] = {
        {".5", 0.5},
        {"5.", 5.0},
        {"-3", -3.0},
        {"+2", 2.0},
        {"1e-3", 0.001},
        {"2.50E+02", 250.0},
        {" \t7\t ", 7.0},
        {"0.1", 0.1},
        {"1E5", 1e5},
        {"-.25e1", -2.5},
        {"007", 7.0},
        {"1e-320", 1e-320},
        {"1e0000000000000000000003", 1000.0},
        {"0e999999999999999999", 0.0},
    };
    for (const auto& c : cases) {
        const text::ParsedNumber parsed = text::ParseNumber(c.text);
        EXPECT_EQ(parsed.error, NumberTextError::None) << c.text;
        EXPECT_EQ(parsed.value, c.expected) << c.text;
    }
}

TEST(ParseNumberTest, RejectedForms) {
    const struct {
        std::string_view text;
        NumberTextError expected;
    } cases[] = {
        {"", NumberTextError::Empty},
        {" \t ", NumberTextError::Empty},
        {"abc", NumberTextError::NotANumber},
        {"1.2.3", NumberTextError::NotANumber},
        {"1,000", NumberTextError::NotANumber},
        {"inf", NumberTextError::NotANumber},
        {"nan", NumberTextError::NotANumber},
        {"0x10", NumberTextError::NotANumber},
        {"1e", NumberTextError::NotANumber},
        {"1e+", NumberTextError::NotANumber},
        {"--1", NumberTextError::NotANumber},
        {"1 2", NumberTextError::NotANumber},
        {".", NumberTextError::NotANumber},
        {"-", NumberTextError::NotANumber},
        {"e5", NumberTextError::NotANumber},
        {"1e5.0", NumberTextError::NotANumber},
        {"1e400", NumberTextError::OutOfRange},
        {"-1.8e308", NumberTextError::OutOfRange},
        {"0.0001e99999999999999999999", NumberTextError::OutOfRange},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text::ParseNumber(c.text).error, c.expected) << '"' << c.text << '"';
    }
}

TEST(ParseNumberTest, UnderflowGivesSignedZero) {
    const text::ParsedNumber positive = text::ParseNumber("1e-400");
    EXPECT_EQ(positive.error, NumberTextError::None);
    EXPECT_EQ(positive.value, 0.0);
    EXPECT_FALSE(std::signbit(positive.value));

    const text::ParsedNumber negative = text::ParseNumber("-1000e-403");
    EXPECT_EQ(negative.error, NumberTextError::None);
    EXPECT_TRUE(std::signbit(negative.value));
}

TEST(ParseNumberTest, LocaleSeparatorAndDotBothAccepted) {
    const text::NumberSeparators german{",", "."};
    EXPECT_EQ(text::ParseNumber("0,5", german).value, 0.5);
    EXPECT_EQ(text::ParseNumber("0.5", german).value, 0.5);
    EXPECT_EQ(text::ParseNumber("1,2,3", german).error, NumberTextError::NotANumber);
    EXPECT_EQ(text::ParseNumber("1.000,5", german).error, NumberTextError::NotANumber);

    const text::NumberSeparators multiByte{"\u066B", "\u066C"};  // Arabic decimal separator
    EXPECT_EQ(text::ParseNumber("2\u066B5", multiByte).value, 2.5);
    EXPECT_EQ(text::ParseNumber("2\u066C5", multiByte).error, NumberTextError::NotANumber);
}

TEST(ToInt16Test, TiesToEvenAndRange) {
    const struct {
        std::string_view text;
        NumberTextError error;
        std::int16_t value;
    } cases[] = {
        {"2.5", NumberTextError::None, 2},
        {"3.5", NumberTextError::None, 4},
        {"-0.5", NumberTextError::None, 0},
        {"-2.5", NumberTextError::None, -2},
        {"2.5000001", NumberTextError::None, 3},
        {"32767.4", NumberTextError::None, 32767},
        {"32767.5", NumberTextError::OutOfRange, 0},
        {"-32768.5", NumberTextError::None, -32768},
        {"-32768.6", NumberTextError::OutOfRange, 0},
        {"50000", NumberTextError::OutOfRange, 0},
        {"1e400", NumberTextError::OutOfRange, 0},
        {"x", NumberTextError::NotANumber, 0},
    };
    for (const auto& c : cases) {
        const text::ParsedInt16 parsed = text::ParseInt16(c.text);
        EXPECT_EQ(parsed.error, c.error) << c.text;
        EXPECT_EQ(parsed.value, c.value) << c.text;
    }
    EXPECT_EQ(text::ToInt16(std::numeric_limits<double>::quiet_NaN()).error,
              NumberTextError::OutOfRange);
    EXPECT_EQ(text::ToInt16(-std::numeric_limits<double>::infinity()).error,
              NumberTextError::OutOfRange);
}

}  // namespace

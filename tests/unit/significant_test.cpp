#include "text/significant.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(FormatSignificant, ShorterNotationAndWordsForWhatIsNoNumber) {
    EXPECT_EQ(text::FormatSignificant(0.00130004, 4), "0.0013");
    EXPECT_EQ(text::FormatSignificant(1.5e-8, 2), "1.5e-08");
    EXPECT_EQ(text::FormatSignificant(-0.0, 3), "0");
    EXPECT_EQ(text::FormatSignificant(std::numeric_limits<double>::quiet_NaN(), 3), "not known");
    EXPECT_EQ(text::FormatSignificant(-std::numeric_limits<double>::infinity(), 3),
              "below -1.8e308");
}

// A limit shown rounded the other way would claim rates that do not hold.
TEST(FormatSignificant, LimitsRoundTowardsTheSideThatStaysTrue) {
    EXPECT_EQ(text::FormatSignificantDown(2.0 / 1.58, 4), "1.265");
    EXPECT_EQ(text::FormatSignificantDown(0.6, 3), "0.6");
    EXPECT_EQ(text::FormatSignificantDown(1.0 - 1e-12, 3), "0.999");
    EXPECT_EQ(text::FormatSignificantUp(2.0 / 1.58, 4), "1.266");
    EXPECT_EQ(text::FormatSignificantUp(0.6, 3), "0.6");
    EXPECT_EQ(text::FormatSignificantUp(0.999 + 1e-12, 3), "1");
    EXPECT_EQ(text::FormatSignificantUp(-2.0 / 1.58, 4), "-1.265");
}

}  // namespace

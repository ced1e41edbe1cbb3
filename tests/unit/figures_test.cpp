#include "text/figures.h"

#include <gtest/gtest.h>

namespace {

TEST(Figures, SseGrowthAndDecimalsAsSentencesShowThem) {
    EXPECT_EQ(text::SseFigure(7e-32), "0");
    EXPECT_EQ(text::SseFigure(15.1432), "15.143");
    EXPECT_EQ(text::SseFigure(544579.6), "544,580");
    EXPECT_EQ(text::GrowthFigure(1.0001), "about 1.0001");
    EXPECT_EQ(text::GrowthFigure(2e6), "more than a million");
    EXPECT_EQ(text::ApproximateFromLog10(-399.85), "about 1.4e-400");
    EXPECT_EQ(text::FormatFixed(2.675, 2, ","), "2,67");
    EXPECT_EQ(text::FormatFixed(1e300, 1).size(), 303U);  // every whole digit, then ".0"
}

}  // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "views/sse_chart_rows.h"

namespace {

int exponentOf(double power) {
    return static_cast<int>(std::lround(std::log10(power)));
}

// From 1 to 40 decades between the least and the largest SSE: every value lies within the
// axis, both ends are labelled powers of ten, at most eight labels, and one decade a label
// wherever that gives eight or fewer.
TEST(LogAxis, AtMostEightLabelsOverAnySpan) {
    for (int decades = 1; decades <= 40; ++decades) {
        for (const int least : {-23, -1, 0, 5}) {
            SCOPED_TRACE(testing::Message() << decades << " decades from 1e" << least);
            const std::vector<double> values{8.0 * std::pow(10.0, least + decades - 1), 0.0,
                                             2.0 * std::pow(10.0, least)};
            const views::LogAxis axis = views::LogAxisOver(values);
            const int first = exponentOf(axis.floor);
            const int last = exponentOf(axis.ceiling);
            EXPECT_LE(axis.floor, views::LogAxisFloor(values));  // zeros sit on the axis
            EXPECT_GE(axis.ceiling, values[0]);
            EXPECT_EQ(first % axis.step, 0);
            EXPECT_EQ(last % axis.step, 0);
            const int labels = (last - first) / axis.step + 1;
            EXPECT_GE(labels, 2);
            EXPECT_LE(labels, 8);
            // The span the labels cover: the floor a decade below the least, up to the top.
            if (decades + 1 <= 7) {
                EXPECT_EQ(axis.step, 1);
            }
        }
    }
}

TEST(LogAxis, TheOrdinaryDeltaRunIsLabelledEveryFewDecades) {
    // 8 down to 2e-23: the floor 1e-24, the top 1e1; 25 decades, a label every 5.
    const views::LogAxis axis = views::LogAxisOver({8.0, 0.5, 2e-23});
    EXPECT_EQ(axis.step, 5);
    EXPECT_EQ(exponentOf(axis.floor), -25);
    EXPECT_EQ(exponentOf(axis.ceiling), 5);
}

}  // namespace

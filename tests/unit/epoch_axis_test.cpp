#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "views/epoch_axis.h"

namespace {

using Labels = std::vector<std::pair<double, double>>;

// Bars every 10 epochs, every 10 and then every 7 after a stop, one bar.
TEST(EpochAxis, EveryEpochStandsOnTheBarsScale) {
    const std::vector<double> even{0, 10, 20};
    EXPECT_EQ(views::BarX(even, 15), 1.5);
    EXPECT_EQ(views::BarX(even, 300), 30.0);

    const std::vector<double> uneven{0, 10, 20, 27, 34};
    EXPECT_EQ(views::BarX(uneven, 23.5), 2.5);
    EXPECT_EQ(views::BarX(uneven, 34), 4.0);
    EXPECT_EQ(views::BarX(uneven, 48), 6.0);

    EXPECT_EQ(views::BarX({0}, 300), 300.0);
}

// 100 epochs of bars every 10 under an earlier run of 300 epochs.
TEST(EpochAxis, SpansTheLongestRunWithAsManyLabelsAsFit) {
    std::vector<double> bars;
    for (int e = 0; e <= 100; e += 10) {
        bars.push_back(e);
    }
    const views::EpochAxis wide = views::EpochAxisOver(bars, 300, 16);
    EXPECT_EQ(wide.low, -0.5);
    EXPECT_EQ(wide.high, 30.5);
    EXPECT_EQ(wide.step, 20.0);
    ASSERT_EQ(wide.labels.size(), 16u);
    EXPECT_EQ(wide.labels[5], std::make_pair(10.0, 100.0));
    EXPECT_EQ(wide.labels.back(), std::make_pair(30.0, 300.0));

    EXPECT_EQ(views::EpochAxisOver(bars, 300, 8).step, 50.0);
    EXPECT_EQ(views::EpochAxisOver(bars, 300, 1).labels, (Labels{{0.0, 0.0}}));

    // Runs no longer than the bars: the bars' own span and a label under every bar.
    const views::EpochAxis own = views::EpochAxisOver(bars, 40, 11);
    EXPECT_EQ(own.high, 10.5);
    EXPECT_EQ(own.labels.size(), 11u);
}

}  // namespace

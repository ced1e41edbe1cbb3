#include <gtest/gtest.h>

#include "core/network_state.h"
#include "views/weight_map.h"

namespace {

TEST(WeightMap, ColoursAreSymmetricAroundWhiteZero) {
    EXPECT_EQ(views::WeightColour(2.0, 2.0), (views::Rgb{255, 0, 0}));
    EXPECT_EQ(views::WeightColour(-2.0, 2.0), (views::Rgb{0, 0, 255}));
    EXPECT_EQ(views::WeightColour(1.0, 2.0), (views::Rgb{255, 128, 128}));  // 127.5 rounds up
    EXPECT_EQ(views::WeightColour(-0.5, 2.0), (views::Rgb{191, 191, 255}));
    EXPECT_EQ(views::WeightColour(0.0, 2.0), (views::Rgb{255, 255, 255}));
    // Every weight zero: nothing to scale by, all white.
    EXPECT_EQ(views::WeightColour(0.0, 0.0), (views::Rgb{255, 255, 255}));
}

// 1100 x 1000 connections on 7 x 9 cells: rows start at outputs 1, 158, 315, ...; columns
// at inputs 1, 112, 223, ... Row 1 begins inside a block of eight outputs, and the matrix
// is large enough to be shared among threads.
TEST(WeightMap, EachCellShowsItsLargestMagnitude) {
    core::ConnectionMatrix m(1100, 1000);
    m.setWeight(157, 1, 6.0);     // row 0, column 0
    m.setWeight(156, 2, -5.0);    // the same cell, smaller
    m.setWeight(158, 1, -7.0);    // row 1, column 0
    m.setWeight(160, 112, 3.0);   // row 1, column 1
    m.setWeight(161, 113, -3.0);  // the same cell, equal magnitude: the positive one shows
    m.setWeight(1100, 1000, 2.5);
    for (const int threads : {1, 4}) {
        const views::WeightGrid grid = views::ReduceWeights(m, 7, 9, threads);
        ASSERT_EQ(grid.rows(), 7);
        ASSERT_EQ(grid.columns(), 9);
        EXPECT_EQ(grid.value(0, 0), 6.0);
        EXPECT_EQ(grid.value(1, 0), -7.0);
        EXPECT_EQ(grid.value(1, 1), 3.0);
        EXPECT_EQ(grid.value(6, 8), 2.5);
        EXPECT_EQ(grid.value(3, 4), 0.0);
        EXPECT_EQ(grid.largestMagnitude(), 7.0);
    }
    const views::WeightGrid grid = views::ReduceWeights(m, 7, 9);
    const views::ShownConnection shown = views::ShownInCell(m, grid.span(1, 1));
    EXPECT_EQ(shown.output, 160);
    EXPECT_EQ(shown.input, 112);
    EXPECT_EQ(shown.weight, 3.0);
    EXPECT_EQ(grid.rowOf(157), 0);
    EXPECT_EQ(grid.rowOf(158), 1);
    EXPECT_EQ(grid.columnOf(112), 1);
    EXPECT_TRUE(views::ReduceWeights(core::ConnectionMatrix(), 10, 10).empty());
}

TEST(WeightMap, ConnectionTextHasFullPrecision) {
    EXPECT_EQ(views::ConnectionText(3, 12, 0.1), "Output 3, Input 12: 0.1");
    EXPECT_EQ(views::ConnectionText(1, 1, 1.0 / 3.0), "Output 1, Input 1: 0.3333333333333333");
    EXPECT_EQ(views::ConnectionText(2, 7, -2.5e-7), "Output 2, Input 7: -2.5e-07");
    EXPECT_EQ(views::ScaleNumber(1.0 / 3.0), "0.3333");
    // All-zero weights put -0 at the scale's bottom; a zero never shows a sign.
    EXPECT_EQ(views::ScaleNumber(-0.0), "0");
    EXPECT_EQ(views::ConnectionText(1, 2, -0.0), "Output 1, Input 2: 0");
}

}  // namespace

// The labels along a side never overlap, whatever the count and cell size: 50 outputs in a
// map a little over four labels high per five units once put "1" on top of "2" or "5".
TEST(WeightMap, UnitLabelsNeverCrowdEachOther) {
    EXPECT_EQ(views::LabelledUnits(50, 3.0, 13.0),
              (std::vector<int>{1, 10, 15, 20, 25, 30, 35, 40, 45, 50}));
    EXPECT_EQ(views::LabelledUnits(4, 20.0, 13.0), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(views::LabelledUnits(1, 0.5, 13.0), (std::vector<int>{1}));
    for (const int units : {1, 2, 7, 50, 99, 1000, 32767}) {
        for (const double pixels : {0.01, 0.3, 2.9, 3.0, 6.4, 7.0, 13.0, 40.0}) {
            const std::vector<int> labels = views::LabelledUnits(units, pixels, 13.0);
            ASSERT_FALSE(labels.empty());
            EXPECT_EQ(labels.front(), 1);
            for (std::size_t k = 1; k < labels.size(); ++k) {
                EXPECT_LE(labels[k], units);
                EXPECT_GE((labels[k] - labels[k - 1]) * pixels, 13.0)
                    << units << " units, " << pixels << " px: " << labels[k - 1] << ", "
                    << labels[k];
            }
        }
    }
}

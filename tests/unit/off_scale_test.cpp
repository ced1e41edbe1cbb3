#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "views/off_scale.h"

namespace {

TEST(OffScale, RunsAboveTheAxisAreNamedWithTheLargestTotal) {
    const std::vector<views::RunPeak> runs{{1, 2.0}, {2, 2.5}, {3, 365014.3}, {5, 4.0}};
    EXPECT_EQ(views::OffScaleText(views::OffScaleRuns(runs, 5.0)),
              "Run 3 goes off the scale (up to 365,014); tick Logarithmic Scale to see all of it.");
    EXPECT_EQ(views::OffScaleText(views::OffScaleRuns(runs, 2.0)),
              "Runs 2, 3 and 5 go off the scale (up to 365,014); tick Logarithmic Scale to see "
              "all of them.");
    // At the axis's top is on the scale.
    EXPECT_EQ(views::OffScaleText(views::OffScaleRuns(runs, 365014.3)), "");

    const auto upTo = [](double peak, const text::NumberSeparators& seps = {}) {
        const std::string line = views::OffScaleText({{1, peak}}, seps);
        return line.substr(line.find("to ") + 3, line.find(')') - line.find("to ") - 3);
    };
    EXPECT_EQ(upTo(441.7), "442");
    EXPECT_EQ(upTo(20.43), "20.4");
    EXPECT_EQ(upTo(3.65e20), "3.65E+20");
    EXPECT_EQ(upTo(365014.3, {",", "."}), "365.014");
}

TEST(OffScale, MarksStandWhereTheLineRisesThroughTheTop) {
    // Rises through 2 between x 1 and 2 and between 4 and 5; at 2 exactly is not above.
    const std::vector<std::pair<double, double>> line{{0, 2}, {1, 1}, {2, 3},
                                                      {3, 5}, {4, 1}, {5, 4}};
    EXPECT_EQ(views::ScaleExits(line, 2.0), (std::vector<double>{1.5, 4.0 + 1.0 / 3.0}));
    EXPECT_EQ(views::ScaleExits({{0, 5}, {1, 1}}, 2.0), (std::vector<double>{0.0}));
    EXPECT_TRUE(views::ScaleExits(line, 5.0).empty());
}

}  // namespace

#pragma once

// The SSE chart's horizontal axis in epochs, for when earlier runs are drawn over the bars.
// The bars stand one apart, bar k at x = k, each for the epoch of its history row; every
// epoch has its place on the same scale, so that a run longer than the bars' reaches past
// the last bar and the axis still spans it.

#include <utility>
#include <vector>

namespace views {

// Where `epoch` stands: at the bar of that epoch, between two bars in proportion to the
// epochs between them, before the first or after the last bar at the spacing of the two
// nearest. One bar: one epoch a bar. No bars: x is the epoch itself.
double BarX(const std::vector<double>& barEpochs, double epoch);

// An axis over bars at `barEpochs` (increasing) and runs that end at `lastEpoch`: from half
// a bar before the first bar to half a bar after the later of the last bar and `lastEpoch`,
// labelled at the multiples of `step` epochs (1, 2, 5, 10, 20, ...: the least that gives at
// most `mostLabels` labels) from the first bar's epoch to that end.
struct EpochAxis {
    double low = -0.5;
    double high = 0.5;
    double step = 1.0;
    std::vector<std::pair<double, double>> labels;  // x, epoch
};
EpochAxis EpochAxisOver(const std::vector<double>& barEpochs, double lastEpoch, int mostLabels);

}  // namespace views

#include "views/epoch_axis.h"

#include <algorithm>
#include <cmath>

#include "views/round_step.h"

namespace views {

namespace {

// Epochs from bar k to bar k + 1; one where they do not increase.
double Spacing(const std::vector<double>& barEpochs, std::size_t k) {
    const double epochs = barEpochs[k + 1] - barEpochs[k];
    return epochs > 0.0 ? epochs : 1.0;
}

}  // namespace

double BarX(const std::vector<double>& barEpochs, double epoch) {
    const std::size_t bars = barEpochs.size();
    if (bars == 0) {
        return epoch;
    }
    if (bars == 1) {
        return epoch - barEpochs[0];
    }
    if (epoch <= barEpochs[0]) {
        return (epoch - barEpochs[0]) / Spacing(barEpochs, 0);
    }
    // The first bar at or after the epoch, and the one before it.
    const auto after = std::lower_bound(barEpochs.cbegin(), barEpochs.cend(), epoch);
    const std::size_t k = after == barEpochs.cend()
                              ? bars - 2
                              : static_cast<std::size_t>(after - barEpochs.cbegin()) - 1;
    return static_cast<double>(k) + (epoch - barEpochs[k]) / Spacing(barEpochs, k);
}

EpochAxis EpochAxisOver(const std::vector<double>& barEpochs, double lastEpoch, int mostLabels) {
    EpochAxis axis;
    const double first = barEpochs.empty() ? 0.0 : barEpochs.front();
    const double last = std::max(barEpochs.empty() ? first : barEpochs.back(), lastEpoch);
    axis.low = BarX(barEpochs, first) - 0.5;
    axis.high = BarX(barEpochs, last) + 0.5;
    // Labels at the multiples of `step` in [first, last].
    const auto count = [first, last](double step) {
        return std::floor(last / step) - std::ceil(first / step) + 1.0;
    };
    const double most = std::max(1, mostLabels);
    // A step wider than the span leaves one label at most, so the search ends before this.
    constexpr double kNoStep = 1e300;
    axis.step =
        LeastRoundStep([&count, most](double step) { return count(step) <= most; }, kNoStep);
    for (double k = std::ceil(first / axis.step); k * axis.step <= last; ++k) {
        axis.labels.emplace_back(BarX(barEpochs, k * axis.step), k * axis.step);
    }
    return axis;
}

}  // namespace views

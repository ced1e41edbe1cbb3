#include "views/sse_chart_rows.h"

#include <algorithm>
#include <cmath>

#include "text/number_format.h"

namespace views {

std::vector<SSEChartRow> SSEChartRows(const core::PublicStuff& net) {
    const int count = std::clamp<int>(net.SSEHistoryCount, 0, core::SSEHistoryRows);
    std::vector<SSEChartRow> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int i = 1; i <= count; ++i) {
        const auto& entry = net.SSEHistory[static_cast<std::size_t>(i)];
        // Sweep numbers are whole, so the general format writes them without a separator.
        rows.push_back(
            {text::FormatGeneral(entry[1]), entry[1], text::RoundToSignificant(entry[2], 15)});
    }
    return rows;
}

std::vector<std::pair<double, double>> RunLinePoints(
    const std::vector<std::array<double, 2>>& history) {
    std::vector<std::pair<double, double>> points;
    points.reserve(history.size());
    for (const auto& [epoch, sse] : history) {
        points.emplace_back(epoch, text::RoundToSignificant(sse, 15));
    }
    return points;
}

double LogAxisFloor(const std::vector<double>& values) {
    double smallest = 0.0;
    for (const double v : values) {
        if (v > 0.0 && (smallest == 0.0 || v < smallest)) {
            smallest = v;
        }
    }
    return smallest > 0.0 ? std::pow(10.0, std::floor(std::log10(smallest)) - 1.0) : 0.1;
}

LogAxis LogAxisOver(const std::vector<double>& values) {
    constexpr int kMostLabels = 8;
    // Powers of ten a double holds, subnormal ones included at the bottom.
    constexpr int kLowest = -320;
    constexpr int kHighest = 308;
    double top = 0.0;
    for (const double v : values) {
        top = std::max(top, v);
    }
    const int low =
        std::max(kLowest, static_cast<int>(std::lround(std::log10(LogAxisFloor(values)))));
    const int high =
        top > 0.0 ? std::min(kHighest, static_cast<int>(std::ceil(std::log10(top)))) : low + 1;
    const int decades = std::max(1, high - low);
    // Labels at multiples of `step` from below `low` to above `high`: at most decades / step
    // + 2 of them before the ends are aligned, so a step of decades / 6 leaves eight.
    LogAxis axis;
    axis.step = decades <= kMostLabels - 1 ? 1 : (decades + kMostLabels - 3) / (kMostLabels - 2);
    const auto alignDown = [&axis](int e) {
        return e >= 0 ? e / axis.step * axis.step : -((-e + axis.step - 1) / axis.step * axis.step);
    };
    const auto alignUp = [&axis, &alignDown](int e) {
        const int down = alignDown(e);
        return down == e ? e : down + axis.step;
    };
    const int first = std::max(kLowest, alignDown(low));
    const int last = std::min(kHighest, std::max(alignUp(high), first + axis.step));
    axis.floor = std::pow(10.0, first);
    axis.ceiling = std::pow(10.0, last);
    return axis;
}

}  // namespace views

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
        rows.push_back({text::FormatGeneral(entry[1]), text::RoundToSignificant(entry[2], 15)});
    }
    return rows;
}

std::vector<std::pair<double, double>> RunLinePoints(
    const core::PublicStuff& net, const std::vector<std::array<double, 2>>& history) {
    const int count = std::clamp<int>(net.SSEHistoryCount, 0, core::SSEHistoryRows);
    std::vector<std::pair<double, double>> points;
    if (count < 1) {
        return points;
    }
    const double first = net.SSEHistory[1][1];
    const double last = net.SSEHistory[static_cast<std::size_t>(count)][1];
    const double step = count > 1 && last > first ? (last - first) / (count - 1) : 1.0;
    points.reserve(history.size());
    for (const auto& [epoch, sse] : history) {
        points.emplace_back((epoch - first) / step, text::RoundToSignificant(sse, 15));
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

}  // namespace views

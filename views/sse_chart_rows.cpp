#include "views/sse_chart_rows.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

#include "text/number_format.h"

namespace views {

double RoundTo15Digits(double v) {
    if (!std::isfinite(v)) {
        return v;
    }
    std::array<char, 32> text{};
    const auto written =
        std::to_chars(text.data(), text.data() + text.size(), v, std::chars_format::general, 15);
    double back = 0.0;
    const auto read = std::from_chars(text.data(), written.ptr, back);
    return read.ec == std::errc() ? back : v;
}

std::vector<SSEChartRow> SSEChartRows(const core::PublicStuff& net) {
    const int count = std::clamp<int>(net.SSEHistoryCount, 0, core::SSEHistoryRows);
    std::vector<SSEChartRow> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int i = 1; i <= count; ++i) {
        const auto& entry = net.SSEHistory[static_cast<std::size_t>(i)];
        // Sweep numbers are whole, so the general format writes them without a separator.
        rows.push_back({text::FormatGeneral(entry[1]), RoundTo15Digits(entry[2])});
    }
    return rows;
}

}  // namespace views

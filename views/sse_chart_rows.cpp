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

}  // namespace views

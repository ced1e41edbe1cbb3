#pragma once

// The SSE history as the rows of a bar chart: a label and a bar height per recorded entry.

#include <string>
#include <vector>

#include "core/network_state.h"

namespace views {

struct SSEChartRow {
    std::string label;   // the sweep number as a whole number: "0", "10", "250"
    double value = 0.0;  // the total SSE, rounded to 15 significant digits
};

// Rows 1..SSEHistoryCount of the history, in order; empty when nothing is recorded. A count
// beyond the table's 2000 rows is read as 2000.
std::vector<SSEChartRow> SSEChartRows(const core::PublicStuff& net);

}  // namespace views

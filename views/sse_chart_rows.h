#pragma once

// The SSE history as the rows of a bar chart: a label and a bar height per recorded entry.

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "core/network_state.h"

namespace views {

struct SSEChartRow {
    std::string label;   // the sweep number as a whole number: "0", "10", "250"
    double sweep = 0.0;  // that number
    double value = 0.0;  // the total SSE, rounded to 15 significant digits
};

// Rows 1..SSEHistoryCount of the history, in order; empty when nothing is recorded. A count
// beyond the table's 2000 rows is read as 2000.
std::vector<SSEChartRow> SSEChartRows(const core::PublicStuff& net);

// An earlier run's history (epoch, total SSE) as the points of its line: the epoch, the
// total rounded to 15 significant digits as the bars' are.
std::vector<std::pair<double, double>> RunLinePoints(
    const std::vector<std::array<double, 2>>& history);

// The floor of a logarithmic SSE axis over these values: the power of ten at or below the
// smallest positive one, a tenth of it so that it shows as a short bar; 0.1 when none is
// positive. Values of zero are drawn at the floor.
double LogAxisFloor(const std::vector<double>& values);

// A logarithmic SSE axis over these values that a class can read at any span: labels at
// every `step`-th power of ten (step 1 up to 7 decades, more above), at most eight, both
// ends on a label. `floor` is LogAxisFloor moved down to a labelled power, so that zeros
// still sit on the axis; `ceiling` the labelled power at or above the largest value.
struct LogAxis {
    double floor = 0.1;
    double ceiling = 1.0;
    int step = 1;  // decades from one label to the next
};
LogAxis LogAxisOver(const std::vector<double>& values);

}  // namespace views

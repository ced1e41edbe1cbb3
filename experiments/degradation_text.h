#pragma once

// The curves of how recall degrades as the batch trainer prints them: a table, or one JSON
// object. Numbers are written with "." whatever the locale.

#include <string>

#include "experiments/degradation.h"

namespace experiments {

// A heading line, a line of column names and one line per percentage.
std::string DegradationTable(const DegradationCurves& curves);

// {"seed": S, "trials": T, "noise": [{"percent": 0, "mean_sse": ..., "recalled_percent": ...},
// ...], "lost_connections": [...]} and a line end.
std::string DegradationJson(const DegradationCurves& curves);

}  // namespace experiments

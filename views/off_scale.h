#pragma once

// Earlier runs that rise above the linear SSE axis. On the linear scale the axis keeps the
// range of the run the bars show, so that one run that diverged does not flatten every other
// curve to zero; a run that rises above it is drawn up to the edge, marked where it leaves,
// and named in one line under the chart.

#include <string>
#include <utility>
#include <vector>

#include "text/number_format.h"

namespace views {

struct RunPeak {
    int number = 0;        // the run's number, as the legend names it
    double highest = 0.0;  // its largest total SSE
};

// The runs whose largest total lies above `top`, the linear axis's top, in the order given.
std::vector<RunPeak> OffScaleRuns(const std::vector<RunPeak>& runs, double top);

// "Run 3 goes off the scale (up to 365,014); tick Logarithmic Scale to see all of it." or, for
// several, "Runs 1 and 3 go off the scale (up to 365,014); tick Logarithmic Scale to see all
// of them.", with the largest of their totals; empty for none.
std::string OffScaleText(const std::vector<RunPeak>& offScale,
                         const text::NumberSeparators& seps = {});

// Where a line through `points` (x increasing) leaves the axis upwards at `top`: the x of
// each rise through it, and of the first point when the line starts above it.
std::vector<double> ScaleExits(const std::vector<std::pair<double, double>>& points, double top);

}  // namespace views

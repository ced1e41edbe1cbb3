#include "views/off_scale.h"

#include <algorithm>
#include <cmath>

namespace views {

namespace {

// A total as the line under the chart names it: a whole number, grouped, from 1,000 up to
// where the general format turns to an exponent; three significant digits otherwise.
std::string Peak(double v, const text::NumberSeparators& seps) {
    if (v >= 1000.0 && v < 1e15) {
        const std::string standard = text::FormatStandard(std::round(v), seps);
        return standard.substr(0, standard.size() - seps.decimal.size() - 2);  // no ".00"
    }
    return text::FormatGeneral(text::RoundToSignificant(v, 3), seps);
}

}  // namespace

std::vector<RunPeak> OffScaleRuns(const std::vector<RunPeak>& runs, double top) {
    std::vector<RunPeak> off;
    std::copy_if(runs.cbegin(), runs.cend(), std::back_inserter(off),
                 [top](const RunPeak& run) { return run.highest > top; });
    return off;
}

std::string OffScaleText(const std::vector<RunPeak>& offScale, const text::NumberSeparators& seps) {
    if (offScale.empty()) {
        return {};
    }
    std::string numbers;
    double highest = 0.0;
    for (std::size_t k = 0; k < offScale.size(); ++k) {
        if (k > 0) {
            numbers += k + 1 == offScale.size() ? " and " : ", ";
        }
        numbers += std::to_string(offScale[k].number);
        highest = std::max(highest, offScale[k].highest);
    }
    const bool one = offScale.size() == 1;
    return (one ? "Run " : "Runs ") + numbers + (one ? " goes" : " go") + " off the scale (up to " +
           Peak(highest, seps) + "); tick Logarithmic Scale to see all of " +
           (one ? "it." : "them.");
}

std::vector<double> ScaleExits(const std::vector<std::pair<double, double>>& points, double top) {
    std::vector<double> exits;
    for (std::size_t k = 0; k < points.size(); ++k) {
        const auto [x, y] = points[k];
        if (y <= top) {
            continue;
        }
        if (k == 0) {
            exits.push_back(x);
        } else if (const auto [x0, y0] = points[k - 1]; y0 <= top) {
            exits.push_back(x0 + (x - x0) * (top - y0) / (y - y0));
        }
    }
    return exits;
}

}  // namespace views

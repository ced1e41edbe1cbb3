// The determinant of one epoch's map, which needs no eigenvalues.
//
// A run of factors I - r c_p c_p' equals I - C T C' with T^-1 = I / r + U, U the strict
// upper triangle of the Gram matrix C'C. So det M = det(I - T C'C) = r^P det(T^-1 - C'C),
// and T^-1 - C'C = I / r - (the lower triangle of C'C) has determinant prod (1/r - |c_p|^2):
// det M = prod (1 - r |c_p|^2), whatever the rank. The radius is at least |det M|^(1/R),
// so a rate at which that product exceeds 1 surely grows.

#include <cmath>
#include <limits>

#include "analysis/span.h"

namespace analysis {

namespace {

constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
// Rates tried between the bounds before closing in on the first that grows.
constexpr int kGrid = 1024;
constexpr int kHalvings = 60;

}  // namespace

bool DeterminantGrows(const EpochMap& map, double rate) {
    // Each |c_p|^2 is good to a few rank's worth of rounding; log |1 - r s| then to that
    // times r s / |1 - r s|.
    const double lengthError = 16.0 * (map.rank() + 1.0) * kEpsilon;
    double logSum = 0.0;
    double error = 0.0;
    for (const double s : map.squared) {
        const double factor = std::abs(1.0 - rate * s);
        if (!(factor > 0.0)) {
            return false;
        }
        logSum += std::log(factor);
        error += lengthError * rate * s / factor + 2.0 * kEpsilon;
    }
    return std::isfinite(logSum) && logSum > error;
}

double FirstDeterminantGrowth(const EpochMap& map) {
    const double low = map.surelyStable;
    const double high = map.surelyGrows;
    if (!(high > low)) {
        return high;
    }
    double settled = low;
    double grown = high;
    for (int k = 1; k <= kGrid; ++k) {
        const double rate = low + (high - low) * k / kGrid;
        if (DeterminantGrows(map, rate)) {
            grown = rate;
            break;
        }
        settled = rate;
    }
    // Any rate that grows will do as an upper end; halving only moves it down.
    for (int k = 0; k < kHalvings && grown - settled > kEpsilon * grown; ++k) {
        const double middle = 0.5 * (settled + grown);
        (DeterminantGrows(map, middle) ? grown : settled) = middle;
    }
    return grown;
}

}  // namespace analysis

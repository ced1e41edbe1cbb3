// The first rate at which the Delta rule stops settling.
//
// Every rate below 2 / max |c_p|^2 settles (each factor of M is then a contraction) and no
// rate above 2 / min |c_p|^2 does (|det M| = prod |1 - r |c_p|^2| exceeds 1), so the first
// crossing lies between the two. The rates that settle need not form one interval: a
// narrow band that grows can lie below a band that settles. So the search walks up from
// the lower bound in steps that shrink as any eigenvalue heads for modulus 1, then closes
// in on the first rate where the radius reaches 1. The walk ends where the map's
// determinant already proves growth (determinant.cpp), often well below 2 / min |c_p|^2.

#include <algorithm>
#include <cmath>

#include "analysis/span.h"

namespace analysis {

namespace {

using Complex = std::complex<double>;

// Steps between the bounds: at most this share of the gap, and at most this many stations.
constexpr double kLargestStep = 1.0 / 16.0;
constexpr int kStations = 4000;
// The bracket is closed to this share of the rate: well inside 0.1 %.
constexpr double kBracket = 2e-4;
// Share of the distance to the nearest crossing, extrapolated from the last step, that the
// next step may cover.
constexpr double kApproach = 0.5;

bool surelySettles(const Eigenvalues& s) {
    return s.radius + s.error < 1.0;
}

// How far an eigenvalue is from modulus 1 in the measure the steps use: Re 1/(1 - lambda)
// - 1/2, positive exactly inside the unit circle (the Cayley map sends the circle to the
// line Re = 1/2). On patterns of nearly equal lengths dozens of eigenvalues close to 1
// creep to within 1e-5 of the circle in modulus long before the crossing; in this measure
// they stay far from it and no longer hold the steps down.
double cayleyGap(Complex value, double error) {
    const double modulus = std::abs(value) + error;
    const double distance = std::norm(1.0 - value);
    return distance > 0.0 ? (1.0 - modulus * modulus) / (2.0 * distance) : INFINITY;
}

// How far the rate may grow before some eigenvalue can reach modulus 1, judged from how
// fast each one's gap moved since the last station.
double safeStep(const Eigenvalues& before, const Eigenvalues& now, double step, double largest) {
    double safe = largest;
    for (const Complex value : now.leading) {
        Complex previous = value;
        double nearest = INFINITY;
        for (const Complex old : before.leading) {
            if (std::abs(old - value) < nearest) {
                nearest = std::abs(old - value);
                previous = old;
            }
        }
        const double gap = cayleyGap(value, now.error);
        const double rise = (cayleyGap(previous, before.error) - gap) / step;
        if (rise > 0.0 && gap > 0.0 && std::isfinite(gap)) {
            safe = std::min(safe, kApproach * gap / rise);
        }
    }
    return safe;
}

}  // namespace

Crossing firstCrossing(const EpochMap& map) {
    Crossing out;
    const double low = map.surelyStable;
    const double high = std::min(map.surelyGrows, map.determinantGrows);
    if (map.rank() == 0 || !(low > 0.0)) {
        return out;
    }
    if (!(map.surelyGrows > low * (1.0 + 1e-12))) {  // all equally long: exactly 2 / |c|^2
        out = {true, low, low};
        return out;
    }
    auto solve = [&](double rate) {
        ++out.solves;
        return epochEigenvalues(map, rate);
    };
    const double largest = kLargestStep * (high - low);
    // Steps below the bracket's width would resolve what the closing bisection does not.
    const double smallest = 0.5 * kBracket * low;
    double at = low * (1.0 + 1e-6);
    Eigenvalues now = solve(at);
    if (!now.ok) {
        return out;
    }
    if (!surelySettles(now)) {
        out.found = true;
        out.low = low;
        out.high = at;
        return out;
    }
    double previousAt = low;
    Eigenvalues previous = now;
    double step = std::min(largest, 1e-3 * low);
    double settled = at;
    double grown = high;
    bool bracketed = false;
    for (int station = 0; station < kStations; ++station) {
        if (station > 0) {
            // Between the two, but never above `largest`: a range narrower than 16 half
            // brackets gets the finer steps (std::clamp may not be given a lower bound above
            // its upper one).
            step = std::min(std::max(safeStep(previous, now, at - previousAt, largest), smallest),
                            largest);
        }
        const double next = std::min(at + step, high);
        Eigenvalues then = solve(next);
        if (!then.ok) {
            return out;
        }
        if (!surelySettles(then)) {
            settled = at;
            grown = next;
            bracketed = true;
            break;
        }
        previousAt = at;
        previous = std::move(now);
        now = std::move(then);
        at = next;
        if (at >= high) {
            break;
        }
    }
    if (!bracketed) {
        settled = at;
        grown = high;
    }
    // Bisection: the radius near a crossing of complex pairs is not smooth enough for a
    // secant step to be trusted on its own.
    while (grown - settled > kBracket * settled) {
        const double middle = 0.5 * (settled + grown);
        const Eigenvalues s = solve(middle);
        if (!s.ok) {
            return out;
        }
        if (surelySettles(s)) {
            settled = middle;
        } else {
            grown = middle;
        }
    }
    out.found = true;
    out.low = settled;
    out.high = grown;
    return out;
}

}  // namespace analysis

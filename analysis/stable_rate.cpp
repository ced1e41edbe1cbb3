// The first rate at which the Delta rule stops settling.
//
// Every rate below 2 / max |c_p|^2 settles (each factor of M is then a contraction) and no
// rate above 2 / min |c_p|^2 does (|det M| = prod |1 - r |c_p|^2| exceeds 1), so the first
// crossing lies between the two. The rates that settle need not form one interval: a
// narrow band that grows can lie below a band that settles. So the search walks up from
// the lower bound in steps that shrink as any eigenvalue heads for modulus 1, then closes
// in on the first rate where the radius reaches 1, working out two spectra at a time. The
// walk ends where the map's determinant already proves growth (determinant.cpp), often well
// below 2 / min |c_p|^2.

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#include "analysis/span.h"
#include "core/worker_pool.h"

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

// Two spectra at once, one a thread: the QR algorithm runs on one core. The walk and the
// bisection ask for pairs whatever the threads, so that their path, and with it the answer,
// does not depend on how many the system gave.
class PairedSolves {
  public:
    // Counts each spectrum in `solves`.
    PairedSolves(const EpochMap& map, int& solves) : m_map(map), m_solves(solves), m_pool(2) {}

    std::pair<Eigenvalues, Eigenvalues> at(double first, double second) {
        std::pair<Eigenvalues, Eigenvalues> out;
        bool outOfMemory = false;
        m_pool.run([&](int half) {
            for (int k = half; k < 2; k += m_pool.size()) {
                try {
                    (k == 0 ? out.first : out.second) =
                        EpochEigenvalues(m_map, k == 0 ? first : second);
                } catch (const std::bad_alloc&) {
                    outOfMemory = true;  // a task may not throw; rethrown on this thread
                }
            }
        });
        if (outOfMemory) {
            throw std::bad_alloc();
        }
        m_solves += 2;
        return out;
    }

  private:
    const EpochMap& m_map;
    int& m_solves;
    core::WorkerPool m_pool;
};

// The step from `at` the walk may take next, given the spectra at the last two stations.
double nextStep(const Eigenvalues& before, const Eigenvalues& now, double moved, double smallest,
                double largest) {
    // Between the two, but never above `largest`: a range narrower than 16 half brackets
    // gets the finer steps (std::clamp may not be given a lower bound above its upper one).
    return std::min(std::max(safeStep(before, now, moved, largest), smallest), largest);
}

}  // namespace

Crossing FirstCrossing(const EpochMap& map, const core::Progress* stop) {
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
    if (high - low <= kBracket * low) {  // the bounds already bracket it closely enough
        out = {true, low, high};
        return out;
    }
    PairedSolves solve(map, out.solves);
    const double largest = kLargestStep * (high - low);
    // Steps below the bracket's width would resolve what the closing bisection does not.
    const double smallest = 0.5 * kBracket * low;
    // The first two stations: just above the bound, and one small step on.
    double previousAt = low * (1.0 + 1e-6);
    double at = std::min(previousAt + std::min(largest, 1e-3 * low), high);
    auto [previous, now] = solve.at(previousAt, at);
    if (!previous.ok || !now.ok) {
        return out;
    }
    double settled = low;
    double grown = previousAt;
    bool bracketed = !surelySettles(previous);
    if (!bracketed && !surelySettles(now)) {
        settled = previousAt;
        grown = at;
        bracketed = true;
    }
    // Each pair is the next station and a guess at the one after it: a step as long again,
    // or, while the steps shrink, shrunk as much again. The guess counts only when the
    // first's spectrum allows a step that long.
    double shrink = 1.0;
    for (int station = 0; !bracketed && at < high && station < kStations; ++station) {
        if (core::StopRequested(stop)) {
            return out;
        }
        const double step = nextStep(previous, now, at - previousAt, smallest, largest);
        const double guess = shrink < 1.0 ? std::max(0.9 * shrink * step, smallest) : step;
        const double next = std::min(at + step, high);
        const double beyond = std::min(next + guess, high);
        auto [then, after] = solve.at(next, beyond);
        if (!then.ok) {
            return out;
        }
        if (!surelySettles(then)) {
            settled = at;
            grown = next;
            bracketed = true;
            break;
        }
        // The step the walk may take from `next`, and how it compares with the last.
        const double allowed = nextStep(now, then, step, smallest, largest);
        shrink = allowed / step;
        if (next >= high || !after.ok || guess > allowed) {
            previousAt = at;
            previous = std::move(now);
            now = std::move(then);
            at = next;
            continue;
        }
        if (!surelySettles(after)) {
            settled = next;
            grown = beyond;
            bracketed = true;
            break;
        }
        previousAt = next;
        previous = std::move(then);
        now = std::move(after);
        at = beyond;
    }
    if (!bracketed) {
        settled = at;
        grown = high;
    }
    // Closing in by thirds, a pair of spectra a round. Bisection rather than a secant: the
    // radius near a crossing of complex pairs is not smooth enough for a secant step to be
    // trusted on its own.
    while (grown - settled > kBracket * settled) {
        if (core::StopRequested(stop)) {
            return out;
        }
        const double third = (grown - settled) / 3.0;
        const double first = settled + third;
        const double second = grown - third;
        auto [one, two] = solve.at(first, second);
        if (!one.ok || (surelySettles(one) && !two.ok)) {
            return out;
        }
        if (!surelySettles(one)) {
            grown = first;
        } else if (!surelySettles(two)) {
            settled = first;
            grown = second;
        } else {
            settled = second;
        }
    }
    out.found = true;
    out.low = settled;
    out.high = grown;
    return out;
}

}  // namespace analysis

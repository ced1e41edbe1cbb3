// The Hebb and Delta forecasts for one rate, measured as training reports them: each
// pattern's error right after its own learning step, patterns in file order.

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "analysis/analysis.h"
#include "analysis/span.h"
#include "text/significant.h"

namespace analysis {

namespace {

using Matrix = Eigen::MatrixXd;
using Index = Eigen::Index;

constexpr int kLastEpoch = core::MaxCount;
constexpr double kZeroShare = 1e-20;  // as in pattern_span.cpp: an SSE this small is 0

double resolved(double sse, double targetsSquared) {
    return sse <= kZeroShare * targetsSquared ? 0.0 : sse;
}

// A dense spectrum and the settled SSE.
double rateWork(const EpochMap& map) {
    const double p = map.patterns();
    const double r = map.rank();
    const double n = static_cast<double>(map.nullBasis.cols());
    return 2.0 * p * r * r + 3.0 * r * r * r + n * n * n + 2.0 * n * p * 8.0;
}

// The reported SSE at the fixed point of the epoch map: there the changes of one epoch add
// up to zero, so the errors E lie in the null space N of the patterns, and
// E (I + r U) N = D N gives E = D N (I + r N' U N)^-1 N'.
std::optional<double> settledSSE(const EpochMap& map, const Matrix& targets, double rate) {
    const Index free = map.nullBasis.cols();
    if (free == 0) {
        return 0.0;
    }
    const Matrix coupling = Matrix::Identity(free, free) + rate * map.nullCoupling;
    // X C = D N is solved as C' X' = (D N)': the coupling is not symmetric, so its
    // transpose is the one to factor.
    const Eigen::PartialPivLU<Matrix> lu(coupling.transpose());
    const Matrix projected = targets * map.nullBasis;
    const Matrix errors = lu.solve(projected.transpose()).transpose() * map.nullBasis.transpose();
    double sse = 0.0;
    for (Index p = 0; p < errors.cols(); ++p) {
        const double shrink = 1.0 - rate * map.squared(p);
        sse += shrink * shrink * errors.col(p).squaredNorm();
    }
    if (!std::isfinite(sse)) {
        return std::nullopt;
    }
    return sse;
}

// The first epoch from which the reported SSE stays within 2 % of `settled`, found by running
// the epochs in span coordinates (Z the change of the weights there, from the start), a few
// times as many as `guess`; empty when that would take more than `work` multiply-adds, when
// the settled SSE is 0 (no band around it), or when the run is not inside by then.
std::optional<double> epochsWithinTwoPercent(const Prepared::Span& span, double rate,
                                             double settled, double guess, double work) {
    const Index rows = span.d.rows();
    const Index rank = span.c.rows();
    const Index patterns = span.c.cols();
    const double epochs = std::min<double>(kLastEpoch, std::ceil(3.0 * guess) + 10.0);
    const double perEpoch = 2.0 * static_cast<double>(patterns * rank * rows) + 1.0;
    if (!(settled > 0.0) || perEpoch * epochs > work) {
        return std::nullopt;
    }
    Matrix z = Matrix::Zero(rows, rank);
    Eigen::VectorXd error(rows);
    int lastOutside = 0;
    const int last = static_cast<int>(epochs);
    for (int m = 1; m <= last; ++m) {
        double sse = 0.0;
        for (Index p = 0; p < patterns; ++p) {
            error = span.d.col(p) - z * span.c.col(p);
            if (span.start.size() > 0) {
                error -= span.start.col(p);
            }
            const double shrink = 1.0 - rate * span.squared(p);
            sse += shrink * shrink * error.squaredNorm();
            z.noalias() += rate * error * span.c.col(p).transpose();
        }
        if (!std::isfinite(sse)) {
            return std::nullopt;
        }
        if (std::abs(sse - settled) > 0.02 * settled) {
            lastOutside = m;
        }
    }
    if (lastOutside == last) {
        return std::nullopt;
    }
    return static_cast<double>(lastOutside + 1);
}

}  // namespace

HebbForecast ForecastHebb(const Prepared& prepared, double rate) {
    HebbForecast out;
    out.rate = rate == 0.0 ? 0.0 : rate;
    if (!prepared.span) {
        return out;
    }
    const Prepared::Span& span = *prepared.span;
    if (span.startSkipped) {
        return out;  // the note says why
    }
    // After m whole epochs from weights W0 and the step on pattern p, the recall of p is
    // W0 x_p + r (sum_{q<=p} d_q c_q') c_p + m r D C' c_p, so the reported error is
    // a_p - m b_p.
    const double scaled = std::ldexp(out.rate, 2 * span.exponent);
    Matrix a = span.d - scaled * span.hebbSteps;
    if (span.start.size() > 0) {
        a -= span.start;
    }
    const bool still = scaled == 0.0 || span.hebbEpoch.norm() <= span.hebbNoise;
    const Matrix b = still ? Matrix::Zero(a.rows(), a.cols()) : Matrix(scaled * span.hebbEpoch);
    const double slope = a.cwiseProduct(b).sum();
    const double curve = b.squaredNorm();
    auto sseAfter = [&](double wholeEpochs) { return (a - wholeEpochs * b).squaredNorm(); };

    out.sseEpoch1 = resolved(a.squaredNorm(), span.targetsSquared);
    if (!std::isfinite(out.sseEpoch1) || !std::isfinite(curve) || !std::isfinite(slope)) {
        out.notes.push_back("At rate " + text::FormatSignificant(out.rate, 4) +
                            " the Hebb rule's outputs on this file are too large for a number "
                            "here (above about 1.8e308), so they are not worked out.");
        return out;
    }
    out.slope = slope;
    out.curve = curve;
    out.neverChanges = curve == 0.0;
    double best = curve > 0.0 ? slope / curve : 0.0;
    best = std::clamp(best, 0.0, static_cast<double>(kLastEpoch - 1));
    const double below = std::floor(best);
    const double above = std::ceil(best);
    const double sseBelow = sseAfter(below);
    const double sseAbove = sseAfter(above);
    // A tie in exact arithmetic goes to the earlier epoch; rounding must not decide it.
    const bool later = sseAbove < sseBelow - 1e-12 * sseBelow;
    out.bestEpoch = static_cast<int>(later ? above : below) + 1;
    out.bestSSE = resolved(later ? sseAbove : sseBelow, span.targetsSquared);
    out.growsAfterBest = curve > 0.0 && out.bestEpoch < kLastEpoch;
    out.known = std::isfinite(out.bestSSE);
    return out;
}

DeltaForecast ForecastDelta(const Prepared& prepared, double rate) {
    DeltaForecast out;
    out.rate = rate == 0.0 ? 0.0 : rate;
    out.largestStableRate = prepared.largestStableRate;
    out.stableRateLow = prepared.stableRateLow;
    out.stableRateHigh = prepared.stableRateHigh;
    out.surelyStableBelow = prepared.surelyStableBelow;
    if (!prepared.span || !prepared.span->delta) {
        return out;
    }
    const Prepared::Span& span = *prepared.span;
    const EpochMap& map = span.live;
    if (!(out.rate >= 0.0) || !std::isfinite(out.rate)) {
        out.notes.push_back("The Delta forecast needs a rate of 0 or more.");
        return out;
    }
    if (out.rate == 0.0) {
        out.known = true;
        out.neverChanges = true;
        return out;
    }
    const double scaled = std::ldexp(out.rate, 2 * span.exponent);
    const bool theorySettles = scaled < map.surelyStable || map.rank() == 0;
    const bool theoryGrows =
        !theorySettles && (scaled > map.surelyGrows || DeterminantGrows(map, scaled));
    const bool affordable = rateWork(map) <= prepared.limits.maxEpochMapWork &&
                            map.rank() <= prepared.limits.maxSpectrumRank && std::isfinite(scaled);
    if (affordable) {
        const Eigenvalues s = EpochEigenvalues(map, scaled);
        if (s.ok) {
            out.radiusKnown = true;
            out.spectralRadius = s.radius;
            out.radiusError = s.error;
        } else if (!theorySettles && !theoryGrows) {
            out.notes.push_back("The eigenvalues of the Delta rule's epoch map at rate " +
                                text::FormatSignificant(out.rate, 4) +
                                " did not converge, so whether it settles is not known.");
            return out;
        }
    }
    if (theorySettles || theoryGrows) {
        out.known = true;
        out.settles = theorySettles;
    } else if (out.radiusKnown) {
        out.known = true;
        out.settles = out.spectralRadius + out.radiusError < 1.0;
        out.onEdge = !out.settles && out.spectralRadius - out.radiusError <= 1.0;
    } else if (out.largestStableRate && out.rate < *out.largestStableRate) {
        out.known = true;
        out.settles = true;
    } else {
        out.notes.push_back(
            "Whether the Delta rule settles at rate " + text::FormatSignificant(out.rate, 4) +
            " needs more work than this page spends on one rate; distmem-batch --diagnose "
            "works it out.");
        return out;
    }
    if (out.settles) {
        const std::optional<double> sse = settledSSE(map, span.liveTargets, scaled);
        if (sse) {
            out.settledSSE = resolved(*sse, span.targetsSquared);
        }
        if (out.radiusKnown) {
            out.slowestShareLeft = std::pow(out.spectralRadius, 2.0 * kLastEpoch);
            out.slow = out.slowestShareLeft > 0.01;
            // radius^m = 0.01: the weights' distance from where they settle shrunk to 1 %; a
            // radius of 0 settles in the first epoch. Where the epochs are cheap to run,
            // when the reported total comes within 2 % and stays there instead: a total
            // that starts near where it settles gets there long before the weights do.
            const double weights =
                out.spectralRadius > 0.0
                    ? std::max(1.0, std::log(0.01) / std::log(out.spectralRadius))
                    : 1.0;
            out.epochsToSettle =
                out.settledSSE ? epochsWithinTwoPercent(span, scaled, *out.settledSSE, weights,
                                                        prepared.limits.maxEpochMapWork)
                                     .value_or(weights)
                               : weights;
        }
    } else if (!out.onEdge && out.radiusKnown &&
               std::isfinite(out.spectralRadius * out.spectralRadius)) {
        out.growthPerEpoch = out.spectralRadius * out.spectralRadius;
    }
    if (span.hasIdle && span.idle.rank() > 0 &&
        span.idle.rank() <= prepared.limits.maxSpectrumRank && scaled >= span.idle.surelyStable &&
        rateWork(span.idle) <= prepared.limits.maxEpochMapWork) {
        const Eigenvalues idle = EpochEigenvalues(span.idle, scaled);
        if (idle.ok && idle.radius - idle.error > 1.0) {
            out.idleGrowthPerEpoch = idle.radius * idle.radius;
        }
    }
    return out;
}

}  // namespace analysis

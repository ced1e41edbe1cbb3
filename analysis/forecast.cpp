// The Hebb and Delta forecasts for one rate, measured as training reports them: each
// pattern's error right after its own learning step, patterns in file order.

#include <Eigen/Dense>
#include <Eigen/Eigenvalues>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "analysis/analysis.h"
#include "analysis/span.h"

namespace analysis {

namespace {

using Matrix = Eigen::MatrixXd;

constexpr int kLastEpoch = core::MaxCount;

// M(r) = (I - r c_1 c_1') (I - r c_2 c_2') ... (I - r c_P c_P'): one Delta epoch maps the
// span part Z of the weights to Z M(r) + K(r). A run of k factors equals I - Y T Y' with
// Y = [c_s .. c_s+k-1] and T upper triangular (as with Householder reflections), so the
// product is built a block at a time with matrix products instead of rank-one updates.
Matrix epochMap(const Prepared::Span& span, double rate) {
    constexpr Eigen::Index kBlock = 32;
    const Eigen::Index rank = span.c.rows();
    const Eigen::Index patterns = span.c.cols();
    Matrix m = Matrix::Identity(rank, rank);
    for (Eigen::Index start = 0; start < patterns; start += kBlock) {
        const Eigen::Index k = std::min(kBlock, patterns - start);
        const auto y = span.c.middleCols(start, k);
        const Matrix gram = y.transpose() * y;
        Matrix t = Matrix::Zero(k, k);
        Eigen::VectorXd column(k);
        for (Eigen::Index j = 0; j < k; ++j) {
            t(j, j) = rate;
            if (j > 0) {
                column.head(j).noalias() =
                    t.topLeftCorner(j, j).triangularView<Eigen::Upper>() * gram.col(j).head(j);
                t.col(j).head(j) = -rate * column.head(j);
            }
        }
        const Matrix my = m * y;
        m.noalias() -= (my * t) * y.transpose();
    }
    return m;
}

// K(r): one Delta epoch from zero weights.
Matrix epochOffset(const Prepared::Span& span, double rate) {
    Matrix z = Matrix::Zero(span.d.rows(), span.c.rows());
    Eigen::VectorXd error(span.d.rows());
    for (Eigen::Index p = 0; p < span.c.cols(); ++p) {
        error.noalias() = span.d.col(p) - z * span.c.col(p);
        z.noalias() += (rate * error) * span.c.col(p).transpose();
    }
    return z;
}

double roundTo4Digits(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 4);
    double rounded = value;
    std::from_chars(text, end.ptr, rounded);
    return rounded;
}

}  // namespace

double deltaRadius(const Prepared::Span& span, double rate) {
    if (span.c.rows() == 0) {
        return 0.0;
    }
    const Eigen::EigenSolver<Matrix> solver(epochMap(span, rate), false);
    if (solver.info() != Eigen::Success) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return solver.eigenvalues().cwiseAbs().maxCoeff();
}

std::optional<double> findLargestStableRate(const Prepared::Span& span, double surelyBelow,
                                            double ceiling) {
    // Below `surelyBelow` every factor of M(r) is a contraction that shrinks every
    // vector of the span it does not fix, so the radius is below 1; above it the radius
    // need not grow steadily, so look ahead in widening steps, then halve the bracket.
    auto grows = [&](double rate) { return !(deltaRadius(span, rate) < 1.0 - kEdgeOfStability); };
    double low = surelyBelow * (1.0 + 1e-7);
    if (grows(low)) {
        return roundTo4Digits(surelyBelow);
    }
    double step = 0.01;
    double high = low;
    for (;;) {
        high = std::min(surelyBelow * (1.0 + step), ceiling);
        if (grows(high)) {
            break;
        }
        if (high >= ceiling) {
            return std::nullopt;
        }
        low = high;
        step *= 1.5;
    }
    while (high - low > 2e-5 * low) {
        const double middle = 0.5 * (low + high);
        (grows(middle) ? high : low) = middle;
    }
    return roundTo4Digits(high);
}

HebbForecast forecastHebb(const Prepared& prepared, double rate) {
    HebbForecast out;
    out.rate = rate;
    if (!prepared.span) {
        return out;
    }
    const Prepared::Span& span = *prepared.span;
    // After m whole epochs and the step on pattern p, the recall of p is
    // r (sum_{q<=p} d_q c_q') c_p + m r D C' c_p, so the reported error is a_p - m b_p.
    const Matrix a = span.d - rate * span.hebbSteps;
    const Matrix b = rate * span.hebbEpoch;
    const double slope = a.cwiseProduct(b).sum();
    const double curve = b.squaredNorm();
    auto sseAfter = [&](double wholeEpochs) { return (a - wholeEpochs * b).squaredNorm(); };

    out.sseEpoch1 = a.squaredNorm();
    double best = curve > 0.0 ? slope / curve : 0.0;
    if (!std::isfinite(best)) {
        best = 0.0;
    }
    best = std::clamp(best, 0.0, static_cast<double>(kLastEpoch - 1));
    const double below = std::floor(best);
    const double above = std::ceil(best);
    const double sseBelow = sseAfter(below);
    const double sseAbove = sseAfter(above);
    // A tie in exact arithmetic goes to the earlier epoch; rounding must not decide it.
    const bool later = sseAbove < sseBelow - 1e-12 * sseBelow;
    out.bestEpoch = static_cast<int>(later ? above : below) + 1;
    out.bestSSE = later ? sseAbove : sseBelow;
    out.growsAfterBest = curve > 0.0 && out.bestEpoch < kLastEpoch;
    out.known = std::isfinite(out.sseEpoch1) && std::isfinite(out.bestSSE);
    return out;
}

DeltaForecast forecastDelta(const Prepared& prepared, double rate) {
    DeltaForecast out;
    out.rate = rate;
    out.largestStableRate = prepared.largestStableRate;
    out.surelyStableBelow = prepared.surelyStableBelow;
    if (!prepared.span || !prepared.span->spectrum) {
        return out;
    }
    const Prepared::Span& span = *prepared.span;
    const double radius = deltaRadius(span, rate);
    if (!std::isfinite(radius)) {
        return out;
    }
    out.known = true;
    out.spectralRadius = radius;
    out.settles = radius < 1.0 - kEdgeOfStability;
    if (!out.settles) {
        out.growthPerEpoch = radius * radius;
        return out;
    }
    // The fixed point Z* = Z* M + K, then one epoch from it as training reports it: the
    // step on p scales p's error by (1 - r |c_p|^2).
    const Eigen::Index rank = span.c.rows();
    Matrix z(span.d.rows(), rank);
    if (rank > 0) {
        const Matrix fixedMap = Matrix::Identity(rank, rank) - epochMap(span, rate);
        z = fixedMap.transpose()
                .partialPivLu()
                .solve(epochOffset(span, rate).transpose())
                .transpose();
    }
    double sse = 0.0;
    Eigen::VectorXd error(span.d.rows());
    for (Eigen::Index p = 0; p < span.c.cols(); ++p) {
        error.noalias() = span.d.col(p) - z * span.c.col(p);
        const double shrink = 1.0 - rate * span.squared(p);
        sse += shrink * shrink * error.squaredNorm();
        z.noalias() += (rate * error) * span.c.col(p).transpose();
    }
    out.settledSSE = sse;
    return out;
}

}  // namespace analysis

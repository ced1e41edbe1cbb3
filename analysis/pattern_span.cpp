// The rate-independent parts: facts about the input patterns, the basis of their span,
// the best any weights can do, and a recall of every pattern with the current weights.

#include <Eigen/Dense>
#include <Eigen/SVD>
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "analysis/analysis.h"
#include "analysis/span.h"

namespace analysis {

namespace {

using Matrix = Eigen::MatrixXd;
using PatternMap = Eigen::Map<const Matrix, 0, Eigen::OuterStride<>>;

// Cosines and lengths this close to 0 and 1 count as exact: the patterns of a file are
// usually small exact numbers, so a real pair lies far from these.
constexpr double kExactTolerance = 1e-10;
// Pairs of patterns compared per block, so the cosines never need a P x P matrix.
constexpr Eigen::Index kPairBlock = 256;

// Unit 1 of pattern 1 onwards: units x patterns, one pattern per column.
PatternMap columns(const core::PatternTable& table, int units, int patterns) {
    return {table.pattern(1) + 1, units, patterns,
            Eigen::OuterStride<>(static_cast<Eigen::Index>(table.stride()))};
}

double work(double a, double b, double c) {
    return a * b * c;
}

std::string sizeNote(const char* what, double amount, double limit) {
    return std::string(what) + " skipped: it would take about " + formatNumber(amount, 2) +
           " multiply-adds, above the " + formatNumber(limit, 2) +
           " that keep this page within a few seconds.";
}

void describePatterns(const PatternMap& x, const Limits& limits, Prepared& out) {
    const Eigen::Index patterns = x.cols();
    PatternFacts& facts = out.facts;
    facts.lengths.resize(static_cast<std::size_t>(patterns));
    facts.nonZero.resize(static_cast<std::size_t>(patterns));
    for (Eigen::Index p = 0; p < patterns; ++p) {
        facts.lengths[static_cast<std::size_t>(p)] = x.col(p).norm();
        facts.nonZero[static_cast<std::size_t>(p)] =
            static_cast<int>((x.col(p).array() != 0.0).count());
    }

    const double pairWork = work(static_cast<double>(x.rows()), static_cast<double>(patterns),
                                 static_cast<double>(patterns));
    if (pairWork > limits.maxPairWork) {
        out.notes.push_back(
            sizeNote("Comparing every pair of patterns was", pairWork, limits.maxPairWork));
        return;
    }
    double largest = -1.0;
    for (Eigen::Index first = 0; first < patterns; first += kPairBlock) {
        const Eigen::Index count = std::min(kPairBlock, patterns - first);
        const Matrix dots = x.middleCols(first, count).transpose() * x;
        for (Eigen::Index a = 0; a < count; ++a) {
            const Eigen::Index p = first + a;
            const double lp = facts.lengths[static_cast<std::size_t>(p)];
            for (Eigen::Index q = 0; q < p; ++q) {
                const double lq = facts.lengths[static_cast<std::size_t>(q)];
                if (lp > 0.0 && lq > 0.0) {
                    largest = std::max(largest, std::abs(dots(a, q)) / (lp * lq));
                }
            }
        }
    }
    facts.pairsKnown = true;
    if (largest >= 0.0) {
        facts.largestCosine = std::min(largest, 1.0);
    }
    facts.orthogonal = largest <= kExactTolerance;
    facts.orthonormal = facts.orthogonal &&
                        std::all_of(facts.lengths.begin(), facts.lengths.end(),
                                    [](double l) { return std::abs(l - 1.0) <= kExactTolerance; });
}

// Builds the span coordinates from a thin SVD, and the lowest SSE any weights can give.
void buildBasis(const PatternMap& x, const PatternMap& d, const Limits& limits, Prepared& out) {
    Prepared::Span& span = *out.span;
    const double rows = static_cast<double>(x.rows());
    const double cols = static_cast<double>(x.cols());
    const double basisWork = work(rows, cols, std::min(rows, cols));
    const double recallWork = work(static_cast<double>(d.rows()), rows, cols);
    if (basisWork > limits.maxBasisWork) {
        out.notes.push_back(
            sizeNote("Finding the rank, the best possible SSE and the Delta "
                     "rule's stability was",
                     basisWork, limits.maxBasisWork));
        if (recallWork <= limits.maxRecallWork) {
            span.c = x;  // enough for the Hebb forecast
        } else {
            out.notes.push_back(
                sizeNote("The Hebb forecast was", recallWork, limits.maxRecallWork));
        }
        return;
    }
    const Matrix xm = x;
    const Eigen::BDCSVD<Matrix> svd(xm, Eigen::ComputeThinV);
    const Eigen::VectorXd& sigma = svd.singularValues();
    // The usual relative tolerance: the largest size times the largest singular value
    // times the machine epsilon.
    const double tolerance = sigma.size() == 0 ? 0.0
                                               : std::max(rows, cols) * sigma(0) *
                                                     std::numeric_limits<double>::epsilon();
    Eigen::Index rank = 0;
    while (rank < sigma.size() && sigma(rank) > tolerance) {
        ++rank;
    }
    const auto v = svd.matrixV().leftCols(rank);
    span.c = sigma.head(rank).asDiagonal() * v.transpose();
    span.inBasis = true;
    const double mapWork = cols * static_cast<double>(rank) * static_cast<double>(rank);
    span.spectrum = rank <= limits.maxSpectrumRank && mapWork <= limits.maxEpochMapWork;
    if (rank <= limits.maxSpectrumRank && !span.spectrum) {
        out.notes.push_back(sizeNote("The Delta rule's stability was", mapWork * 12.0,
                                     limits.maxEpochMapWork * 12.0));
    } else if (!span.spectrum) {
        out.notes.push_back(
            "The Delta rule's stability was skipped: the input patterns have "
            "rank " +
            std::to_string(rank) + ", above the " + std::to_string(limits.maxSpectrumRank) +
            " whose epoch map can be examined within a few seconds.");
    }
    out.facts.rankKnown = true;
    out.facts.rank = static_cast<int>(rank);
    out.facts.independent = rank == x.cols();

    const Matrix residual = d - (d * v) * v.transpose();
    const double lowest = residual.squaredNorm();
    out.lowestRecallSSE = lowest;
    // A consistent problem leaves only rounding, far below this share of the outputs.
    out.lowestIsZero = lowest <= 1e-20 * d.squaredNorm();
}

void prepareInto(const core::PublicStuff& net, const Limits& limits, Prepared& out) {
    const int inputs = net.NumInputs;
    const int outputs = net.NumOutputs;
    const int patterns = net.NumPatterns;
    if (inputs < 1 || outputs < 1 || patterns < 1 || !net.InputPatterns.exists() ||
        net.InputPatterns.units() < inputs || net.InputPatterns.patterns() < patterns ||
        !net.DesiredOutputs.exists() || net.DesiredOutputs.units() < outputs ||
        net.DesiredOutputs.patterns() < patterns) {
        out.notes.push_back("No training file is loaded.");
        return;
    }
    out.inputs = inputs;
    out.outputs = outputs;
    out.patterns = patterns;
    const PatternMap x = columns(net.InputPatterns, inputs, patterns);
    const PatternMap d = columns(net.DesiredOutputs, outputs, patterns);
    describePatterns(x, limits, out);

    out.span = std::make_unique<Prepared::Span>();
    Prepared::Span& span = *out.span;
    span.d = d;
    buildBasis(x, d, limits, out);
    if (span.c.size() == 0 && !span.inBasis) {
        out.span.reset();
        return;
    }
    span.squared = span.c.colwise().squaredNorm().transpose();
    if (span.d.rows() > span.d.cols()) {
        const Eigen::HouseholderQR<Matrix> qr(span.d);
        span.d = qr.matrixQR().topRows(span.d.cols()).triangularView<Eigen::Upper>();
    }
    span.hebbSteps.resize(span.d.rows(), span.d.cols());
    Matrix running = Matrix::Zero(span.d.rows(), span.c.rows());
    for (Eigen::Index p = 0; p < span.c.cols(); ++p) {
        running.noalias() += span.d.col(p) * span.c.col(p).transpose();
        span.hebbSteps.col(p).noalias() = running * span.c.col(p);
    }
    span.hebbEpoch.noalias() = running * span.c;

    const double largestSquare = span.squared.size() == 0 ? 0.0 : span.squared.maxCoeff();
    if (largestSquare > 0.0) {
        out.surelyStableBelow = 2.0 / largestSquare;
    }
    if (span.spectrum && out.surelyStableBelow) {
        double smallestSquare = largestSquare;
        for (const double s : span.squared) {
            if (s > 0.0) {
                smallestSquare = std::min(smallestSquare, s);
            }
        }
        const double ceiling = std::max(4.0 / smallestSquare, 16.0 * *out.surelyStableBelow);
        out.largestStableRate = findLargestStableRate(span, *out.surelyStableBelow, ceiling);
        if (!out.largestStableRate) {
            out.notes.push_back("No rate up to " + formatNumber(ceiling, 3) +
                                " makes the Delta rule grow on this file.");
        }
    }
}

}  // namespace

Prepared::Prepared() = default;
Prepared::~Prepared() = default;
Prepared::Prepared(Prepared&&) noexcept = default;
Prepared& Prepared::operator=(Prepared&&) noexcept = default;

Prepared prepare(const core::PublicStuff& net, const Limits& limits) {
    Prepared out;
    try {
        prepareInto(net, limits, out);
    } catch (const std::bad_alloc&) {
        out.span.reset();
        out.notes.push_back(
            "There was not enough memory to examine the patterns fully; "
            "close other programs and open this page again.");
    }
    return out;
}

std::optional<double> recallSSE(const core::PublicStuff& net, const Limits& limits) {
    const int inputs = net.NumInputs;
    const int outputs = net.NumOutputs;
    const int patterns = net.NumPatterns;
    if (inputs < 1 || outputs < 1 || patterns < 1 || !net.InputPatterns.exists() ||
        !net.DesiredOutputs.exists()) {
        return std::nullopt;
    }
    if (work(outputs, inputs, patterns) > limits.maxRecallWork) {
        return std::nullopt;
    }
    try {
        const PatternMap x = columns(net.InputPatterns, inputs, patterns);
        const PatternMap d = columns(net.DesiredOutputs, outputs, patterns);
        if (!net.NetworkMatchesProblem()) {
            return d.squaredNorm();
        }
        Matrix w(outputs, inputs);
        constexpr int lanes = core::ConnectionMatrix::Lanes;
        for (int b = 0; b < net.Weights.blocks(); ++b) {
            const core::ConnectionMatrix::Block* block = net.Weights.block(b);
            const int count = std::min(lanes, outputs - b * lanes);
            for (int i = 0; i < inputs; ++i) {
                for (int k = 0; k < count; ++k) {
                    w(b * lanes + k, i) = block[i].lane[k];
                }
            }
        }
        const Matrix error = d - w * x;
        return error.squaredNorm();
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

Analysis analyse(const core::PublicStuff& net, Rule rule, double rate, const Limits& limits) {
    Analysis out;
    out.fileName = net.TrainingFileName;
    out.rule = rule;
    out.prepared = prepare(net, limits);
    out.hebb = forecastHebb(out.prepared, rate);
    out.delta = forecastDelta(out.prepared, rate);
    out.currentRecallSSE = recallSSE(net, limits);
    if (!out.currentRecallSSE && out.prepared.patterns > 0) {
        out.prepared.notes.push_back(sizeNote("The recall of every pattern was",
                                              work(net.NumOutputs, net.NumInputs, net.NumPatterns),
                                              limits.maxRecallWork));
    }
    out.epochsTrained = net.SweepCount;
    if (net.SweepCount > 0) {
        out.reportedTotalSSE = net.TotalSSE;
    }
    return out;
}

}  // namespace analysis

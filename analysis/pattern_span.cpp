// The rate-independent parts: facts about the input patterns, the basis of their span,
// the best any weights can do, the Delta rule's largest stable rate, and a recall of
// every pattern with the current weights.

#include <Eigen/Dense>
#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <new>
#include <numeric>

#include "text/figures.h"
#include "text/significant.h"
#include "text/utf8.h"

#include "analysis/analysis.h"
#include "analysis/gram.h"
#include "analysis/pivoted_cholesky.h"
#include "analysis/span.h"

namespace analysis {

namespace {

using Matrix = Eigen::MatrixXd;
using Index = Eigen::Index;
using PatternMap = Eigen::Map<const Matrix, 0, Eigen::OuterStride<>>;

constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
// Cosines this close to 0 and 1 count as exact: the patterns of a file are usually small
// exact numbers, so a real pair lies far from these.
constexpr double kExactTolerance = 1e-10;
// An SSE below this share of the targets' squared total is rounding: it is 0.
constexpr double kZeroShare = 1e-20;
// Dense spectra per search, each formed (2 patterns x rank^2) and solved (3 rank^3): as
// many as a search usually takes, and as many as it may take (its stations), for whether
// the window can wait for it.
constexpr double kDenseSolvesPerSearch = 40.0;
constexpr double kDenseSolvesAtMost = 4000.0;

// Unit 1 of pattern 1 onwards: units x patterns, one pattern per column.
PatternMap columns(const core::PatternTable& table, int units, int patterns) {
    return {table.pattern(1) + 1, units, patterns,
            Eigen::OuterStride<>(static_cast<Eigen::Index>(table.stride()))};
}

std::string sizeNote(const char* what, double amount, double limit) {
    return std::string(what) + " skipped: it would take about " +
           text::FormatSignificant(amount, 2) + " multiply-adds, above the " +
           text::FormatSignificant(limit, 2) + " that keep this page within a few seconds.";
}

double gramWork(double inputs, double patterns) {
    return inputs * patterns * patterns / 2.0;
}

// A search of `denseSolves` dense spectra: forming the map, then LAPACK's QR algorithm,
// which takes about as long as 3 rank^3 multiply-adds.
double searchWork(double patterns, double rank, double denseSolves) {
    return denseSolves * (2.0 * patterns * rank * rank + 3.0 * rank * rank * rank);
}

// The current weights, outputs x inputs; zero when the network does not match the file.
Matrix currentWeights(const core::PublicStuff& net) {
    Matrix w = Matrix::Zero(net.NumOutputs, net.NumInputs);
    if (!net.NetworkMatchesProblem()) {
        return w;
    }
    constexpr int lanes = core::ConnectionMatrix::Lanes;
    for (int b = 0; b < net.Weights.blocks(); ++b) {
        const core::ConnectionMatrix::Block* block = net.Weights.block(b);
        const int count = std::min(lanes, net.NumOutputs - b * lanes);
        for (int i = 0; i < net.NumInputs; ++i) {
            for (int k = 0; k < count; ++k) {
                w(b * lanes + k, i) = block[i].lane[k];
            }
        }
    }
    return w;
}

// Each pattern scaled by its own power of two so that its largest value lies in [1, 2):
// lengths and cosines then neither overflow nor underflow.
struct OwnScale {
    Matrix x;                   // inputs x patterns
    std::vector<int> exponent;  // INT_MIN for a zero pattern
    int largest = INT_MIN;
};

OwnScale scaleEach(const PatternMap& x, PatternFacts& facts) {
    OwnScale out;
    const Index patterns = x.cols();
    out.x.resize(x.rows(), patterns);
    out.exponent.assign(static_cast<std::size_t>(patterns), INT_MIN);
    facts.lengths.assign(static_cast<std::size_t>(patterns), 0.0);
    facts.nonZero.assign(static_cast<std::size_t>(patterns), 0);
    for (Index p = 0; p < patterns; ++p) {
        const auto slot = static_cast<std::size_t>(p);
        const double top = x.col(p).cwiseAbs().maxCoeff();
        facts.nonZero[slot] = static_cast<int>((x.col(p).array() != 0.0).count());
        if (top == 0.0) {
            out.x.col(p).setZero();
            continue;
        }
        const int e = std::ilogb(top);
        out.exponent[slot] = e;
        out.largest = std::max(out.largest, e);
        out.x.col(p) = x.col(p).unaryExpr([e](double v) { return std::ldexp(v, -e); });
        facts.lengths[slot] = std::ldexp(out.x.col(p).norm(), e);
    }
    return out;
}

void describePairs(const Matrix& gram, PatternFacts& facts) {
    const Index patterns = gram.rows();
    double largest = -1.0;
    for (Index q = 0; q < patterns; ++q) {
        for (Index p = q + 1; p < patterns; ++p) {
            const double lengths = std::sqrt(gram(p, p) * gram(q, q));
            if (lengths > 0.0) {
                largest = std::max(largest, std::abs(gram(p, q)) / lengths);
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

// Patterns that share an input are joined: training never carries a change between
// patterns of different groups, so a group whose targets and weights are all zero keeps
// zero weights and zero errors for ever.
std::vector<bool> reachedPatterns(const PatternMap& x, const PatternMap& d, const Matrix& w) {
    const Index inputs = x.rows();
    const Index patterns = x.cols();
    std::vector<Index> parent(static_cast<std::size_t>(inputs + patterns));
    std::iota(parent.begin(), parent.end(), Index{0});
    auto root = [&parent](Index i) {
        while (parent[static_cast<std::size_t>(i)] != i) {
            parent[static_cast<std::size_t>(i)] =
                parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(i)])];
            i = parent[static_cast<std::size_t>(i)];
        }
        return i;
    };
    for (Index p = 0; p < patterns; ++p) {
        for (Index i = 0; i < inputs; ++i) {
            if (x(i, p) != 0.0) {
                parent[static_cast<std::size_t>(root(i))] = root(inputs + p);
            }
        }
    }
    std::vector<bool> group(parent.size(), false);
    for (Index p = 0; p < patterns; ++p) {
        if ((d.col(p).array() != 0.0).any()) {
            group[static_cast<std::size_t>(root(inputs + p))] = true;
        }
    }
    for (Index i = 0; i < inputs; ++i) {
        if ((w.col(i).array() != 0.0).any()) {
            group[static_cast<std::size_t>(root(i))] = true;
        }
    }
    std::vector<bool> reached(static_cast<std::size_t>(patterns));
    for (Index p = 0; p < patterns; ++p) {
        reached[static_cast<std::size_t>(p)] = group[static_cast<std::size_t>(root(inputs + p))];
    }
    return reached;
}

Matrix pick(const Matrix& m, const std::vector<int>& rows, const std::vector<int>& cols) {
    Matrix out(rows.size(), cols.size());
    for (std::size_t a = 0; a < rows.size(); ++a) {
        for (std::size_t b = 0; b < cols.size(); ++b) {
            out(static_cast<Index>(a), static_cast<Index>(b)) = m(rows[a], cols[b]);
        }
    }
    return out;
}

EpochMap mapOf(const Matrix& gram, double tolerance) {
    PivotedCholesky factor = FactorPivotedCholesky(gram, tolerance);
    return MakeEpochMap(factor.factor, std::move(factor.nullBasis), gram);
}

// A scaled rate as a rate, when a double holds it with full precision.
std::optional<double> unscaled(double rate, int exponent) {
    const double r = std::ldexp(rate, -2 * exponent);
    if (!std::isfinite(r) || r < std::numeric_limits<double>::min()) {
        return std::nullopt;
    }
    return r;
}

// 2^(-2 exponent) times `rate` in words, for rates no double holds: "about 1.4e-400".
std::string scaledRateWords(double rate, int exponent) {
    return text::ApproximateFromLog10(std::log10(rate) - 2.0 * exponent * std::log10(2.0));
}

// Where the search is not run, the bounds it would have searched between, and a sentence
// naming them: the lower rounded down and the upper rounded up, so that both stay true.
std::string boundsOfTheStableRate(Prepared& out) {
    const Prepared::Span& span = *out.span;
    out.stableRateLow = out.surelyStableBelow;
    out.stableRateHigh =
        unscaled(std::min(span.live.surelyGrows, span.live.determinantGrows), span.exponent);
    if (!out.stableRateLow || !out.stableRateHigh) {
        return "It lies between the rates that settle for sure and those that grow for sure.";
    }
    return "It lies between " + text::RoundedDownLimit(*out.stableRateLow) + " and " +
           text::RoundedUpLimit(*out.stableRateHigh) + ".";
}

void findStableRate(const Limits& limits, Prepared& out) {
    Prepared::Span& span = *out.span;
    const EpochMap& live = span.live;
    if (!(live.surelyStable > 0.0)) {
        return;
    }
    out.surelyStableBelow = unscaled(live.surelyStable, span.exponent);
    if (live.rank() > limits.maxSpectrumRank) {
        out.notes.push_back(
            "The Delta rule's largest stable rate was not worked out: the input patterns have "
            "rank " +
            std::to_string(live.rank()) + ", above the " + std::to_string(limits.maxSpectrumRank) +
            " whose epoch map this page examines (distmem-batch --diagnose has no such limit). " +
            boundsOfTheStableRate(out));
        return;
    }
    const Crossing crossing = FirstCrossing(live, limits.stop);
    if (core::StopRequested(limits.stop)) {
        return;  // the asker drops what was found
    }
    if (!crossing.found) {
        out.notes.push_back(
            "The eigenvalues of the Delta rule's epoch map did not converge, so its largest "
            "stable rate is not known.");
        return;
    }
    out.largestStableRate = unscaled(crossing.low, span.exponent);
    out.stableRateLow = out.largestStableRate;
    out.stableRateHigh = unscaled(crossing.high, span.exponent);
    if (!out.largestStableRate) {
        const bool tiny =
            std::ldexp(crossing.low, -2 * span.exponent) < std::numeric_limits<double>::min();
        out.notes.push_back(
            tiny ? "The Delta rule's largest stable rate on this file, " +
                       scaledRateWords(crossing.low, span.exponent) +
                       ", is below the smallest rate a number here holds in full (about "
                       "2.2e-308): every rate the program accepts above 0 makes it grow."
                 : "The Delta rule's largest stable rate on this file, " +
                       scaledRateWords(crossing.low, span.exponent) +
                       ", is above the largest number here (about 1.8e308): every rate "
                       "settles.");
    }
}

void buildSpan(const PatternMap& x, const PatternMap& d, const Matrix& weights,
               const Limits& limits, Prepared& out) {
    const double inputs = static_cast<double>(x.rows());
    const double patterns = static_cast<double>(x.cols());
    OwnScale own = scaleEach(x, out.facts);
    const int exponent = own.largest == INT_MIN ? 0 : own.largest;
    out.span = std::make_unique<Prepared::Span>();
    Prepared::Span& span = *out.span;
    span.exponent = exponent;
    span.d = d;
    span.targetsSquared = d.squaredNorm();

    const double pairWork = gramWork(inputs, patterns);
    if (patterns > limits.maxGramPatterns) {
        const double gigabytes = patterns * patterns * 8.0 / 1e9;
        out.notes.push_back(
            "Comparing every pair of patterns, the rank, the best possible SSE and the Delta "
            "rule's stability were skipped: a table of every pair of the " +
            text::FormatSignificant(patterns, 6) + " patterns would take " +
            text::FormatSignificant(gigabytes, 2) + " GB, and this program compares at most " +
            text::FormatSignificant(limits.maxGramPatterns, 6) + " patterns.");
    }
    const bool gramAllowed = pairWork <= limits.maxPairWork && pairWork <= limits.maxBasisWork &&
                             patterns <= limits.maxGramPatterns;
    if (patterns > limits.maxGramPatterns) {
        // Said once above.
    } else if (pairWork > limits.maxPairWork) {
        out.notes.push_back(
            sizeNote("Comparing every pair of patterns was", pairWork, limits.maxPairWork));
    }
    if (pairWork > limits.maxBasisWork && patterns <= limits.maxGramPatterns) {
        out.notes.push_back(
            sizeNote("Finding the rank, the best possible SSE and the Delta rule's stability was",
                     pairWork, limits.maxBasisWork));
    }
    // The patterns scaled together by 2^-exponent, as the dynamics see them.
    std::vector<double> shift(own.exponent.size(), 0.0);
    for (std::size_t p = 0; p < shift.size(); ++p) {
        shift[p] = own.exponent[p] == INT_MIN ? 0.0 : own.exponent[p] - exponent;
    }
    if (!gramAllowed) {
        const double recallWork = static_cast<double>(d.rows()) * inputs * patterns;
        if (recallWork > limits.maxRecallWork) {
            out.notes.push_back(
                sizeNote("The Hebb forecast was", recallWork, limits.maxRecallWork));
            out.span.reset();
            return;
        }
        span.c = own.x;
        for (Index p = 0; p < span.c.cols(); ++p) {
            const int by = static_cast<int>(shift[static_cast<std::size_t>(p)]);
            span.c.col(p) = span.c.col(p).unaryExpr([by](double v) { return std::ldexp(v, by); });
        }
        return;
    }
    Matrix own_gram = GramOf(own.x);
    own.x.resize(0, 0);
    if (core::StopRequested(limits.stop)) {
        out.span.reset();
        return;
    }
    describePairs(own_gram, out.facts);
    Matrix gram = own_gram;
    own_gram.resize(0, 0);
    for (Index q = 0; q < gram.cols(); ++q) {
        for (Index p = 0; p < gram.rows(); ++p) {
            gram(p, q) =
                std::ldexp(gram(p, q), static_cast<int>(shift[static_cast<std::size_t>(p)] +
                                                        shift[static_cast<std::size_t>(q)]));
        }
    }
    const double tolerance = patterns * kEpsilon * gram.diagonal().maxCoeff();
    for (Index p = 0; p < gram.rows(); ++p) {
        if (out.facts.nonZero[static_cast<std::size_t>(p)] > 0 && gram(p, p) <= tolerance) {
            out.facts.unresolved.push_back(static_cast<int>(p) + 1);
        }
    }
    PivotedCholesky all = FactorPivotedCholesky(gram, tolerance);
    if (core::StopRequested(limits.stop)) {
        out.span.reset();
        return;
    }
    const Index rank = all.factor.cols();
    out.facts.rankKnown = true;
    out.facts.rank = static_cast<int>(rank);
    out.facts.independent = rank == x.cols();
    const double lowest = (d * all.nullBasis).squaredNorm();
    out.lowestIsZero = lowest <= kZeroShare * span.targetsSquared;
    out.lowestRecallSSE = out.lowestIsZero ? 0.0 : lowest;
    span.c = all.factor.transpose();

    // The Delta rule on the patterns training reaches.
    const std::vector<bool> reached = reachedPatterns(x, d, weights);
    std::vector<int> idle;
    for (std::size_t p = 0; p < reached.size(); ++p) {
        (reached[p] ? span.livePatterns : idle).push_back(static_cast<int>(p));
    }
    if (idle.empty()) {
        span.live = MakeEpochMap(all.factor, std::move(all.nullBasis), gram);
        span.liveTargets = d;
    } else {
        span.live = mapOf(pick(gram, span.livePatterns, span.livePatterns), tolerance);
        span.hasIdle = true;
        span.idle = mapOf(pick(gram, idle, idle), tolerance);
        span.liveTargets.resize(d.rows(), static_cast<Index>(span.livePatterns.size()));
        for (std::size_t k = 0; k < span.livePatterns.size(); ++k) {
            span.liveTargets.col(static_cast<Index>(k)) = d.col(span.livePatterns[k]);
        }
    }
    span.delta = true;
    // Above the rank limit findStableRate says why nothing is searched.
    const double work =
        span.live.rank() > limits.maxSpectrumRank
            ? 0.0
            : searchWork(patterns, static_cast<double>(span.live.rank()), kDenseSolvesPerSearch);
    if (work > limits.maxBasisWork * 8.0) {
        out.surelyStableBelow = unscaled(span.live.surelyStable, exponent);
        out.notes.push_back(sizeNote("Finding the Delta rule's largest stable rate was", work,
                                     limits.maxBasisWork * 8.0) +
                            " " + boundsOfTheStableRate(out));
        return;
    }
    findStableRate(limits, out);
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
    // A continued run starts from the current weights; "Start Training" afresh zeroes them.
    const Matrix weights =
        net.FreshStart == 0 ? currentWeights(net) : Matrix::Zero(outputs, inputs);
    out.fromCurrentWeights = !weights.isZero(0.0);
    buildSpan(x, d, weights, limits, out);
    if (!out.span || core::StopRequested(limits.stop)) {
        return;
    }
    Prepared::Span& span = *out.span;
    span.squared = span.c.colwise().squaredNorm().transpose();
    if (out.fromCurrentWeights) {
        const double recallWork = static_cast<double>(outputs) * inputs * patterns;
        if (recallWork > limits.maxRecallWork) {
            span.startSkipped = true;
            out.notes.push_back(sizeNote("The Hebb forecast from the current weights was",
                                         recallWork, limits.maxRecallWork));
        } else {
            span.start.noalias() = weights * x;
        }
    }
    // Every SSE below is a squared length of a mix of the columns of d and start: an
    // orthonormal basis of their span keeps those lengths in fewer rows.
    const Index targets = span.d.cols();
    const Index columnsKept = targets + span.start.cols();
    if (span.d.rows() > columnsKept) {
        Matrix both(span.d.rows(), columnsKept);
        both.leftCols(targets) = span.d;
        if (span.start.size() > 0) {
            both.rightCols(span.start.cols()) = span.start;
        }
        const Eigen::HouseholderQR<Matrix> qr(both);
        const Matrix r = qr.matrixQR().topRows(columnsKept).triangularView<Eigen::Upper>();
        span.d = r.leftCols(targets);
        if (span.start.size() > 0) {
            span.start = r.rightCols(span.start.cols());
        }
    }
    span.hebbSteps.resize(span.d.rows(), span.d.cols());
    Matrix running = Matrix::Zero(span.d.rows(), span.c.rows());
    for (Index p = 0; p < span.c.cols(); ++p) {
        running.noalias() += span.d.col(p) * span.c.col(p).transpose();
        span.hebbSteps.col(p).noalias() = running * span.c.col(p);
    }
    span.hebbEpoch.noalias() = running * span.c;
    // Each entry of (D C') C sums patterns x rank products of sizes up to |d| |c|^2.
    span.hebbNoise = 8.0 * kEpsilon * static_cast<double>(span.c.cols() + span.c.rows()) *
                     span.d.norm() * span.squared.sum();
}

}  // namespace

Limits Limits::none() {
    Limits limits;
    constexpr double unlimited = std::numeric_limits<double>::infinity();
    limits.maxBasisWork = unlimited;
    limits.maxRecallWork = unlimited;
    limits.maxPairWork = unlimited;
    limits.maxSpectrumRank = std::numeric_limits<int>::max();
    limits.maxGramPatterns = 16384;  // 2 GB a table
    limits.maxEpochMapWork = unlimited;
    return limits;
}

double PreparationWork(const core::PublicStuff& net, const Limits& limits) {
    const double inputs = net.NumInputs;
    const double patterns = net.NumPatterns;
    const double rank = std::min(inputs, patterns);
    double work = inputs * patterns;
    if (gramWork(inputs, patterns) <= std::min(limits.maxPairWork, limits.maxBasisWork) &&
        patterns <= limits.maxGramPatterns) {
        work += gramWork(inputs, patterns) + 2.0 * patterns * rank * rank / 3.0;
        if (rank <= limits.maxSpectrumRank) {
            work +=
                std::min(searchWork(patterns, rank, kDenseSolvesAtMost), limits.maxBasisWork * 8.0);
        }
    }
    if (net.FreshStart == 0 && net.NetworkMatchesProblem()) {
        work += std::min(net.NumOutputs * inputs * patterns, limits.maxRecallWork);
    }
    return work + net.NumOutputs * patterns * rank;
}

Prepared::Prepared() = default;
Prepared::~Prepared() = default;
Prepared::Prepared(Prepared&&) noexcept = default;
Prepared& Prepared::operator=(Prepared&&) noexcept = default;

Prepared Prepare(const core::PublicStuff& net, const Limits& limits) {
    Prepared out;
    out.limits = limits;
    out.limits.stop = nullptr;  // the forecasts read these limits after the work has ended
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

std::optional<double> RecallSSE(const core::PublicStuff& net, const Limits& limits) {
    const int inputs = net.NumInputs;
    const int outputs = net.NumOutputs;
    const int patterns = net.NumPatterns;
    if (inputs < 1 || outputs < 1 || patterns < 1 || !net.InputPatterns.exists() ||
        !net.DesiredOutputs.exists()) {
        return std::nullopt;
    }
    if (static_cast<double>(outputs) * inputs * patterns > limits.maxRecallWork) {
        return std::nullopt;
    }
    try {
        const PatternMap x = columns(net.InputPatterns, inputs, patterns);
        const PatternMap d = columns(net.DesiredOutputs, outputs, patterns);
        if (!net.NetworkMatchesProblem()) {
            return d.squaredNorm();
        }
        const Matrix error = d - currentWeights(net) * x;
        return error.squaredNorm();
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

Analysis Analyse(const core::PublicStuff& net, Rule rule, double rate, const Limits& limits) {
    Analysis out;
    out.fileName = text::ShownName(net.TrainingFileName);
    out.plan = PlanOf(net);
    out.rule = rule;
    out.prepared = Prepare(net, limits);
    out.hebb = ForecastHebb(out.prepared, rate);
    out.delta = ForecastDelta(out.prepared, rate);
    out.currentRecallSSE = RecallSSE(net, limits);
    if (!out.currentRecallSSE && out.prepared.patterns > 0) {
        out.prepared.notes.push_back(
            sizeNote("The recall of every pattern was",
                     static_cast<double>(net.NumOutputs) * net.NumInputs * net.NumPatterns,
                     limits.maxRecallWork));
    }
    out.epochsTrained = net.SweepCount;
    if (net.SweepCount > 0) {
        out.reportedTotalSSE = net.TotalSSE;
    }
    return out;
}

}  // namespace analysis

#pragma once

// What the Hebb and Delta rules will do on the loaded training file, worked out exactly
// from the patterns instead of by training, and why the reported total can differ from
// a recall of all patterns.
//
// The weights only ever change inside the span of the input patterns, and only that part
// of them reaches a recall, so everything is computed in an orthonormal basis of that span
// (from a thin SVD of the input patterns): the Delta rule's epoch map is then an R x R
// matrix, R the rank. Training reports each pattern's error right after that pattern's
// own learning step, and the forecasts here measure the same thing.
//
// Work that would take more than a few seconds on large files is skipped; each skipped
// part leaves its values empty and a sentence in `notes` saying why. Nothing throws: a
// failure to get memory also ends up as a note.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/network_state.h"

namespace analysis {

// Sizes above which parts are skipped, as counts of multiply-adds or as a rank.
struct Limits {
    double maxBasisWork = 2.5e9;  // inputs x patterns x min(inputs, patterns): the SVD
    double maxRecallWork = 4e9;   // outputs x inputs x patterns: a recall of every pattern
    double maxPairWork = 4e9;     // inputs x patterns^2: cosines between patterns
    // The Delta rule's R x R epoch map (patterns x rank^2 to build) and its eigenvalues,
    // worked out a dozen times to find the largest stable rate.
    int maxSpectrumRank = 200;
    double maxEpochMapWork = 1e8;
};

enum class Rule { Hebb, Delta };

struct PatternFacts {
    std::vector<double> lengths;  // |x_p|, pattern by pattern
    std::vector<int> nonZero;     // non-zero inputs of each pattern
    bool pairsKnown = false;
    std::optional<double> largestCosine;  // empty with fewer than two non-zero patterns
    bool orthogonal = false;
    bool orthonormal = false;
    bool rankKnown = false;
    int rank = 0;
    bool independent = false;
};

struct HebbForecast {
    double rate = 0.0;
    bool known = false;
    double sseEpoch1 = 0.0;
    int bestEpoch = 1;  // 1..32767, the first on a tie
    double bestSSE = 0.0;
    bool growsAfterBest = false;  // false when the SSE falls to the last epoch or never moves
};

// A spectral radius this close to 1 is 1 up to rounding: the rule is on the edge of
// stability, and neither settles nor grows geometrically.
inline constexpr double kEdgeOfStability = 1e-9;

struct DeltaForecast {
    double rate = 0.0;
    bool known = false;  // false when the spectrum was skipped
    double spectralRadius = 0.0;
    bool settles = false;
    std::optional<double> largestStableRate;  // 4 significant digits; empty if not found
    std::optional<double> settledSSE;         // when it settles
    std::optional<double> growthPerEpoch;     // when it does not settle
    // Rates below this settle for sure (2 / the largest squared pattern length), known
    // even when the spectrum was skipped; empty when every input pattern is zero.
    std::optional<double> surelyStableBelow;
};

// The parts that do not depend on the rate or the weights, worked out once per file.
class Prepared {
  public:
    Prepared();
    ~Prepared();
    Prepared(Prepared&&) noexcept;
    Prepared& operator=(Prepared&&) noexcept;

    int inputs = 0;
    int outputs = 0;
    int patterns = 0;
    PatternFacts facts;
    std::optional<double> lowestRecallSSE;
    bool lowestIsZero = false;
    std::optional<double> largestStableRate;
    std::optional<double> surelyStableBelow;
    std::vector<std::string> notes;

    struct Span;  // the patterns in span coordinates
    std::unique_ptr<Span> span;
};

// Works out the rate-independent parts from the loaded patterns. Can take a few seconds on
// large files: run it off the window's thread.
Prepared prepare(const core::PublicStuff& net, const Limits& limits = {});

// The forecasts for one rate; fast next to prepare(): one R x R eigenvalue problem.
HebbForecast forecastHebb(const Prepared& prepared, double rate);
DeltaForecast forecastDelta(const Prepared& prepared, double rate);

struct Analysis {
    std::string fileName;
    Rule rule = Rule::Hebb;
    std::optional<double> currentRecallSSE;
    std::optional<double> reportedTotalSSE;  // empty before the first epoch
    int epochsTrained = 0;
    HebbForecast hebb;
    DeltaForecast delta;
    Prepared prepared;
};

// The whole analysis of the loaded file and current weights, for a rule and rate.
Analysis analyse(const core::PublicStuff& net, Rule rule, double rate, const Limits& limits = {});

// SSE of a recall of every pattern with the current weights (zero weights when the
// network does not match the file); empty when above the limit.
std::optional<double> recallSSE(const core::PublicStuff& net, const Limits& limits = {});

// Plain sentences and small text tables.
std::string renderText(const Analysis& analysis);
// One JSON object with the keys inputs, outputs, patterns, input_rank, ..., hebb, delta.
std::string renderJson(const Analysis& analysis);

// One line for the setup page, e.g. "Delta at 0.1 settles near SSE 0.0013 (stable below
// 0.667)." or "Hebb at 0.1: lowest SSE 0.2 at epoch 6, then it grows."
std::string forecastLine(Rule rule, const HebbForecast& hebb, const DeltaForecast& delta);
// Why a run's SSE kept growing, in the same plain words, e.g. "At rate 1.2 the Delta rule
// overshoots on this file; rates below 0.667 settle."
std::string growthReason(Rule rule, const HebbForecast& hebb, const DeltaForecast& delta,
                         int epochsTrained);

// A number with `digits` significant digits, "C" locale: 0.0013, 0.667, 1.5e-08.
std::string formatNumber(double value, int digits);

}  // namespace analysis

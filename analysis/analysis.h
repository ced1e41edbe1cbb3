#pragma once

// What the Hebb and Delta rules will do on the loaded training file, worked out exactly
// from the patterns instead of by training, and why the reported total can differ from
// a recall of all patterns.
//
// The weights only ever change inside the span of the input patterns, and only that part
// of them reaches a recall, so everything is computed in an orthonormal basis of that span
// (from a pivoted Cholesky factor of the patterns' Gram matrix): the Delta rule's epoch
// map is then an R x R map, R the rank, whose eigenvalues all come from a dense solve.
// Training reports each pattern's error right after that pattern's own learning step, and
// the forecasts here measure the same thing.
//
// Every statement is one training bears out: directions of the span too small for the
// arithmetic to resolve are left out of it, directions that neither the weights nor the
// targets reach are not said to grow, and numbers below the analysis's resolution are 0.
//
// Work above the limits is skipped; each skipped part leaves its values empty and a
// sentence in `notes` saying why. Nothing throws: a failure to get memory also ends up as
// a note.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/network_state.h"
#include "core/progress.h"

namespace analysis {

// Sizes above which parts are skipped, as counts of multiply-adds or as a rank. The
// defaults keep the program's pages within a few seconds; none() is for the batch trainer.
struct Limits {
    double maxBasisWork = 2.5e10;  // inputs x patterns^2 / 2 + patterns x rank^2: the basis
    double maxRecallWork = 4e9;    // outputs x inputs x patterns: a recall of every pattern
    double maxPairWork = 2.5e10;   // inputs x patterns^2 / 2: cosines between patterns
    // The rank up to which the Delta rule's spectrum and largest stable rate are worked out:
    // the whole search takes 0.7 s at rank 400 and 3.5 s at rank 512.
    int maxSpectrumRank = 400;
    // Patterns up to which their pairs are compared: the table of every pair's product holds
    // patterns^2 numbers, twice over while it is scaled.
    int maxGramPatterns = 8192;
    // Multiply-adds one rate's Delta forecast may take: about 16 ms on the window's thread.
    // Rates whose forecast would take more are answered from the bounds alone.
    double maxEpochMapWork = 2e7;
    // Heard between the stages of the work and within its longer loops: a stop request ends
    // the work soon with what it has (which the asker then drops). Null for none.
    const core::Progress* stop = nullptr;

    static Limits none();
};

// Multiply-adds Prepare() takes on this file within `limits`, spectrum included: the
// pages run it on the window's thread only below about 2e7.
double PreparationWork(const core::PublicStuff& net, const Limits& limits = {});

using Rule = core::Rule;

struct PatternFacts {
    std::vector<double> lengths;  // |x_p|, pattern by pattern; infinity when above 1.8e308
    std::vector<int> nonZero;     // non-zero inputs of each pattern
    bool pairsKnown = false;
    std::optional<double> largestCosine;  // empty with fewer than two non-zero patterns
    bool orthogonal = false;
    bool orthonormal = false;
    bool rankKnown = false;
    int rank = 0;
    bool independent = false;
    // Non-zero patterns whose squared length is below the arithmetic's resolution next to
    // the longest one: the rank cannot count their directions.
    std::vector<int> unresolved;  // pattern numbers from 1
};

struct HebbForecast {
    double rate = 0.0;
    bool known = false;
    // Epochs count from the run's first (1); the reported SSE after run epoch k is
    // sseEpoch1 - 2 (k - 1) slope + (k - 1)^2 curve.
    double sseEpoch1 = 0.0;
    double slope = 0.0;
    double curve = 0.0;
    int bestEpoch = 1;  // 1..32767, the first on a tie
    double bestSSE = 0.0;
    bool growsAfterBest = false;     // false when the SSE falls to the last epoch or never moves
    bool neverChanges = false;       // the weights' change per epoch is zero: every total is equal
    std::vector<std::string> notes;  // why `known` is false
};

struct DeltaForecast {
    double rate = 0.0;
    bool known = false;        // whether it settles is known; false leaves a reason in `notes`
    bool radiusKnown = false;  // spectralRadius holds the largest |eigenvalue| of the map
    double spectralRadius = 0.0;
    double radiusError = 0.0;  // an estimate of its error
    bool settles = false;
    // Neither settles nor grows within the analysis's resolution: radius 1 up to its error.
    bool onEdge = false;
    // When it settles: the share of the slowest part of the gap left after the 32767 epochs
    // the program counts (radius^(2 x 32767)), and true when that is above 1/100.
    double slowestShareLeft = 0.0;
    bool slow = false;
    // When it settles with a known radius: the epochs until the reported SSE stays within
    // 2 % of where it settles, found by running the epochs where that takes at most
    // limits.maxEpochMapWork multiply-adds; otherwise until the weights' distance from
    // their settled value has shrunk to 1 % (radius^m = 0.01). At least 1.
    std::optional<double> epochsToSettle;
    bool neverChanges = false;  // rate 0
    // The largest stable rate: never above the first rate at which the map's radius reaches
    // 1, within 0.1 % of it; bounds from the error estimate. Empty when not worked out or not
    // a number a double can hold (the notes then say why).
    std::optional<double> largestStableRate;
    std::optional<double> stableRateLow;
    std::optional<double> stableRateHigh;
    std::optional<double> settledSSE;      // when it settles
    std::optional<double> growthPerEpoch;  // when it grows and the radius is known
    // Rates below this settle for sure (2 / the largest squared pattern length), known
    // even when the spectrum was skipped; empty when every input pattern is zero.
    std::optional<double> surelyStableBelow;
    // Patterns that neither the weights nor the targets reach would grow by this factor
    // per epoch after any change there; training from the current weights leaves them.
    std::optional<double> idleGrowthPerEpoch;
    std::vector<std::string> notes;
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
    std::optional<double> stableRateLow;
    std::optional<double> stableRateHigh;
    std::optional<double> surelyStableBelow;
    // The run starts from the current weights (FreshStart 0), and they are not all zero:
    // the Hebb forecast starts from them.
    bool fromCurrentWeights = false;
    Limits limits;
    std::vector<std::string> notes;

    struct Span;  // the patterns in span coordinates
    std::unique_ptr<Span> span;
};

// Works out the rate-independent parts from the loaded patterns and the weights the next
// run starts from: the current weights when it continues (FreshStart 0), zero when it
// starts afresh or the network does not match the file. Can take seconds on large files: run it
// off the window's thread when PreparationWork() is above about 2e7.
Prepared Prepare(const core::PublicStuff& net, const Limits& limits = {});

// The forecasts for one rate. forecastDelta stays within limits.maxEpochMapWork
// multiply-adds (about 16 ms with the default limits): above that it answers from the
// bounds and the largest stable rate alone.
HebbForecast ForecastHebb(const Prepared& prepared, double rate);
DeltaForecast ForecastDelta(const Prepared& prepared, double rate);

// What the next run will do beyond the rule and rate, as the setup page's boxes say.
struct RunPlan {
    int trainedBefore = 0;           // epochs trained before it: its first epoch is the next
    int lastEpoch = core::MaxCount;  // where the maximum-epochs rule, or the count, ends it
    std::optional<double> minError;  // the minimum-error rule's level, when ticked
};

// The plan read from the network's own parameters: a continued run (FreshStart 0) goes on
// from SweepCount; the stopping rules as last used.
RunPlan PlanOf(const core::PublicStuff& net);

struct Analysis {
    std::string fileName;
    RunPlan plan;
    Rule rule = Rule::Hebb;
    std::optional<double> currentRecallSSE;
    std::optional<double> reportedTotalSSE;  // empty before the first epoch
    int epochsTrained = 0;
    HebbForecast hebb;
    DeltaForecast delta;
    Prepared prepared;
};

// The whole analysis of the loaded file and current weights, for a rule and rate.
Analysis Analyse(const core::PublicStuff& net, Rule rule, double rate, const Limits& limits = {});

// SSE of a recall of every pattern with the current weights (zero weights when the
// network does not match the file); empty when above the limit.
std::optional<double> RecallSSE(const core::PublicStuff& net, const Limits& limits = {});

// Plain sentences and small text tables.
std::string RenderText(const Analysis& analysis);
// One JSON object with the keys inputs, outputs, patterns, input_rank, ..., hebb, delta,
// notes.
std::string RenderJson(const Analysis& analysis);

// One line for the setup page, e.g. "Delta at 0.1 settles near SSE 0.0013 after about 22
// epochs (stable below 0.6673)." or "Hebb at 0.1: lowest SSE 0.2 at epoch 6, then it
// grows." Epochs are numbered as the printouts will number them; the rate is shown as the
// shortest text that reads back as it; figures that the analysis text also shows have the
// same digits there.
std::string ForecastLine(Rule rule, const HebbForecast& hebb, const DeltaForecast& delta,
                         const RunPlan& plan = {}, bool fromCurrentWeights = false);
// Why a run's SSE kept growing, in the same plain words, e.g. "At rate 1.2 the Delta rule
// overshoots on this file; rates below 0.667 settle."
std::string GrowthReason(Rule rule, const HebbForecast& hebb, const DeltaForecast& delta,
                         int epochsTrained);

}  // namespace analysis

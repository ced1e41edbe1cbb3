#pragma once

// How recall degrades: every stored pattern recalled while its inputs are damaged, and
// while connections are lost, at 0, 5, ..., 100 percent, each point the mean of a number of
// trials.
//
// Damaged input: at each point every pattern is damaged with the probe page's noise rule
// (views/pattern_noise.h) at that percentage, with seed PatternSeed(trial seed, pattern),
// so patterns are damaged independently. Lost connections: the connections of a trial are
// put in a random order once (Fisher-Yates from std::mt19937_64 seeded with the trial's
// seed), and at p percent the first (p * connections + 50) / 100 of them count as zero;
// the network's weights never change. Trial k (from 0) has seed `seed + k`.
//
// Each trial is worked out alone and the trials are summed in order, so the curves do not
// depend on the number of threads.

#include <cstdint>
#include <string>
#include <vector>

#include "core/network_state.h"
#include "core/progress.h"

namespace experiments {

inline constexpr int DegradationStep = 5;  // percent between points
inline constexpr int DegradationPoints = 100 / DegradationStep + 1;
inline constexpr int DegradationTrials = 20;

struct DegradationPoint {
    int percent = 0;
    double meanSSE = 0.0;          // per pattern, mean over the trials
    double recalledPercent = 0.0;  // of patterns recalled (views/recall_rule.h)
};

struct DegradationCurves {
    std::uint64_t seed = 1;
    int trials = DegradationTrials;
    std::vector<DegradationPoint> noise;            // damaged input
    std::vector<DegradationPoint> lostConnections;  // weights counted as zero
};

struct DegradationResult {
    core::WorkEnd status = core::WorkEnd::Failed;
    DegradationCurves curves;  // complete when Done
    std::string message;       // why it failed, for the student
};

// The seed that damages pattern p in the trial with seed trialSeed: distinct for every
// trial seed and pattern number up to core::MaxCount.
std::uint64_t PatternSeed(std::uint64_t trialSeed, int p);

// Works out both curves for `weights` trained on `problem` (both read only, so other
// threads may read them too) on `threads` threads (0: one per processor). `progress` (may
// be null) counts one per trial, curve and point; a stop request ends the work Cancelled.
// Fails with a message when there are no patterns or no weights of the problem's sizes, a
// value overflows, or memory runs out.
DegradationResult ComputeDegradation(const core::Problem& problem,
                                     const core::ConnectionMatrix& weights, std::uint64_t seed,
                                     int trials = DegradationTrials, int threads = 0,
                                     core::Progress* progress = nullptr);

}  // namespace experiments

#pragma once

// What one training file goes through under the fuzzer, and again in the regression test
// that replays tests/fuzz/regressions: load it into a fresh network and into one that holds
// another problem; when it loads and is small, train it step by step and epoch by epoch and
// write a report with every section. After each step the network's promises are checked:
// loading is all or nothing, guarded arithmetic leaves nothing infinite or NaN and undoes
// what it refuses, the epoch kernel agrees with the plain steps to the bit.

#include <string>
#include <string_view>

#include "core/network_state.h"

namespace fuzzbody {

// Problems up to this many connections times patterns are trained and reported on.
inline constexpr long long TrainLimit = 20000;

struct Outcome {
    bool loaded = false;    // the bytes loaded as a training file
    bool trained = false;   // and were small enough to train and report on
    std::string violation;  // the first check that failed; empty when every check held
};

// Runs every check on `bytes`; never throws. The learning rate comes from the last byte.
Outcome exerciseTrainingFile(std::string_view bytes);

// The first unit field, weight, Change or TotalSSE of `net` that is infinite or NaN, named;
// empty when all are finite.
std::string firstNonFinite(const core::PublicStuff& net);

}  // namespace fuzzbody

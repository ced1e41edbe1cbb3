#pragma once

// Damaging a stored input pattern for a probe, repeatably: the same pattern, amount and
// seed give the same damaged values on every machine.
//
// Each input is damaged with probability percent / 100. How depends on the file's inputs:
// when every input value of every pattern is 0 or 1, a damaged input flips (0 <-> 1);
// otherwise, when every value is -1 or +1, it changes sign; otherwise it gets Gaussian
// noise with a standard deviation of the pattern's root-mean-square value.
//
// The random numbers: std::mt19937_64 seeded with the seed (its output sequence is fixed
// by the C++ standard). Per input, in order from input 1: one draw u (top 53 bits); the
// input is damaged when u * 100 < percent * 2^53. A Gaussian input then takes two more
// draws a, b and adds rms * sqrt(-2 ln((a + 1) / 2^53)) * cos(2 pi b / 2^53) (Box-Muller).

#include <cstdint>
#include <vector>

#include "core/network_state.h"

namespace views {

enum class InputKind { Binary, Bipolar, Real };

// What kind of inputs the file has (every value of every pattern counts).
InputKind ClassifyInputs(const core::PatternTable& inputs);

// Pattern p of `inputs` with percent (0..100) % of its inputs damaged as above: a vector of
// units() + 1 values, element 0 unused (zero). Throws std::bad_alloc.
std::vector<double> DamagePattern(const core::PatternTable& inputs, int p, InputKind kind,
                                  int percent, std::uint64_t seed);

}  // namespace views

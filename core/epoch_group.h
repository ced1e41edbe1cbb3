#pragma once

// The inner loops of a training epoch for one group of up to four weight blocks (32
// output units), compiled once per instruction set; the best set the processor has is
// taken unless another is chosen (core/cpu_path.h). Each set runs a group in the parts
// its registers hold (AVX2: one block, as two four-lane halves). None fuses a multiply
// with an add, so every build gives the same bits.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/cpu_path.h"
#include "core/network_state.h"

namespace core::epoch {

constexpr int Lanes = ConnectionMatrix::Lanes;
constexpr int GroupBlocks = 4;
constexpr int GroupLanes = GroupBlocks * Lanes;

// One group's run through every pattern of an epoch. Patterns are counted from 0 here.
struct GroupJob {
    ConnectionMatrix::Block* weights;  // the group's first block; the others follow it
    int blocks;                        // 1..GroupBlocks
    int inputs;
    int patterns;
    const double* changeInput;  // LearningRate * x: pattern p at changeInput + p * inputs
    const double* input;        // x: input i (from 0) of pattern p at input[p * inputStride + i]
    std::size_t inputStride;
    const double* desired;  // pattern p at desired + p * desiredStride: blocks * Lanes values
    std::size_t desiredStride;
    // Delta rule: on entry the recall of pattern 0 under the current weights, on return
    // that recall under the new weights (blocks * Lanes values).
    double* recallNext;
    // Inputs a pass may skip, or null for none: pattern p's pass visits only inputs
    // active[activeStart[p]] .. active[activeStart[p + 1] - 1] (from 0, increasing). An
    // input that is zero in the pattern (and, for Delta, in the next one) changes no
    // weight and adds only zeros, which leave every sum as it is while no weight is -0.
    const std::int32_t* active;
    const std::size_t* activeStart;
    double* errors;      // out: desired - recall after each step, pattern by pattern
    double* outputMax;   // out: per pattern, the largest |output activation| learned from
    double* lastRecall;  // out: the recall after the last step
    double* lastOutput;  // out: the output activation the last step learned from
};

struct Kernels {
    // Runs a GroupJob; false when any value was not finite (the weights are then spoilt).
    bool (*epoch[2][GroupBlocks])(const GroupJob& job);  // [hebb][blocks - 1]
    // sums = recall of input vector x (inputs values) through `blocks` blocks.
    void (*recall[GroupBlocks])(const ConnectionMatrix::Block* weights, int inputs, const double* x,
                                double* sums);
    const char* instructionSet;
    // Blocks a pass runs together: the weights it reads and writes once per pattern.
    int partBlocks;
};

// The kernels of the chosen path (see core/cpu_path.h).
const Kernels& ChosenKernels();
// The kernels of `path`, which the processor must have.
const Kernels& KernelsFor(CpuPath path);
// Every set of kernels this processor can run, best first.
std::vector<const Kernels*> SupportedKernels();

}  // namespace core::epoch

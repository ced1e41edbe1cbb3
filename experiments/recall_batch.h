#pragma once

// Recall of many input vectors at once, through any weights of the network's shape.
//
// Each output's sum is formed over the input units in increasing order, as core's one-pattern
// recall forms it, so a vector's response is the same to the bit as RecallInto's. Four
// vectors run through a block of eight outputs together, and a block's weights stay in
// cache while every vector passes through it.

#include <cstddef>

#include "core/cpu_path.h"
#include "core/network_state.h"

namespace experiments {

// A run of input or output vectors, element 0 of each unused: vector q starts at
// data + q * stride.
struct VectorSet {
    const double* data = nullptr;
    std::size_t stride = 0;
    int count = 0;
};

// sums[q * sumStride + j] = sum over i = 1..inputs() of weights(j, i) * x_q[i], for
// j = 1..outputs() and every vector q of x. Element 0 of each sum vector is left alone.
// Runs on the chosen path (core/cpu_path.h), or on `path`, which the processor must have;
// every path gives the same bits.
void RecallVectors(const core::ConnectionMatrix& weights, const VectorSet& x, double* sums,
                   std::size_t sumStride);
void RecallVectors(const core::ConnectionMatrix& weights, const VectorSet& x, double* sums,
                   std::size_t sumStride, core::CpuPath path);

}  // namespace experiments

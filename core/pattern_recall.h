#pragma once

// Recalls of many patterns at once, for the places that need the responses or errors of
// every pattern (the error before training with weights that are not zero, the report's
// and the workbook's responses and errors). Each group of four weight blocks (32 output
// units) stays in cache while every pattern passes through it, on the training kernel's
// vector code; groups are spread over threads. Every value is the one ComputeResponses
// gives for its pattern, to the bit, whatever the thread count: each output's sum runs
// over the input units in increasing order, as there.

#include <memory>

#include "core/network_state.h"
#include "core/worker_pool.h"

namespace core {

class PatternRecall {
  public:
    // Threads for large recalls; 0 means one per processor. They start with the first
    // recall large enough to pay for them.
    explicit PatternRecall(int threads = 0);
    // On the threads of `pool`, which must outlive this object.
    explicit PatternRecall(WorkerPool& pool);

    // Recalls patterns first .. first + count - 1 (all valid) into netInputs and errors
    // (desired minus net input): pattern first + g from element g * (NumOutputs + 1) on,
    // element 0 of each unused. Returns how many patterns from `first` on were recalled
    // with finite values. Changes nothing in `net`.
    int recall(const PublicStuff& net, int first, int count, double* netInputs, double* errors);

  private:
    WorkerPool* pool();

    int m_threads;
    WorkerPool* m_borrowed = nullptr;
    std::unique_ptr<WorkerPool> m_pool;
};

}  // namespace core

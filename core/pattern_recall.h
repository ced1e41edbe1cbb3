#pragma once

// Recalls of many patterns at once, for the places that need the responses or errors of
// every pattern (the error before training with weights that are not zero, the
// workbook's Responses and Errors sheets): four patterns per pass over the weights, runs
// of patterns spread over threads. Every value is the one ComputeResponses gives for its
// pattern, to the bit (see RecallManyInto), whatever the thread count.

#include <memory>

#include "core/network_state.h"
#include "core/worker_pool.h"

namespace core {

class PatternRecall {
  public:
    // Threads for large recalls; 0 means one per processor. They start with the first
    // recall large enough to pay for them.
    explicit PatternRecall(int threads = 0);

    // Recalls patterns first .. first + count - 1 (all valid) into netInputs and errors:
    // pattern first + g from element g * (NumOutputs + 1) on, element 0 of each unused, as
    // RecallManyInto lays them out. Returns how many patterns from `first` on were
    // recalled with finite values; the values of later patterns may be missing.
    // Changes nothing in `net`.
    int recall(const PublicStuff& net, int first, int count, double* netInputs, double* errors);

  private:
    int m_threads;
    std::unique_ptr<WorkerPool> m_pool;
};

}  // namespace core

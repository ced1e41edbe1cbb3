#pragma once

// One training epoch in a single pass over the weights per pattern.
//
// Per pattern p, a training epoch does a learning step (for the Delta rule itself starting
// with a recall), a recall with the changed weights, and adds the pattern's squared error.
// The recall after the step on p and the recall that starts the Delta step on p+1 read
// the same weights, so one pass can update the weights and form both sums. Output units
// never see each other, so each block of eight outputs runs through all patterns while
// its weights stay in cache, and blocks can run on several threads. Every double
// operation is the one the plain loops would do, in the same order: the results are
// identical to the bit, for any thread count.

#include <cstddef>
#include <vector>

#include "core/arithmetic.h"
#include "core/network_state.h"

namespace core {

class EpochKernel {
  public:
    // Threads to use for large problems; 0 means one per processor.
    explicit EpochKernel(int threads = 0);

    // One epoch over all patterns in order. On success the weights, units and Change
    // factors are those the plain steps leave and net.TotalSSE is the epoch's total. On
    // Overflow the network (TotalSSE included) is exactly as before the call.
    // Allocates only on the first call for a network of new sizes.
    [[nodiscard]] ArithStatus trainEpoch(PublicStuff& net, bool hebb);

  private:
    void prepare(const PublicStuff& net);
    bool runBlocks(PublicStuff& net, bool hebb, int firstBlock, int endBlock, bool fold);

    int m_threads;
    // Sizes the buffers were made for.
    int m_inputs = -1;
    int m_outputs = -1;
    int m_patterns = -1;
    double m_rate = 0.0;
    std::vector<double> m_changeInput;                // LearningRate * x(i, p), pattern by pattern
    std::vector<ConnectionMatrix::Block> m_snapshot;  // the weights at the epoch's start
    std::vector<double> m_patternSSE;                 // per pattern
    std::vector<double> m_errors;  // per pattern and output, when several threads run
    // Recall of pattern 1 under the current weights, left by the last epoch (Delta). Valid
    // while nothing else changes the weights, i.e. within one training run: make one
    // kernel per run.
    std::vector<double> m_nextNet;
    bool m_nextNetValid = false;
    // Results of the last pattern, committed when the epoch succeeds.
    std::vector<double> m_lastNet;
    std::vector<double> m_lastError;
    std::vector<double> m_lastOutput;  // the output activation the last step used
    std::vector<double> m_newNextNet;
};

}  // namespace core

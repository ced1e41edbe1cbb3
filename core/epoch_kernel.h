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

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/arithmetic.h"
#include "core/network_state.h"
#include "core/overflow_bound.h"
#include "core/progress.h"
#include "core/worker_pool.h"

namespace core {

namespace epoch {
struct Kernels;
}

class EpochKernel {
  public:
    // Threads to use for large problems; 0 means one per processor.
    explicit EpochKernel(int threads = 0);
    // With a given set of kernels and blocks per group (1..4; 0 picks by size), so that
    // tests can run every variant on any problem.
    EpochKernel(int threads, const epoch::Kernels& kernels, int groupBlocks);

    // One epoch over all patterns in order. On success the weights, units and Change
    // factors are those the plain steps leave and net.TotalSSE is the epoch's total. On
    // Overflow or OutOfMemory the network (TotalSSE included) is exactly as before the
    // call. An epoch that provably cannot overflow runs without copying the weights.
    // Allocates only on the first call for a network of new sizes. The patterns must not
    // change between calls: make one kernel per training run.
    [[nodiscard]] ArithStatus trainEpoch(PublicStuff& net, bool hebb);

    // Counts finished groups of output blocks (each a share of the epoch's work) into
    // `progress` (nullptr: none) from the next epoch on; each epoch starts it again from
    // zero. `progress` must outlive the kernel's epochs.
    void setProgress(Progress* progress) { m_progress = progress; }

    // Whether the last epoch was proven free of overflow (and so ran without a snapshot),
    // and the bytes the snapshot holds now.
    bool lastEpochProvenSafe() const { return !m_takeSnapshot; }
    std::size_t snapshotBytes() const {
        return m_snapshot.size() * sizeof(ConnectionMatrix::Block);
    }

  private:
    void prepare(const PublicStuff& net);
    void listActiveInputs(const PublicStuff& net, bool hebb);
    bool runGroups(PublicStuff& net, bool hebb, int firstGroup, int endGroup);
    void foldGroup(int group, int slot, int outputs, int patterns);
    bool provenSafe(const PublicStuff& net, bool hebb);

    int m_threads;
    Progress* m_progress = nullptr;
    std::unique_ptr<WorkerPool> m_pool;  // started by the first epoch that can use it
    std::vector<char> m_threadFinite;    // per thread of the pool
    const epoch::Kernels* m_kernels;
    int m_fixedGroupBlocks = 0;
    // Sizes the buffers were made for.
    int m_inputs = -1;
    int m_outputs = -1;
    int m_patterns = -1;
    double m_rate = 0.0;
    int m_groupBlocks = 1;  // weight blocks run together through the patterns
    int m_groups = 0;
    std::vector<double> m_changeInput;  // LearningRate * x(i, p), pattern by pattern
    std::vector<double> m_desiredTail;  // the last group's targets, zero-padded
    // Inputs each pass must visit, when enough are zero to be worth skipping (see
    // epoch::GroupJob::active), for the rule they were listed for.
    std::vector<std::int32_t> m_active;
    std::vector<std::size_t> m_activeStart;
    int m_activeListedFor = -1;  // 0 Delta, 1 Hebb, -1 not yet
    bool m_skipZeroInputs = true;
    // Weights at the epoch's start, copied only when the epoch cannot be proven free of
    // overflow (made on first need).
    std::vector<ConnectionMatrix::Block> m_snapshot;
    bool m_takeSnapshot = true;
    OverflowBound m_bound;
    double m_weightBound = -1.0;             // bounds |weight| now; -1 until first read
    double m_provenBound = -1.0;             // epochs are proven safe from weights up to this bound
    int m_provenRule = -1;                   // for this rule (0 Delta, 1 Hebb), -1 for none
    std::vector<double> m_outputMax;         // per group slot and pattern, from the kernel
    std::vector<double> m_patternOutputMax;  // per pattern, over all groups
    std::vector<double> m_patternSSE;        // per pattern
    // Errors per pattern and output of a group: one slot per group when several threads
    // run (folded in order after they finish), else one slot folded after each group.
    std::vector<double> m_errors;
    bool m_slotPerGroup = false;
    // Recall of pattern 1 under the current weights, left by the last epoch (Delta). Valid
    // while nothing else changes the weights, i.e. within one training run: make one
    // kernel per run.
    std::vector<double> m_recallNext;
    bool m_recallNextValid = false;
    // This epoch's results, committed when it succeeds.
    std::vector<double> m_newRecallNext;
    std::vector<double> m_lastRecall;
    std::vector<double> m_lastError;
    std::vector<double> m_lastOutput;  // the output activation the last step used
};

}  // namespace core

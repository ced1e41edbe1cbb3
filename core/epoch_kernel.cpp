#include "core/epoch_kernel.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <thread>

#include <unistd.h>

#include "core/epoch_group.h"
#include "core/overflow_bound.h"

namespace core {

namespace {

using Block = ConnectionMatrix::Block;
using epoch::GroupLanes;
using epoch::Lanes;

std::size_t ui(int k) {
    return static_cast<std::size_t>(k);
}

// Errors of every group and pattern are kept for parallel runs up to this size; larger
// problems run their groups one after another on one thread.
constexpr std::size_t MaxErrorBytes = std::size_t{64} << 20;

// Epochs with fewer connection-patterns than this are too short to pay for threads.
constexpr double MinThreadedWork = double(1 << 22);

// Bytes of weights a group may hold and still stay in the first-level data cache beside
// the pattern rows a pass reads: two thirds of that cache.
std::size_t L1Budget() {
    static const std::size_t budget = [] {
        const long size = sysconf(_SC_LEVEL1_DCACHE_SIZE);
        return (size > 0 ? static_cast<std::size_t>(size) : std::size_t{32} << 10) * 2 / 3;
    }();
    return budget;
}

// Blocks per group. A group whose weights stay in the first-level cache runs at the
// speed of its arithmetic, and more blocks per group keep more independent sums going;
// a group too large for that cache streams from the next level, where four blocks side
// by side do best.
int groupBlocksFor(int inputs) {
    const std::size_t blockBytes = ui(inputs) * sizeof(Block);
    int blocks = epoch::GroupBlocks;
    while (blocks > 1 && ui(blocks) * blockBytes > L1Budget()) {
        blocks /= 2;
    }
    return blockBytes > L1Budget() ? epoch::GroupBlocks : blocks;
}

}  // namespace

EpochKernel::EpochKernel(int threads) : EpochKernel(threads, epoch::ChosenKernels(), 0) {}

EpochKernel::EpochKernel(int threads, const epoch::Kernels& kernels, int groupBlocks)
    : m_threads(threads > 0 ? threads
                            : std::max(1, static_cast<int>(std::thread::hardware_concurrency()))),
      m_kernels(&kernels),
      m_fixedGroupBlocks(std::clamp(groupBlocks, 0, epoch::GroupBlocks)) {}

void EpochKernel::prepare(const PublicStuff& net) {
    const int n = net.NumInputs;
    const int m = net.NumOutputs;
    const int patterns = net.NumPatterns;
    const int blocks = net.Weights.blocks();
    const bool resized = n != m_inputs || m != m_outputs || patterns != m_patterns;
    if (m_inputs < 0) {
        // Skipping zero inputs leaves every weight as the step would only while no weight
        // is -0 (-0 + +0 is +0). Training never makes one, so this holds for a run that
        // starts without.
        for (int b = 0; b < net.Weights.blocks() && m_skipZeroInputs; ++b) {
            const Block* w = net.Weights.block(b);
            for (int i = 0; i < n && m_skipZeroInputs; ++i) {
                for (const double v : w[i].lane) {
                    m_skipZeroInputs = m_skipZeroInputs && !(v == 0.0 && std::signbit(v));
                }
            }
        }
    }
    if (resized) {
        m_activeListedFor = -1;
        m_groupBlocks = m_fixedGroupBlocks > 0 ? m_fixedGroupBlocks : groupBlocksFor(n);
        const int groups = (blocks + m_groupBlocks - 1) / m_groupBlocks;
        m_groups = groups;
        m_changeInput.assign(ui(patterns) * ui(n), 0.0);
        m_snapshot.clear();  // made when an epoch first needs one
        m_snapshot.shrink_to_fit();
        m_patternSSE.assign(ui(patterns) + 1, 0.0);
        m_patternOutputMax.assign(ui(patterns), 0.0);
        const std::size_t padded = ui(groups) * GroupLanes;
        m_recallNext.assign(padded, 0.0);
        m_newRecallNext.assign(padded, 0.0);
        m_lastRecall.assign(padded, 0.0);
        m_lastError.assign(padded, 0.0);
        m_lastOutput.assign(padded, 0.0);
        const std::size_t slot = ui(patterns) * GroupLanes;
        m_slotPerGroup =
            m_threads > 1 && groups > 1 && ui(groups) * slot <= MaxErrorBytes / sizeof(double);
        m_errors.assign(m_slotPerGroup ? ui(groups) * slot : slot, 0.0);
        m_outputMax.assign((m_slotPerGroup ? ui(groups) : 1) * ui(patterns), 0.0);
        // The last group's targets, padded with zeros to whole blocks.
        const int firstOutput = (groups - 1) * m_groupBlocks * Lanes + 1;
        m_desiredTail.assign(slot, 0.0);
        for (int p = 1; p <= patterns; ++p) {
            std::copy_n(
                net.DesiredOutputs.pattern(p) + firstOutput, m - firstOutput + 1,
                m_desiredTail.begin() + static_cast<std::ptrdiff_t>(ui(p - 1) * GroupLanes));
        }
        m_recallNextValid = false;
    }
    if (resized || net.LearningRate != m_rate ||
        std::signbit(net.LearningRate) != std::signbit(m_rate)) {
        // LearningRate * input activation, as every step computes it.
        for (int p = 1; p <= patterns; ++p) {
            const double* x = net.InputPatterns.pattern(p);
            double* c = m_changeInput.data() + ui(p - 1) * ui(n);
            for (int i = 1; i <= n; ++i) {
                c[i - 1] = net.LearningRate * x[i];
            }
        }
        m_rate = net.LearningRate;
        m_bound.prepare(net, m_changeInput.data());
        m_provenRule = -1;
    }
    m_inputs = n;
    m_outputs = m;
    m_patterns = patterns;
}

// Lists, pattern by pattern, the inputs a pass must visit: those not zero in the pattern
// or, for the Delta rule, in the next one (whose recall the pass also forms). Keeps no
// list when fewer than a tenth of the visits could be skipped.
void EpochKernel::listActiveInputs(const PublicStuff& net, bool hebb) {
    m_activeListedFor = hebb ? 1 : 0;
    m_active.clear();
    m_activeStart.clear();
    if (!m_skipZeroInputs) {
        return;
    }
    const int n = net.NumInputs;
    const int patterns = net.NumPatterns;
    auto active = [&](int p, int i) {  // p from 0, i from 0
        const int next = p + 1 == patterns ? 0 : p + 1;
        return net.InputPatterns(i + 1, p + 1) != 0.0 ||
               (!hebb && net.InputPatterns(i + 1, next + 1) != 0.0);
    };
    std::size_t total = 0;
    for (int p = 0; p < patterns; ++p) {
        for (int i = 0; i < n; ++i) {
            total += active(p, i) ? 1 : 0;
        }
    }
    if (total * 10 > ui(patterns) * ui(n) * 9) {
        return;
    }
    m_active.reserve(total);
    m_activeStart.reserve(ui(patterns) + 1);
    for (int p = 0; p < patterns; ++p) {
        m_activeStart.push_back(m_active.size());
        for (int i = 0; i < n; ++i) {
            if (active(p, i)) {
                m_active.push_back(i);
            }
        }
    }
    m_activeStart.push_back(m_active.size());
}

// Adds the squared errors of one group's outputs (in slot `slot`) to each pattern's sum:
// outputs in increasing order, groups in increasing order, as the plain sum runs; and
// keeps each pattern's largest |output activation|.
void EpochKernel::foldGroup(int group, int slot, int outputs, int patterns) {
    const int groupLanes = m_groupBlocks * Lanes;
    const int lanes = std::min(groupLanes, outputs - group * groupLanes);
    const double* errors = m_errors.data() + ui(slot) * ui(patterns) * GroupLanes;
    const double* outputMax = m_outputMax.data() + ui(slot) * ui(patterns);
    for (int p = 0; p < patterns; ++p) {
        m_patternOutputMax[ui(p)] = std::max(m_patternOutputMax[ui(p)], outputMax[p]);
        const double* e = errors + ui(p) * GroupLanes;
        double sse = m_patternSSE[ui(p) + 1];
        for (int k = 0; k < lanes; ++k) {
            sse = sse + e[k] * e[k];
        }
        m_patternSSE[ui(p) + 1] = sse;
    }
}

// Whether the coming epoch provably keeps every value finite, so that it needs no
// snapshot. The bound carried from the last epoch grows with every epoch; when it no
// longer proves anything, the weights themselves give a fresh one. Every bound of the
// proof grows with the weight bound, so a proof for twice the bound covers the epochs
// until the bound has doubled, and most epochs need no proof of their own.
bool EpochKernel::provenSafe(const PublicStuff& net, bool hebb) {
    const int rule = hebb ? 1 : 0;
    if (m_weightBound < 0.0) {
        m_weightBound = OverflowBound::largestWeight(net.Weights);
    }
    if (m_provenRule == rule && m_weightBound <= m_provenBound) {
        return true;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        for (const double bound : {2.0 * m_weightBound, m_weightBound}) {
            if (m_bound.provesSafe(bound, hebb)) {
                m_provenBound = bound;
                m_provenRule = rule;
                return true;
            }
        }
        m_weightBound = OverflowBound::largestWeight(net.Weights);
    }
    return false;
}

// Runs groups [firstGroup, endGroup) through every pattern. Returns false when any value
// was not finite; every group still runs, so the snapshot covers all of them.
bool EpochKernel::runGroups(PublicStuff& net, bool hebb, int firstGroup, int endGroup) {
    const epoch::Kernels& kernels = *m_kernels;
    const int n = net.NumInputs;
    const int m = net.NumOutputs;
    const int patterns = net.NumPatterns;
    const int blocks = net.Weights.blocks();
    bool finite = true;
    for (int group = firstGroup; group < endGroup; ++group) {
        const int b0 = group * m_groupBlocks;
        const int count = std::min(m_groupBlocks, blocks - b0);
        Block* weights = net.Weights.block(b0);
        if (m_takeSnapshot) {
            std::copy_n(weights, ui(count) * ui(n), m_snapshot.data() + ui(b0) * ui(n));
        }
        const std::size_t lane0 = ui(b0) * Lanes;
        const int firstOutput = b0 * Lanes + 1;
        const bool whole = m - firstOutput + 1 >= count * Lanes;
        const int slot = m_slotPerGroup ? group : 0;
        double* errors = m_errors.data() + ui(slot) * ui(patterns) * GroupLanes;

        epoch::GroupJob job{};
        job.weights = weights;
        job.blocks = count;
        job.inputs = n;
        job.patterns = patterns;
        job.changeInput = m_changeInput.data();
        job.input = net.InputPatterns.pattern(1) + 1;
        job.inputStride = net.InputPatterns.stride();
        job.desired = whole ? net.DesiredOutputs.pattern(1) + firstOutput : m_desiredTail.data();
        job.desiredStride = whole ? net.DesiredOutputs.stride() : GroupLanes;
        job.recallNext = m_newRecallNext.data() + lane0;
        job.active = m_active.empty() ? nullptr : m_active.data();
        job.activeStart = m_activeStart.empty() ? nullptr : m_activeStart.data();
        job.errors = errors;
        job.outputMax = m_outputMax.data() + ui(slot) * ui(patterns);
        job.lastRecall = m_lastRecall.data() + lane0;
        job.lastOutput = m_lastOutput.data() + lane0;
        if (!hebb) {
            if (m_recallNextValid) {
                std::copy_n(m_recallNext.data() + lane0, count * Lanes, job.recallNext);
            } else {
                kernels.recall[count - 1](weights, n, job.input, job.recallNext);
            }
        }
        finite = kernels.epoch[hebb ? 1 : 0][count - 1](job) && finite;
        std::copy_n(errors + ui(patterns - 1) * GroupLanes, count * Lanes,
                    m_lastError.data() + lane0);
        if (!m_slotPerGroup) {
            foldGroup(group, 0, m, patterns);
        }
        if (m_progress != nullptr) {
            m_progress->addDone(1);
        }
    }
    return finite;
}

ArithStatus EpochKernel::trainEpoch(PublicStuff& net, bool hebb) {
    if (!net.NetworkMatchesProblem()) {
        return ArithStatus::BadArguments;
    }
    try {
        prepare(net);
        if (m_activeListedFor != (hebb ? 1 : 0)) {
            listActiveInputs(net, hebb);
        }
        if (m_slotPerGroup && m_pool == nullptr) {
            m_pool = std::make_unique<WorkerPool>(m_threads);
            m_threadFinite.assign(ui(m_pool->size()), 1);
        }
        m_takeSnapshot = !provenSafe(net, hebb);
        if (m_takeSnapshot && m_snapshot.empty()) {
            m_snapshot.assign(ui(net.Weights.blocks()) * ui(net.NumInputs), Block{});
        }
    } catch (const std::bad_alloc&) {
        m_inputs = -1;  // start afresh next time
        m_outputs = -1;
        m_patterns = -1;
        m_activeListedFor = -1;
        return ArithStatus::OutOfMemory;
    }
    const int groups = m_groups;
    if (m_progress != nullptr) {
        m_progress->setDone(0);
        m_progress->setTotal(groups);
    }
    std::fill(m_patternSSE.begin(), m_patternSSE.end(), 0.0);
    std::fill(m_patternOutputMax.begin(), m_patternOutputMax.end(), 0.0);

    const double work = static_cast<double>(net.NumInputs) * net.NumOutputs * net.NumPatterns;
    const int threads =
        !m_slotPerGroup || work < MinThreadedWork || !m_pool ? 1 : std::min(m_pool->size(), groups);
    bool finite = true;
    if (threads == 1) {
        finite = runGroups(net, hebb, 0, groups);
        if (m_slotPerGroup) {
            for (int g = 0; g < groups; ++g) {
                foldGroup(g, g, net.NumOutputs, net.NumPatterns);
            }
        }
    } else {
        // Contiguous ranges of groups; each thread writes only its own groups' data.
        std::fill(m_threadFinite.begin(), m_threadFinite.end(), 1);
        m_pool->run([this, &net, hebb, groups, threads](int t) {
            if (t < threads) {
                const int first = groups * t / threads;
                const int end = groups * (t + 1) / threads;
                m_threadFinite[ui(t)] = runGroups(net, hebb, first, end) ? 1 : 0;
            }
        });
        finite = std::all_of(m_threadFinite.begin(), m_threadFinite.end(),
                             [](char v) { return v != 0; });
        for (int g = 0; finite && g < groups; ++g) {
            foldGroup(g, g, net.NumOutputs, net.NumPatterns);
        }
    }

    double total = 0.0;
    for (int p = 1; finite && p <= net.NumPatterns; ++p) {
        total = total + m_patternSSE[ui(p)];
        finite = std::isfinite(total);
    }
    if (!finite) {
        // Only an epoch that was not proven safe can get here, and it took a snapshot.
        std::copy(m_snapshot.begin(), m_snapshot.end(), net.Weights.block(0));
        return ArithStatus::Overflow;
    }
    m_weightBound = m_bound.after(m_weightBound, m_patternOutputMax);

    // Commit what the plain steps would have left: the last pattern's activations, its
    // recall, and the Change factors of its learning step.
    const int last = net.NumPatterns;
    const double* x = net.InputPatterns.pattern(last);
    for (int i = 1; i <= net.NumInputs; ++i) {
        net.InputUnits[ui(i)].Activation = x[i];
    }
    for (int j = 1; j <= net.NumOutputs; ++j) {
        UnitRecord& unit = net.OutputUnits[ui(j)];
        unit.NetInput = m_lastRecall[ui(j - 1)];
        unit.Activation = unit.NetInput;
        unit.Error = m_lastError[ui(j - 1)];
    }
    net.Weights.setChangeFactorsFromUnit1(m_changeInput.data() + ui(last - 1) * ui(net.NumInputs),
                                          m_lastOutput.data());
    net.Weights.forgetBound();
    if (!hebb) {
        m_recallNext.swap(m_newRecallNext);
        m_recallNextValid = true;
    }
    net.TotalSSE = total;
    return ArithStatus::Ok;
}

}  // namespace core

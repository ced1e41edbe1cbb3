#include "core/pattern_recall.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>

#include "core/epoch_group.h"

namespace core {

namespace {

// Recalls with fewer connection-patterns than this run on the calling thread alone.
constexpr double MinThreadedWork = double(1 << 21);

bool isFinite(double v) {
    return std::abs(v) <= std::numeric_limits<double>::max();
}

std::size_t ui(int k) {
    return static_cast<std::size_t>(k);
}

// Groups [group, endGroup) through every pattern of the recall.
void recallGroups(const PublicStuff& net, int first, int count, double* netInputs, double* errors,
                  int group, int endGroup) {
    const epoch::Kernels& kernels = epoch::ChosenKernels();
    const int outputs = net.NumOutputs;
    const std::size_t stride = ui(outputs) + 1;
    alignas(64) double sums[epoch::GroupLanes];
    for (; group < endGroup; ++group) {
        const int b0 = group * epoch::GroupBlocks;
        const int blocks = std::min(epoch::GroupBlocks, net.Weights.blocks() - b0);
        const int firstOutput = b0 * epoch::Lanes + 1;
        const int lanes = std::min(blocks * epoch::Lanes, outputs - firstOutput + 1);
        for (int g = 0; g < count; ++g) {
            kernels.recall[blocks - 1](net.Weights.block(b0), net.NumInputs,
                                       net.InputPatterns.pattern(first + g) + 1, sums);
            const double* d = net.DesiredOutputs.pattern(first + g) + firstOutput;
            double* sum = netInputs + ui(g) * stride + ui(firstOutput);
            double* error = errors + ui(g) * stride + ui(firstOutput);
            for (int k = 0; k < lanes; ++k) {
                sum[k] = sums[k];
                error[k] = d[k] - sums[k];
            }
        }
    }
}

}  // namespace

PatternRecall::PatternRecall(int threads)
    : m_threads(threads > 0 ? threads
                            : std::max(1, static_cast<int>(std::thread::hardware_concurrency()))) {}

PatternRecall::PatternRecall(WorkerPool& pool) : m_threads(pool.size()), m_borrowed(&pool) {}

WorkerPool* PatternRecall::pool() {
    if (m_borrowed != nullptr) {
        return m_borrowed;
    }
    if (!m_pool) {
        m_pool = std::make_unique<WorkerPool>(m_threads);
    }
    return m_pool.get();
}

int PatternRecall::recall(const PublicStuff& net, int first, int count, double* netInputs,
                          double* errors) {
    const int groups = (net.Weights.blocks() + epoch::GroupBlocks - 1) / epoch::GroupBlocks;
    const double work = static_cast<double>(net.NumInputs) * net.NumOutputs * count;
    if (m_threads > 1 && groups > 1 && work >= MinThreadedWork) {
        WorkerPool& threads = *pool();
        const int used = std::min(threads.size(), groups);
        // Contiguous ranges of groups: each thread writes only its own outputs' values.
        threads.run([&](int t) {
            if (t < used) {
                recallGroups(net, first, count, netInputs, errors, groups * t / used,
                             groups * (t + 1) / used);
            }
        });
    } else {
        recallGroups(net, first, count, netInputs, errors, 0, groups);
    }
    const std::size_t stride = ui(net.NumOutputs) + 1;
    for (int g = 0; g < count; ++g) {
        const double* sum = netInputs + ui(g) * stride;
        const double* error = errors + ui(g) * stride;
        bool finite = true;
        for (int j = 1; j <= net.NumOutputs; ++j) {
            finite = finite && isFinite(sum[j]) && isFinite(error[j]);
        }
        if (!finite) {
            return g;
        }
    }
    return count;
}

}  // namespace core

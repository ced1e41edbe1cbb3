#include "core/pattern_recall.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "core/arithmetic.h"

namespace core {

namespace {

// Recalls with fewer connection-patterns than this run on the calling thread alone.
constexpr double MinThreadedWork = double(1 << 21);

}  // namespace

PatternRecall::PatternRecall(int threads)
    : m_threads(threads > 0 ? threads
                            : std::max(1, static_cast<int>(std::thread::hardware_concurrency()))) {}

int PatternRecall::recall(const PublicStuff& net, int first, int count, double* netInputs,
                          double* errors) {
    const auto stride = static_cast<std::size_t>(net.NumOutputs) + 1;
    const int runs = (count + RecallManyMax - 1) / RecallManyMax;
    // finite[k]: patterns of run k recalled with finite values.
    std::vector<int> finite(static_cast<std::size_t>(runs), 0);
    auto recallRun = [&](int k) {
        const int offset = k * RecallManyMax;
        const auto at = static_cast<std::size_t>(offset) * stride;
        finite[static_cast<std::size_t>(k)] =
            RecallManyInto(net, first + offset, std::min(RecallManyMax, count - offset),
                           netInputs + at, errors + at);
    };
    const double work = static_cast<double>(net.NumInputs) * net.NumOutputs * count;
    if (m_threads > 1 && runs > 1 && work >= MinThreadedWork) {
        if (!m_pool) {
            m_pool = std::make_unique<WorkerPool>(m_threads);
        }
        // Runs taken one by one, so that a thread the system holds back delays one run.
        std::atomic<int> next = 0;
        m_pool->run([&](int) {
            for (int k = next++; k < runs; k = next++) {
                recallRun(k);
            }
        });
    } else {
        for (int k = 0; k < runs; ++k) {
            recallRun(k);
        }
    }
    for (int k = 0; k < runs; ++k) {
        const int size = std::min(RecallManyMax, count - k * RecallManyMax);
        if (finite[static_cast<std::size_t>(k)] < size) {
            return k * RecallManyMax + finite[static_cast<std::size_t>(k)];
        }
    }
    return count;
}

}  // namespace core

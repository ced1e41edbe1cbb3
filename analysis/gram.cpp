// Column blocks of a fixed width, each one matrix product, shared out between the cores:
// every block is worked out the same way whichever thread takes it, so the result does
// not depend on the number of threads.

#include "analysis/gram.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "analysis/dense_kernels.h"
#include "core/worker_pool.h"

namespace analysis {

namespace {

constexpr Eigen::Index kColumns = 128;
// Below this many multiply-adds one thread is quicker than waking another.
constexpr double kThreadedWork = 2e7;

}  // namespace

const DenseKernels& denseKernels() {
    // Each table's functions may use its instructions, so the AVX2 one is touched only
    // after the processor check.
    static const DenseKernels* const best = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") ? &avx2::kernels : &baseline::kernels;
    }();
    return *best;
}

Eigen::MatrixXd gramOf(const Eigen::MatrixXd& x) {
    const Eigen::Index n = x.cols();
    Eigen::MatrixXd gram(n, n);
    const DenseKernels& k = denseKernels();
    const Eigen::Index blocks = (n + kColumns - 1) / kColumns;
    std::atomic<Eigen::Index> next{0};
    auto work = [&](int) {
        for (Eigen::Index b = next++; b < blocks; b = next++) {
            const Eigen::Index first = b * kColumns;
            k.gramColumns(x.data(), x.rows(), n, x.rows(), first, std::min(kColumns, n - first),
                          gram.data(), n);
        }
    };
    const double columns = static_cast<double>(n);
    const double multiplyAdds = static_cast<double>(x.rows()) * columns * columns / 2.0;
    if (multiplyAdds < kThreadedWork || std::thread::hardware_concurrency() < 2) {
        work(0);
    } else {
        core::WorkerPool pool(2);
        pool.run(work);
    }
    gram.triangularView<Eigen::StrictlyUpper>() = gram.transpose();
    return gram;
}

}  // namespace analysis

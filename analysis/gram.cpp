// The kernel table for this processor, the column blocks shared between the cores, and
// the Gram matrix made of them.

#include "analysis/gram.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "analysis/dense_kernels.h"
#include "core/worker_pool.h"

namespace analysis {

namespace {

constexpr std::ptrdiff_t kColumns = 128;
// Below this many multiply-adds one thread is quicker than waking another.
constexpr double kThreadedWork = 2e7;

}  // namespace

const DenseKernels& DenseKernelsFor(core::CpuPath path) {
    // Each table's functions may use its instructions: callers name only a path the
    // processor has.
    return path == core::CpuPath::Baseline ? baseline::kernels : avx2::kernels;
}

const DenseKernels& ChosenDenseKernels() {
    return DenseKernelsFor(core::ChosenCpuPath());
}

void ForColumnBlocks(std::ptrdiff_t n, double multiplyAdds,
                     const std::function<void(std::ptrdiff_t, std::ptrdiff_t)>& work) {
    const std::ptrdiff_t blocks = (n + kColumns - 1) / kColumns;
    std::atomic<std::ptrdiff_t> next{0};
    auto share = [&](int) {
        for (std::ptrdiff_t b = next++; b < blocks; b = next++) {
            work(b * kColumns, std::min<std::ptrdiff_t>(kColumns, n - b * kColumns));
        }
    };
    if (multiplyAdds < kThreadedWork || std::thread::hardware_concurrency() < 2) {
        share(0);
    } else {
        core::WorkerPool pool(2);
        pool.run(share);
    }
}

Eigen::MatrixXd GramOf(const Eigen::MatrixXd& x) {
    const Eigen::Index n = x.cols();
    Eigen::MatrixXd gram(n, n);
    const DenseKernels& k = ChosenDenseKernels();
    const double columns = static_cast<double>(n);
    ForColumnBlocks(n, static_cast<double>(x.rows()) * columns * columns / 2.0,
                    [&](std::ptrdiff_t first, std::ptrdiff_t count) {
                        k.gramColumns(x.data(), x.rows(), n, x.rows(), first, count, gram.data(),
                                      n);
                    });
    gram.triangularView<Eigen::StrictlyUpper>() = gram.transpose();
    return gram;
}

}  // namespace analysis

#pragma once

// Matrix products for the analysis, built for AVX2 and for plain x86-64, run on the
// chosen path (core/cpu_path.h; AVX-512 processors take the AVX2 build). Internal to the
// analysis library.
//
// Each build includes Eigen with its namespace renamed (dense_body.inc), so that no
// template compiled with AVX2 instructions can stand in for one of the plain build.

#include <cstddef>
#include <functional>

#include "core/cpu_path.h"

namespace analysis {

struct DenseKernels {
    const char* name;
    // g(j, k) = x_j . x_k for j >= first and first <= k < first + count, the rows from
    // `first` on: x is rows x cols, column-major with leading dimension ldx, g cols x cols
    // with leading dimension ldg.
    void (*gramColumns)(const double* x, std::ptrdiff_t rows, std::ptrdiff_t cols,
                        std::ptrdiff_t ldx, std::ptrdiff_t first, std::ptrdiff_t count, double* g,
                        std::ptrdiff_t ldg);
    // a(j, k) -= y_j . y_k for the same j and k, y the rows of a n x width panel with
    // leading dimension ldy, a n x n with leading dimension lda.
    void (*downdateColumns)(double* a, std::ptrdiff_t lda, std::ptrdiff_t n, const double* y,
                            std::ptrdiff_t ldy, std::ptrdiff_t width, std::ptrdiff_t first,
                            std::ptrdiff_t count);
    // v -= y t y' v: one run of the epoch map's factors applied to every column of v, y the
    // run's k patterns (n x k, leading dimension ldy), t k x k upper triangular (leading
    // dimension k), v n x m with leading dimension ldv.
    void (*applyRun)(const double* y, std::ptrdiff_t ldy, std::ptrdiff_t n, std::ptrdiff_t k,
                     const double* t, double* v, std::ptrdiff_t ldv, std::ptrdiff_t m);
};

// Calls work(first, count) for column blocks of a fixed width covering [0, n), on both
// cores when `multiplyAdds` makes that worth it. Each block is worked out the same way
// whichever thread takes it, so results do not depend on the number of threads.
void ForColumnBlocks(std::ptrdiff_t n, double multiplyAdds,
                     const std::function<void(std::ptrdiff_t, std::ptrdiff_t)>& work);

// The set of the chosen path.
const DenseKernels& ChosenDenseKernels();
// The set of `path`, which the processor must have.
const DenseKernels& DenseKernelsFor(core::CpuPath path);

namespace avx2 {
extern const DenseKernels kernels;
}
namespace baseline {
extern const DenseKernels kernels;
}

}  // namespace analysis

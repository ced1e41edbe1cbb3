#pragma once

// Matrix products for the analysis, built for AVX2 and for plain x86-64 and picked at run
// time. Internal to the analysis library.
//
// Each build includes Eigen with its namespace renamed (dense_body.inc), so that no
// template compiled with AVX2 instructions can stand in for one of the plain build.

#include <cstddef>

namespace analysis {

struct DenseKernels {
    const char* name;
    // g(j, k) = x_j . x_k for j >= first and first <= k < first + count, the rows from
    // `first` on: x is rows x cols, column-major with leading dimension ldx, g cols x cols
    // with leading dimension ldg.
    void (*gramColumns)(const double* x, std::ptrdiff_t rows, std::ptrdiff_t cols,
                        std::ptrdiff_t ldx, std::ptrdiff_t first, std::ptrdiff_t count, double* g,
                        std::ptrdiff_t ldg);
};

// The fastest set this processor runs.
const DenseKernels& denseKernels();

namespace avx2 {
extern const DenseKernels kernels;
}
namespace baseline {
extern const DenseKernels kernels;
}

}  // namespace analysis

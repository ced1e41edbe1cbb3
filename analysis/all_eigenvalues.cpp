#include "analysis/all_eigenvalues.h"

#include <dlfcn.h>
#include <lapacke.h>

#include <limits>
#include <mutex>
#include <vector>

namespace analysis {

namespace {

// Where the BLAS in use is OpenBLAS, each solve would start a thread per core. The QR
// algorithm gains almost nothing from them (3.7 s against 4.0 s at rank 2048), and beside
// training or a second solve they spin against each other for the two cores: four
// solves side by side took twelve times as long. One thread each, the caller's.
void solveOnTheCallersThread() {
    static std::once_flag once;
    std::call_once(once, [] {
        using SetThreads = void (*)(int);
        if (void* set = dlsym(RTLD_DEFAULT, "openblas_set_num_threads")) {
            reinterpret_cast<SetThreads>(set)(1);
        }
    });
}

}  // namespace

std::optional<Eigen::VectorXcd> AllEigenvalues(Eigen::MatrixXd& m) {
    const Eigen::Index n = m.rows();
    if (n != m.cols() || n > std::numeric_limits<lapack_int>::max()) {
        return std::nullopt;
    }
    if (n == 0) {
        return Eigen::VectorXcd();
    }
    solveOnTheCallersThread();
    std::vector<double> real(static_cast<std::size_t>(n));
    std::vector<double> imaginary(static_cast<std::size_t>(n));
    const auto size = static_cast<lapack_int>(n);
    const lapack_int info = LAPACKE_dgeev(LAPACK_COL_MAJOR, 'N', 'N', size, m.data(), size,
                                          real.data(), imaginary.data(), nullptr, 1, nullptr, 1);
    if (info != 0) {
        return std::nullopt;
    }
    Eigen::VectorXcd values(n);
    for (Eigen::Index i = 0; i < n; ++i) {
        const auto at = static_cast<std::size_t>(i);
        values(i) = {real[at], imaginary[at]};
    }
    return values;
}

}  // namespace analysis

#include "analysis/all_eigenvalues.h"

#include <dlfcn.h>
#include <lapacke.h>

#include <limits>
#include <vector>

namespace analysis {

namespace {

using Dgeev = decltype(&LAPACKE_dgeev);

// LAPACK is opened the first time a solve needs it, not when the program starts. Where the
// BLAS beneath it is OpenBLAS, loading it starts a thread per core that spins for about a
// tenth of a second: on two cores that took a third of a short batch job's time, which
// never solves anything.
//
// The solve then runs on the caller's thread alone: the QR algorithm gains almost nothing
// from OpenBLAS's threads (3.7 s against 4.0 s at rank 2048), and beside training or a
// second solve they spin against each other for the two cores (four solves side by side
// took twelve times as long). Null when LAPACK cannot be loaded.
Dgeev OpenLapack() {
    static const Dgeev dgeev = [] {
        void* lapack = dlopen("liblapacke.so.3", RTLD_NOW | RTLD_LOCAL);
        if (lapack == nullptr) {
            return Dgeev{nullptr};
        }
        using SetThreads = void (*)(int);
        if (void* set = dlsym(lapack, "openblas_set_num_threads")) {
            reinterpret_cast<SetThreads>(set)(1);
        }
        return reinterpret_cast<Dgeev>(dlsym(lapack, "LAPACKE_dgeev"));
    }();
    return dgeev;
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
    const Dgeev dgeev = OpenLapack();
    if (dgeev == nullptr) {
        return std::nullopt;
    }
    std::vector<double> real(static_cast<std::size_t>(n));
    std::vector<double> imaginary(static_cast<std::size_t>(n));
    const auto size = static_cast<lapack_int>(n);
    const lapack_int info = dgeev(LAPACK_COL_MAJOR, 'N', 'N', size, m.data(), size, real.data(),
                                  imaginary.data(), nullptr, 1, nullptr, 1);
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

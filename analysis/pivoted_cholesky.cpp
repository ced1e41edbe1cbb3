// Blocked as LAPACK's pstrf is: a panel of columns at a time, each column updated only by
// the panel's earlier columns, then a symmetric rank-k update of the rest of the matrix
// in column blocks. Only the lower triangle is read (the blocks' diagonal squares are
// written whole).

#include "analysis/pivoted_cholesky.h"

#include "analysis/dense_kernels.h"

#include <Eigen/Dense>
#include <cmath>
#include <numeric>
#include <utility>

namespace analysis {

namespace {

using Matrix = Eigen::MatrixXd;
using Index = Eigen::Index;

constexpr Index kPanel = 64;

// Swaps patterns k < q (rows and columns) of the symmetric matrix held in the lower
// triangle of `a`, with the factor's finished columns to their left.
void swapSymmetric(Matrix& a, Index k, Index q) {
    if (k == q) {
        return;
    }
    a.row(k).head(k).swap(a.row(q).head(k));
    std::swap(a(k, k), a(q, q));
    for (Index j = k + 1; j < q; ++j) {
        std::swap(a(j, k), a(q, j));
    }
    const Index below = a.rows() - q - 1;
    a.col(k).tail(below).swap(a.col(q).tail(below));
}

}  // namespace

PivotedCholesky FactorPivotedCholesky(const Eigen::MatrixXd& gram, double tolerance) {
    const Index n = gram.rows();
    Matrix a = gram;
    std::vector<Index> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), Index{0});
    Eigen::VectorXd remaining = a.diagonal();
    Index rank = 0;
    bool done = n == 0;
    for (Index start = 0; start < n && !done; start += kPanel) {
        const Index end = std::min(n, start + kPanel);
        Index k = start;
        for (; k < end; ++k) {
            Index q = k;
            remaining.tail(n - k).maxCoeff(&q);
            q += k;
            if (!(remaining(q) > tolerance)) {
                done = true;
                break;
            }
            swapSymmetric(a, k, q);
            std::swap(remaining(k), remaining(q));
            std::swap(order[static_cast<std::size_t>(k)], order[static_cast<std::size_t>(q)]);
            const double pivot = std::sqrt(remaining(k));
            a(k, k) = pivot;
            const Index below = n - k - 1;
            if (below > 0) {
                if (k > start) {
                    a.col(k).tail(below).noalias() -=
                        a.block(k + 1, start, below, k - start) *
                        a.row(k).segment(start, k - start).transpose();
                }
                a.col(k).tail(below) /= pivot;
                remaining.tail(below) -= a.col(k).tail(below).cwiseAbs2();
            }
        }
        rank = k;
        const Index trailing = n - k;
        if (!done && trailing > 0) {
            const DenseKernels& kernels = ChosenDenseKernels();
            const Index width = k - start;
            const double t = static_cast<double>(trailing);
            ForColumnBlocks(trailing, t * t * static_cast<double>(width) / 2.0,
                            [&](Index first, Index count) {
                                kernels.downdateColumns(&a(k, k), n, trailing, &a(k, start), n,
                                                        width, first, count);
                            });
        }
    }
    const Matrix lower = a.leftCols(rank).triangularView<Eigen::Lower>();
    PivotedCholesky out;
    out.factor.resize(n, rank);
    for (Index i = 0; i < n; ++i) {
        out.factor.row(order[static_cast<std::size_t>(i)]) = lower.row(i);
    }
    if (rank < n) {
        // In pivot order the factor is [L1; L2]; [-L1^-T L2^T; I] spans its null space.
        Matrix kernel(n, n - rank);
        kernel.topRows(rank) =
            -lower.topRows(rank).transpose().triangularView<Eigen::Upper>().solve(
                lower.bottomRows(n - rank).transpose());
        kernel.bottomRows(n - rank).setIdentity();
        Matrix reordered(n, n - rank);
        for (Index i = 0; i < n; ++i) {
            reordered.row(order[static_cast<std::size_t>(i)]) = kernel.row(i);
        }
        const Eigen::HouseholderQR<Matrix> qr(reordered);
        out.nullBasis = qr.householderQ() * Matrix::Identity(n, n - rank);
    } else {
        out.nullBasis.resize(n, 0);  // n rows even when empty, so that products are defined
    }
    return out;
}

}  // namespace analysis

// One Delta epoch's map on the span and its leading eigenvalues.
//
// M(r) = (I - r c_1 c_1') (I - r c_2 c_2') ... (I - r c_P c_P'). A run of k factors equals
// I - Y T Y' with Y = [c_s .. c_s+k-1] and T upper triangular (as with Householder
// reflections), so M is applied a run at a time with matrix products and never formed
// above the dense solver's size.

#include <Eigen/Dense>
#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>

#include "analysis/span.h"

namespace analysis {

namespace {

using Matrix = Eigen::MatrixXd;
using Index = Eigen::Index;
using Complex = std::complex<double>;

constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
// Leading eigenvalues checked for convergence, and the Krylov basis kept between restarts.
constexpr Index kWanted = 8;
constexpr Index kBasis = 40;
constexpr int kRestarts = 300;
// A Ritz pair counts as converged when its residual is below this share of the radius.
constexpr double kResidual = 1e-12;

// T of each run at `rate`.
std::vector<Matrix> runFactors(const EpochMap& map, double rate) {
    std::vector<Matrix> factors;
    factors.reserve(map.runGram.size());
    for (const Matrix& gram : map.runGram) {
        const Index k = gram.rows();
        Matrix t = Matrix::Zero(k, k);
        Eigen::VectorXd column(k);
        for (Index j = 0; j < k; ++j) {
            t(j, j) = rate;
            if (j > 0) {
                column.head(j).noalias() =
                    t.topLeftCorner(j, j).triangularView<Eigen::Upper>() * gram.col(j).head(j);
                t.col(j).head(j) = -rate * column.head(j);
            }
        }
        factors.push_back(std::move(t));
    }
    return factors;
}

// M v for each column of v: the last run's factor acts first.
void applyRuns(const EpochMap& map, const std::vector<Matrix>& factors, Matrix& v) {
    Matrix projected;
    for (std::size_t run = factors.size(); run-- > 0;) {
        const Index start = static_cast<Index>(run) * kMapBlock;
        const auto y = map.c.middleCols(start, factors[run].rows());
        projected.noalias() = y.transpose() * v;
        projected = factors[run].triangularView<Eigen::Upper>() * projected;
        v.noalias() -= y * projected;
    }
}

std::vector<Index> byModulus(const Eigen::VectorXcd& values) {
    std::vector<Index> order(static_cast<std::size_t>(values.size()));
    std::iota(order.begin(), order.end(), Index{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](Index a, Index b) { return std::abs(values(a)) > std::abs(values(b)); });
    return order;
}

Eigenvalues denseEigenvalues(const EpochMap& map, const std::vector<Matrix>& factors) {
    Matrix m = Matrix::Identity(map.rank(), map.rank());
    applyRuns(map, factors, m);
    Eigenvalues out;
    out.products = static_cast<int>(map.rank());
    if (!m.allFinite()) {
        return out;
    }
    const Eigen::EigenSolver<Matrix> solver(m, false);
    if (solver.info() != Eigen::Success) {
        return out;
    }
    const Eigen::VectorXcd& values = solver.eigenvalues();
    for (const Index i : byModulus(values)) {
        out.leading.push_back(values(i));
    }
    out.ok = true;
    out.radius = std::abs(out.leading.front());
    // The QR algorithm is backward stable; an eigenvalue of a nearly defective M is then
    // good to about the square root of the rounding.
    out.error = 4.0 * std::sqrt(kEpsilon) * std::max(1.0, m.norm() / std::sqrt(map.rank()));
    return out;
}

// Krylov-Schur: Arnoldi with thick restarts that keep the invariant subspace of the
// leading Ritz values, until the top kWanted of them have converged.
Eigenvalues krylovSchur(const EpochMap& map, const std::vector<Matrix>& factors,
                        const Eigenvalues* warm) {
    const Index n = map.rank();
    const Index wanted = std::min(kWanted, n);
    const Index basis = std::min(n - 1, std::max(kBasis, 2 * wanted + 16));
    Matrix v(n, basis + 1);
    Matrix h = Matrix::Zero(basis + 1, basis);
    std::mt19937 rng(7);
    std::normal_distribution<double> normal;
    Eigen::VectorXd start = Eigen::VectorXd::NullaryExpr(n, [&] { return normal(rng); });
    if (warm != nullptr && warm->warm.rows() == n && warm->warm.cols() > 0) {
        start = warm->warm.rowwise().sum() + 1e-3 * start / std::sqrt(static_cast<double>(n));
    }
    v.col(0) = start.normalized();
    Index kept = 0;
    Eigenvalues out;
    Matrix w;
    for (int restart = 0; restart < kRestarts; ++restart) {
        Index size = basis;
        for (Index j = kept; j < basis; ++j) {
            w = v.col(j);
            applyRuns(map, factors, w);
            ++out.products;
            const auto done = v.leftCols(j + 1);
            Eigen::VectorXd coefficients = done.transpose() * w;
            w.noalias() -= done * coefficients;
            const Eigen::VectorXd again = done.transpose() * w;
            w.noalias() -= done * again;
            coefficients += again;
            h.col(j).head(j + 1) = coefficients;
            const double norm = w.norm();
            h(j + 1, j) = norm;
            if (!std::isfinite(norm)) {
                return out;
            }
            if (norm <= kEpsilon * coefficients.norm()) {  // an invariant subspace
                h(j + 1, j) = 0.0;
                size = j + 1;
                break;
            }
            v.col(j + 1) = w / norm;
        }
        const Matrix hm = h.topLeftCorner(size, size);
        const Eigen::RowVectorXd residualRow = h.row(size).head(size);
        const Eigen::EigenSolver<Matrix> solver(hm, true);
        if (solver.info() != Eigen::Success) {
            return out;
        }
        const Eigen::VectorXcd values = solver.eigenvalues();
        const Eigen::MatrixXcd vectors = solver.eigenvectors();
        const std::vector<Index> order = byModulus(values);
        const double scale = std::max(1.0, std::abs(values(order[0])));
        Index checked = std::min(wanted, size);
        if (checked < size && values(order[static_cast<std::size_t>(checked - 1)]).imag() != 0.0 &&
            std::conj(values(order[static_cast<std::size_t>(checked - 1)])) ==
                values(order[static_cast<std::size_t>(checked)])) {
            ++checked;  // keep a complex pair together
        }
        double worst = 0.0;
        for (Index i = 0; i < checked; ++i) {
            const Index at = order[static_cast<std::size_t>(i)];
            const Complex projected = residualRow.cast<Complex>().dot(vectors.col(at).conjugate());
            const double residual = std::abs(projected) / vectors.col(at).norm();
            worst = std::max(worst, residual);
        }
        if (worst <= kResidual * scale || size < basis || restart + 1 == kRestarts) {
            if (worst > kResidual * scale && size == basis) {
                return out;  // not converged
            }
            out.ok = true;
            for (const Index i : order) {
                out.leading.push_back(values(i));
            }
            out.radius = std::abs(out.leading.front());
            out.error = std::sqrt(std::max(worst, kEpsilon * scale) * scale);
            Matrix lead(n, checked);
            for (Index i = 0; i < checked; ++i) {
                lead.col(i) =
                    v.leftCols(size) * vectors.col(order[static_cast<std::size_t>(i)]).real();
            }
            out.warm = lead;
            return out;
        }
        // Keep about half the basis: the leading Ritz values, a complex pair whole.
        Index keep = std::min(size - 1, wanted + (basis - wanted) / 2);
        if (values(order[static_cast<std::size_t>(keep - 1)]).imag() != 0.0 && keep < size &&
            std::conj(values(order[static_cast<std::size_t>(keep - 1)])) ==
                values(order[static_cast<std::size_t>(keep)])) {
            ++keep;
        }
        Matrix real(size, keep);
        for (Index i = 0; i < keep; ++i) {
            const Index at = order[static_cast<std::size_t>(i)];
            const bool second =
                i > 0 && values(at).imag() != 0.0 &&
                values(order[static_cast<std::size_t>(i - 1)]) == std::conj(values(at));
            if (second) {
                real.col(i) = vectors.col(order[static_cast<std::size_t>(i - 1)]).imag();
            } else {
                real.col(i) = vectors.col(at).real();
            }
        }
        const Eigen::ColPivHouseholderQR<Matrix> qr(real);
        const Matrix y = qr.householderQ() * Matrix::Identity(size, keep);
        const Matrix schur = y.transpose() * hm * y;
        const Eigen::VectorXd last = v.col(size);
        v.leftCols(keep) = v.leftCols(size) * y;
        v.col(keep) = last;
        h.setZero();
        h.topLeftCorner(keep, keep) = schur;
        h.row(keep).head(keep) = residualRow * y;
        kept = keep;
    }
    return out;
}

}  // namespace

EpochMap makeEpochMap(const Eigen::MatrixXd& factor, Eigen::MatrixXd nullBasis,
                      const Eigen::MatrixXd& gram) {
    EpochMap map;
    map.c = factor.transpose();
    map.nullBasis = std::move(nullBasis);
    if (map.nullBasis.cols() > 0) {
        const Matrix coupled = gram.triangularView<Eigen::StrictlyUpper>() * map.nullBasis;
        map.nullCoupling.noalias() = map.nullBasis.transpose() * coupled;
    }
    map.squared = map.c.colwise().squaredNorm().transpose();
    for (Index start = 0; start < map.c.cols(); start += kMapBlock) {
        const Index k = std::min(kMapBlock, map.c.cols() - start);
        const auto y = map.c.middleCols(start, k);
        map.runGram.emplace_back(y.transpose() * y);
    }
    double largest = 0.0;
    double smallest = std::numeric_limits<double>::infinity();
    for (const double s : map.squared) {
        largest = std::max(largest, s);
        if (s > 0.0) {
            smallest = std::min(smallest, s);
        }
    }
    if (largest > 0.0) {
        map.surelyStable = 2.0 / largest;
        map.surelyGrows = 2.0 / smallest;
        map.determinantGrows = firstDeterminantGrowth(map);
    }
    return map;
}

void applyEpochMap(const EpochMap& map, double rate, Eigen::MatrixXd& v) {
    applyRuns(map, runFactors(map, rate), v);
}

Eigenvalues epochEigenvalues(const EpochMap& map, double rate, int denseRank,
                             const Eigenvalues* warm) {
    if (map.rank() == 0) {
        Eigenvalues none;
        none.ok = true;
        return none;
    }
    const std::vector<Matrix> factors = runFactors(map, rate);
    if (map.rank() <= denseRank || map.rank() <= kBasis) {
        return denseEigenvalues(map, factors);
    }
    return krylovSchur(map, factors, warm);
}

}  // namespace analysis

// One Delta epoch's map on the span and its eigenvalues.
//
// M(r) = (I - r c_1 c_1') (I - r c_2 c_2') ... (I - r c_P c_P'). A run of k factors equals
// I - Y T Y' with Y = [c_s .. c_s+k-1] and T upper triangular (as with Householder
// reflections), so M is applied a run at a time with matrix products.

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "analysis/all_eigenvalues.h"
#include "analysis/dense_kernels.h"
#include "analysis/span.h"

namespace analysis {

namespace {

using Matrix = Eigen::MatrixXd;
using Index = Eigen::Index;
using Complex = std::complex<double>;

constexpr double kEpsilon = std::numeric_limits<double>::epsilon();

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

// M v for each column of v: the last run's factor acts first. The products run on the
// AVX2 kernels where the processor has them: half the time of the plain build's.
void applyRuns(const EpochMap& map, const std::vector<Matrix>& factors, Matrix& v) {
    const DenseKernels& kernels = ChosenDenseKernels();
    for (std::size_t run = factors.size(); run-- > 0;) {
        const Index start = static_cast<Index>(run) * kMapBlock;
        kernels.applyRun(map.c.col(start).data(), map.c.rows(), map.c.rows(), factors[run].rows(),
                         factors[run].data(), v.data(), v.rows(), v.cols());
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
    if (!m.allFinite()) {
        return out;
    }
    // The QR algorithm is backward stable; an eigenvalue of a nearly defective M is then
    // good to about the square root of the rounding.
    const double error =
        4.0 * std::sqrt(kEpsilon) * std::max(1.0, m.norm() / std::sqrt(map.rank()));
    const std::optional<Eigen::VectorXcd> values = AllEigenvalues(m);
    if (!values) {
        return out;
    }
    for (const Index i : byModulus(*values)) {
        out.leading.push_back((*values)(i));
    }
    out.ok = true;
    out.radius = std::abs(out.leading.front());
    out.error = error;
    return out;
}

}  // namespace

EpochMap MakeEpochMap(const Eigen::MatrixXd& factor, Eigen::MatrixXd nullBasis,
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
        map.determinantGrows = FirstDeterminantGrowth(map);
    }
    return map;
}

void ApplyEpochMap(const EpochMap& map, double rate, Eigen::MatrixXd& v) {
    applyRuns(map, runFactors(map, rate), v);
}

Eigenvalues EpochEigenvalues(const EpochMap& map, double rate) {
    if (map.rank() == 0) {
        Eigenvalues none;
        none.ok = true;
        return none;
    }
    return denseEigenvalues(map, runFactors(map, rate));
}

}  // namespace analysis

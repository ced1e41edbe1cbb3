#pragma once

// Pivoted Cholesky factor of a positive semidefinite Gram matrix, stopped where the
// remaining squared distances fall to rounding. Internal to the analysis library.

#include <Eigen/Core>
#include <vector>

namespace analysis {

struct PivotedCholesky {
    // P x R, rows in the Gram matrix's own order: gram ~ factor * factor^T, so the columns
    // of factor^T are coordinates of the patterns in an orthonormal basis of their span.
    Eigen::MatrixXd factor;
    // P x (P - R), orthonormal columns w with factor^T w = 0: the combinations of patterns
    // that add up to zero.
    Eigen::MatrixXd nullBasis;
};

// `tolerance` is the squared distance from the span of the patterns already taken below
// which a pattern adds no direction. Throws std::bad_alloc.
PivotedCholesky FactorPivotedCholesky(const Eigen::MatrixXd& gram, double tolerance);

}  // namespace analysis

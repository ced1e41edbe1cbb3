#pragma once

// The Gram matrix of a set of patterns. Internal to the analysis library.

#include <Eigen/Core>

namespace analysis {

// x' x for the columns of x, both triangles filled. Throws std::bad_alloc.
Eigen::MatrixXd GramOf(const Eigen::MatrixXd& x);

}  // namespace analysis

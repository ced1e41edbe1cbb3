#pragma once

// The patterns as the forecasts use them: input patterns as coordinates c_p, desired
// outputs d_p. Internal to the analysis library.

#include <Eigen/Core>

#include "analysis/analysis.h"

namespace analysis {

struct Prepared::Span {
    // R x P: the input patterns in an orthonormal basis of their span when `inBasis`,
    // otherwise the input patterns themselves (N x P). Either way c_p . c_q = x_p . x_q.
    Eigen::MatrixXd c;
    bool inBasis = false;
    // The desired outputs, or when there are more outputs than patterns a P x P matrix d'
    // with d'^T d' = D^T D: every SSE here is |D Psi|^2 for some Psi, which that keeps.
    Eigen::MatrixXd d;
    // Hebb: column p holds (sum_{q<=p} d_q c_q^T) c_p, and (D C^T) C, both for rate 1.
    Eigen::MatrixXd hebbSteps;
    Eigen::MatrixXd hebbEpoch;
    Eigen::VectorXd squared;  // |c_p|^2
    bool spectrum = false;    // the Delta map is small enough for its eigenvalues
};

// Spectral radius of the Delta rule's epoch map on the span at `rate`.
double deltaRadius(const Prepared::Span& span, double rate);

// The smallest rate above 0 at which that radius reaches 1, given a rate below which it is
// surely smaller; empty when none is found up to `ceiling`.
std::optional<double> findLargestStableRate(const Prepared::Span& span, double surelyBelow,
                                            double ceiling);

}  // namespace analysis

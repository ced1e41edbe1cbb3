#pragma once

// Proof, before an epoch runs, that none of its values can overflow, so that the epoch
// needs no copy of the weights to undo it.
//
// From a bound W on |weight| at the epoch's start, every value of the epoch is bounded
// pattern by pattern: a recall by W * sum|x|, an output activation by max|d| plus that,
// a Change by max|LearningRate * x| times the activation, and the new W by W plus the
// Change; errors and squared errors follow. Rounding makes a computed value at most a
// few parts in 10^12 larger than its exact bound, so bounds below 1e300 (double
// precision reaches 1.8e308) leave no room for an overflow.

#include <vector>

#include "core/network_state.h"

namespace core {

class OverflowBound {
  public:
    // Per-pattern scales of the problem; changeInput holds LearningRate * x, pattern by
    // pattern (NumInputs values each).
    void prepare(const PublicStuff& net, const double* changeInput);

    // True when an epoch starting from weights with |weight| <= weightBound keeps every
    // value of every step below the limit.
    bool provesSafe(double weightBound, bool hebb) const;

    // A bound on |weight| after an epoch that started within weightBound, given the
    // largest |output activation| that each pattern's step learned from.
    double after(double weightBound, const std::vector<double>& outputMax) const;

    // The largest |weight| of the network, read from every connection.
    static double largestWeight(const ConnectionMatrix& weights);

  private:
    int m_outputs = 0;
    std::vector<double> m_inputSum;    // sum over i of |x(i, p)|
    std::vector<double> m_changeMax;   // max over i of |LearningRate * x(i, p)|
    std::vector<double> m_desiredMax;  // max over j of |d(j, p)|
};

}  // namespace core

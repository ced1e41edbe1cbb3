#pragma once

// When a response counts as recalled, in one place for the probe page, the test file and
// the degradation curves: a pattern is recalled when its response is strictly nearer its
// own desired output than every different desired output of the set. Identical desired
// outputs are one target, so patterns that share a desired output do not compete; a tie
// is not recalled. Distances are sums of squared differences, summed from output 1 up.

#include <cstddef>
#include <vector>

namespace views {

// Squared error of one response against one desired output (element 0 of each unused),
// summed from output 1 up.
double SquaredDistance(const double* response, const double* desired, int outputs);

// `count` desired outputs of `outputs` values each, element 0 of each unused: vector q
// (from 0) starts at data + q * stride. The data must outlive the set.
class RecallTargets {
  public:
    // Groups identical desired outputs (compared value by value) into one target.
    // Throws std::bad_alloc.
    RecallTargets(const double* data, std::size_t stride, int count, int outputs);

    int count() const { return m_count; }
    std::size_t stride() const { return m_stride; }
    const double* vector(int q) const { return m_data + static_cast<std::size_t>(q) * m_stride; }
    // The lowest q whose desired output is identical to vector q's.
    int target(int q) const { return m_target[static_cast<std::size_t>(q)]; }
    // The lowest q of every target, in increasing order.
    const std::vector<int>& distinct() const { return m_distinct; }

    // Whether `response` is strictly nearer vector `own` than every different desired
    // output. `ownDistance` is SquaredDistance to vector `own`; not recalled when it is not
    // a finite number.
    bool recalled(const double* response, int own, double ownDistance) const;

    // The targets equally nearest `response`, each as its lowest q, in increasing order;
    // empty when the set is. A distance that overflows ranks after every finite one.
    std::vector<int> nearest(const double* response) const;

  private:
    const double* m_data;
    std::size_t m_stride;
    int m_count;
    int m_outputs;
    std::vector<int> m_target;    // per vector, the lowest q of its target
    std::vector<int> m_distinct;  // the lowest q of every target, in increasing order
};

}  // namespace views

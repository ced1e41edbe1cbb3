#include "views/recall_rule.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace views {

double SquaredDistance(const double* response, const double* desired, int outputs) {
    double sum = 0.0;
    for (int j = 1; j <= outputs; ++j) {
        const double e = desired[j] - response[j];
        sum = sum + e * e;
    }
    return sum;
}

RecallTargets::RecallTargets(const double* data, std::size_t stride, int count, int outputs)
    : m_data(data), m_stride(stride), m_count(count), m_outputs(outputs) {
    // Sorted by value, identical vectors stand side by side: n log n comparisons, where
    // comparing every pair would cost n^2 on the large test files.
    std::vector<int> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    const auto less = [&](int a, int b) {
        return std::lexicographical_compare(vector(a) + 1, vector(a) + 1 + outputs, vector(b) + 1,
                                            vector(b) + 1 + outputs);
    };
    std::stable_sort(order.begin(), order.end(), less);
    m_target.assign(static_cast<std::size_t>(count), 0);
    for (std::size_t k = 0; k < order.size(); ++k) {
        const bool same = k > 0 && std::equal(vector(order[k]) + 1, vector(order[k]) + 1 + outputs,
                                              vector(order[k - 1]) + 1);
        // Stable: the first of a run of identical vectors has the lowest q.
        m_target[static_cast<std::size_t>(order[k])] =
            same ? m_target[static_cast<std::size_t>(order[k - 1])] : order[k];
    }
    for (int q = 0; q < count; ++q) {
        if (target(q) == q) {
            m_distinct.push_back(q);
        }
    }
}

bool RecallTargets::recalled(const double* response, int own, double ownDistance) const {
    if (!(ownDistance <= std::numeric_limits<double>::max())) {
        return false;
    }
    const int ownTarget = target(own);
    for (const int q : m_distinct) {
        if (q == ownTarget) {
            continue;
        }
        const double* d = vector(q);
        // Partial sums only grow: once past ownDistance, q is farther.
        double sum = 0.0;
        int j = 1;
        for (; j <= m_outputs && sum <= ownDistance; ++j) {
            const double e = d[j] - response[j];
            sum = sum + e * e;
        }
        if (sum <= ownDistance) {
            return false;
        }
    }
    return true;
}

std::vector<int> RecallTargets::nearest(const double* response) const {
    std::vector<int> out;
    double best = std::numeric_limits<double>::infinity();
    for (const int q : m_distinct) {
        double sum = SquaredDistance(response, vector(q), m_outputs);
        if (!(sum <= std::numeric_limits<double>::max())) {
            sum = std::numeric_limits<double>::infinity();
        }
        if (out.empty() || sum < best) {
            out.assign(1, q);
            best = sum;
        } else if (sum == best) {
            out.push_back(q);
        }
    }
    return out;
}

}  // namespace views

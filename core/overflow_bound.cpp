#include "core/overflow_bound.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace core {

namespace {

constexpr double Limit = 1e300;

// Rounding of the weights' updates over a whole epoch stays far below this share.
constexpr double RoundingAllowance = 1e-9;

bool below(double bound) {
    return bound < Limit;  // false for infinity and NaN too
}

std::size_t ui(int k) {
    return static_cast<std::size_t>(k);
}

}  // namespace

void OverflowBound::prepare(const PublicStuff& net, const double* changeInput) {
    const int n = net.NumInputs;
    const int patterns = net.NumPatterns;
    m_outputs = net.NumOutputs;
    m_inputSum.assign(ui(patterns), 0.0);
    m_changeMax.assign(ui(patterns), 0.0);
    m_desiredMax.assign(ui(patterns), 0.0);
    for (int p = 0; p < patterns; ++p) {
        const double* x = net.InputPatterns.pattern(p + 1) + 1;
        const double* c = changeInput + ui(p) * ui(n);
        double sum = 0.0;
        double change = 0.0;
        for (int i = 0; i < n; ++i) {
            sum += std::abs(x[i]);
            change = std::max(change, std::abs(c[i]));
        }
        const double* d = net.DesiredOutputs.pattern(p + 1) + 1;
        double desired = 0.0;
        for (int j = 0; j < net.NumOutputs; ++j) {
            desired = std::max(desired, std::abs(d[j]));
        }
        m_inputSum[ui(p)] = sum;
        m_changeMax[ui(p)] = change;
        m_desiredMax[ui(p)] = desired;
    }
}

bool OverflowBound::provesSafe(double weightBound, bool hebb) const {
    double w = weightBound;
    double total = 0.0;
    const std::size_t patterns = m_inputSum.size();
    for (std::size_t p = 0; p < patterns; ++p) {
        const double recallBefore = w * m_inputSum[p];
        const double output = hebb ? m_desiredMax[p] : m_desiredMax[p] + recallBefore;
        w = w + m_changeMax[p] * output;
        const double error = m_desiredMax[p] + w * m_inputSum[p];
        total = total + m_outputs * (error * error);
        if (!below(recallBefore) || !below(output) || !below(w) || !below(error * error) ||
            !below(total)) {
            return false;
        }
    }
    // The Delta rule also recalls the first pattern under the epoch's final weights.
    return patterns == 0 || below(w * m_inputSum[0]);
}

double OverflowBound::after(double weightBound, const std::vector<double>& outputMax) const {
    double growth = 0.0;
    for (std::size_t p = 0; p < m_changeMax.size(); ++p) {
        growth = growth + m_changeMax[p] * outputMax[p];
    }
    return (weightBound + growth) * (1.0 + RoundingAllowance);
}

double OverflowBound::largestWeight(const ConnectionMatrix& weights) {
    double largest = 0.0;
    for (int b = 0; b < weights.blocks(); ++b) {
        const ConnectionMatrix::Block* w = weights.block(b);
        for (int i = 0; i < weights.inputs(); ++i) {
            for (const double v : w[i].lane) {
                largest = std::max(largest, std::abs(v));
            }
        }
    }
    return largest;
}

}  // namespace core

#include "core/network_state.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

namespace core {

namespace {

std::size_t extent(int count) {
    return static_cast<std::size_t>(count) + 1;
}

bool isFinite(double v) {
    return std::abs(v) <= std::numeric_limits<double>::max();
}

}  // namespace

ConnectionMatrix::ConnectionMatrix(int outputs, int inputs)
    : m_outputs(outputs),
      m_inputs(inputs),
      m_blocks((outputs + Lanes - 1) / Lanes),
      m_weights(ui(m_blocks) * ui(inputs), Block{}),
      m_changeInput(extent(inputs), 0.0),
      m_changeOutput(extent(outputs), 0.0) {}

void ConnectionMatrix::setWeight(int j, int i, double w) {
    m_weights[index(j, i)].lane[(j - 1) % Lanes] = w;
    m_weightBound = std::max(m_weightBound, std::abs(w));
}

void ConnectionMatrix::clear() {
    std::fill(m_weights.begin(), m_weights.end(), Block{});
    std::fill(m_changeInput.begin(), m_changeInput.end(), 0.0);
    std::fill(m_changeOutput.begin(), m_changeOutput.end(), 0.0);
    m_weightBound = 0.0;
}

bool ConnectionMatrix::allZero() const {
    if (m_weightBound == 0.0) {
        return true;
    }
    return std::all_of(m_weights.begin(), m_weights.end(), [](const Block& b) {
        return std::all_of(std::begin(b.lane), std::end(b.lane), [](double v) { return v == 0.0; });
    });
}

void ConnectionMatrix::setChangeFactors(const double* changeInput, const double* changeOutput) {
    std::copy_n(changeInput, extent(m_inputs), m_changeInput.begin());
    std::copy_n(changeOutput, extent(m_outputs), m_changeOutput.begin());
}

void ConnectionMatrix::setChangeFactorsFromUnit1(const double* changeInput,
                                                 const double* changeOutput) {
    m_changeInput[0] = 0.0;
    std::copy_n(changeInput, m_inputs, m_changeInput.begin() + 1);
    m_changeOutput[0] = 0.0;
    std::copy_n(changeOutput, m_outputs, m_changeOutput.begin() + 1);
}

void ConnectionMatrix::applyOuterProduct(const double* changeInput, const double* changeOutput) {
    for (int b = 0; b < m_blocks; ++b) {
        double out[Lanes] = {};
        const int first = b * Lanes + 1;
        const int count = std::min(Lanes, m_outputs - first + 1);
        std::copy_n(changeOutput + first, count, out);
        Block* w = block(b);
        for (int i = 1; i <= m_inputs; ++i) {
            const double in = changeInput[i];
            for (int k = 0; k < Lanes; ++k) {
                w[i - 1].lane[k] = w[i - 1].lane[k] + in * out[k];
            }
        }
    }
    setChangeFactors(changeInput, changeOutput);
}

bool ConnectionMatrix::addOuterProduct(const double* changeInput, const double* changeOutput) {
    // Rounding is monotonic, so |Change| <= maxIn * maxOut and |Weight + Change| <=
    // bound + maxIn * maxOut, each as computed in doubles. When that sum is finite no
    // operation of the step can overflow and the plain loop runs; otherwise every
    // connection is checked before anything is written.
    bool finite = true;
    double maxIn = 0.0;
    for (int i = 1; i <= m_inputs; ++i) {
        finite &= isFinite(changeInput[i]);
        maxIn = std::max(maxIn, std::abs(changeInput[i]));
    }
    double maxOut = 0.0;
    for (int j = 1; j <= m_outputs; ++j) {
        finite &= isFinite(changeOutput[j]);
        maxOut = std::max(maxOut, std::abs(changeOutput[j]));
    }
    if (!finite) {
        return false;
    }
    const double newBound = m_weightBound + maxIn * maxOut;
    if (!isFinite(newBound)) {
        return addOuterProductChecked(changeInput, changeOutput);
    }
    applyOuterProduct(changeInput, changeOutput);
    m_weightBound = newBound;
    return true;
}

bool ConnectionMatrix::addOuterProductChecked(const double* changeInput,
                                              const double* changeOutput) {
    double largest = 0.0;
    for (int i = 1; i <= m_inputs; ++i) {
        const double in = changeInput[i];
        bool finite = true;
        for (int j = 1; j <= m_outputs; ++j) {
            const double change = in * changeOutput[j];
            const double sum = Weight(j, i) + change;
            finite = finite && isFinite(change) && isFinite(sum);
            largest = std::max(largest, std::abs(sum));
        }
        if (!finite) {
            return false;
        }
    }
    applyOuterProduct(changeInput, changeOutput);
    m_weightBound = largest;
    return true;
}

void PublicStuff::CreateUnitsAndWeights() {
    // Build everything first so that a failed allocation leaves the old arrays in place.
    std::vector<UnitRecord> inputs(extent(NumInputs));
    std::vector<UnitRecord> outputs(extent(NumOutputs));
    ConnectionMatrix weights(NumOutputs, NumInputs);
    Workspace work{std::vector<double>(extent(NumOutputs)), std::vector<double>(extent(NumOutputs)),
                   std::vector<double>(extent(NumInputs))};
    InputUnits = std::move(inputs);
    OutputUnits = std::move(outputs);
    Weights = std::move(weights);
    Work = std::move(work);
    TrainedOnProblem = false;
}

std::string NotTrainedProblem(const PublicStuff& net) {
    if (net.TrainedOnProblem) {
        return "";
    }
    if (!net.UntrainableReason.empty()) {
        return "The network has not been trained on \"" + net.TrainingFileName +
               "\": " + net.UntrainableReason;
    }
    return "The network has not been trained on \"" + net.TrainingFileName +
           "\": its weights belong to no completed epoch of this file. Train it first (Start "
           "Training), then examine it.";
}

bool WeightsFit(const Problem& problem, const ConnectionMatrix& weights) {
    return problem.Complete() && weights.inputs() == problem.NumInputs &&
           weights.outputs() == problem.NumOutputs;
}

bool PublicStuff::NetworkMatchesProblem() const {
    return Complete() && InputUnits.size() == extent(NumInputs) &&
           OutputUnits.size() == extent(NumOutputs) && Weights.inputs() == NumInputs &&
           Weights.outputs() == NumOutputs && Work.netInput.size() == extent(NumOutputs) &&
           Work.changeInput.size() == extent(NumInputs);
}

}  // namespace core

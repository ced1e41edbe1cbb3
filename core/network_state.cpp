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

PatternTable::PatternTable(int units, int patterns)
    : m_units(units),
      m_patterns(patterns),
      m_stride(extent(units)),
      m_values(extent(units) * extent(patterns)) {}

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

bool PublicStuff::NetworkMatchesProblem() const {
    return NumInputs >= 1 && NumOutputs >= 1 && NumPatterns >= 1 && NumInputs <= MaxCount &&
           NumOutputs <= MaxCount && NumPatterns <= MaxCount &&
           InputUnits.size() == extent(NumInputs) && OutputUnits.size() == extent(NumOutputs) &&
           Weights.inputs() == NumInputs && Weights.outputs() == NumOutputs &&
           InputPatterns.units() == NumInputs && InputPatterns.patterns() == NumPatterns &&
           DesiredOutputs.units() == NumOutputs && DesiredOutputs.patterns() == NumPatterns &&
           Work.netInput.size() == extent(NumOutputs) &&
           Work.changeInput.size() == extent(NumInputs);
}

PublicStuff& Network() {
    static PublicStuff instance;
    return instance;
}

namespace {

// One 64-bit word into the hash: a multiply-xorshift mix, a word at a time.
std::uint64_t mixIn(std::uint64_t hash, std::uint64_t word) {
    hash ^= word + 0x9e3779b97f4a7c15ULL + (hash << 6) + (hash >> 2);
    hash *= 0xbf58476d1ce4e5b9ULL;
    return hash ^ (hash >> 31);
}

std::uint64_t mixTable(std::uint64_t hash, const PatternTable& table, int units, int patterns) {
    if (!table.exists() || table.units() < units || table.patterns() < patterns) {
        return mixIn(hash, 0);
    }
    for (int p = 1; p <= patterns; ++p) {
        const double* values = table.pattern(p);
        for (int u = 1; u <= units; ++u) {
            std::uint64_t bits = 0;
            std::memcpy(&bits, values + u, sizeof bits);
            hash = mixIn(hash, bits);
        }
    }
    return hash;
}

}  // namespace

std::uint64_t ProblemKey(const PublicStuff& net) {
    std::uint64_t hash = 0x51ed270b27a4f3c1ULL;
    for (const int count : {net.NumInputs, net.NumOutputs, net.NumPatterns}) {
        hash = mixIn(hash, static_cast<std::uint64_t>(static_cast<std::uint32_t>(count)));
    }
    hash = mixTable(hash, net.InputPatterns, net.NumInputs, net.NumPatterns);
    return mixTable(hash, net.DesiredOutputs, net.NumOutputs, net.NumPatterns);
}

}  // namespace core

#include "core/arithmetic.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace core {

namespace {

bool isFinite(double v) {
    return std::abs(v) <= std::numeric_limits<double>::max();
}

bool validPattern(const PublicStuff& net, int p) {
    return net.NetworkMatchesProblem() && p >= 1 && p <= net.NumPatterns;
}

// Net inputs for the input values x and errors against d into sum and error (both
// 1..NumOutputs), without touching the units. Returns false when a value is not finite.
bool recallValues(const PublicStuff& net, const double* x, const double* d, double* sum,
                  double* error) {
    const int inputs = net.NumInputs;
    const int outputs = net.NumOutputs;
    for (int b = 0; b < net.Weights.blocks(); ++b) {
        double lanes[core::ConnectionMatrix::Lanes] = {};
        const core::ConnectionMatrix::Block* w = net.Weights.block(b);
        for (int i = 1; i <= inputs; ++i) {
            const double a = x[i];
            for (int k = 0; k < core::ConnectionMatrix::Lanes; ++k) {
                lanes[k] = (w[i - 1].lane[k] * a) + lanes[k];
            }
        }
        const int first = b * core::ConnectionMatrix::Lanes + 1;
        const int count = std::min(core::ConnectionMatrix::Lanes, outputs - first + 1);
        std::copy_n(lanes, count, sum + first);
    }
    // A value that overflows stays infinite or becomes NaN through every later sum, so
    // checking the results finds any overflow on the way.
    bool finite = true;
    for (int j = 1; j <= outputs; ++j) {
        error[j] = d[j] - sum[j];
        finite = finite && isFinite(sum[j]) && isFinite(error[j]);
    }
    return finite;
}

bool recallIntoWorkspace(PublicStuff& net, const double* x, const double* d) {
    return recallValues(net, x, d, net.Work.netInput.data(), net.Work.error.data());
}

bool recallIntoWorkspace(PublicStuff& net, int p) {
    return recallIntoWorkspace(net, net.InputPatterns.pattern(p), net.DesiredOutputs.pattern(p));
}

void setInputActivations(PublicStuff& net, const double* x) {
    for (int i = 1; i <= net.NumInputs; ++i) {
        net.InputUnits[static_cast<std::size_t>(i)].Activation = x[i];
    }
}

// Change inputs of a learning step: LearningRate * input activation, per input unit.
// Returns false when a product is not finite.
bool fillChangeInput(PublicStuff& net, int p) {
    const double* x = net.InputPatterns.pattern(p);
    double* c = net.Work.changeInput.data();
    const double rate = net.LearningRate;
    bool finite = isFinite(rate);
    c[0] = 0.0;
    for (int i = 1; i <= net.NumInputs; ++i) {
        c[i] = rate * x[i];
        finite &= isFinite(c[i]);
    }
    return finite;
}

}  // namespace

bool RecallInto(const PublicStuff& net, int p, double* netInput, double* errors) {
    return recallValues(net, net.InputPatterns.pattern(p), net.DesiredOutputs.pattern(p), netInput,
                        errors);
}

int RecallManyInto(const PublicStuff& net, int first, int count, double* netInputs,
                   double* errors) {
    constexpr int Lanes = ConnectionMatrix::Lanes;
    const int inputs = net.NumInputs;
    const int outputs = net.NumOutputs;
    const auto stride = static_cast<std::size_t>(outputs) + 1;
    count = std::min(count, RecallManyMax);
    std::array<const double*, RecallManyMax> x{};
    for (int g = 0; g < count; ++g) {
        x[static_cast<std::size_t>(g)] = net.InputPatterns.pattern(first + g);
    }
    for (int b = 0; b < net.Weights.blocks(); ++b) {
        double lanes[RecallManyMax][Lanes] = {};
        const ConnectionMatrix::Block* w = net.Weights.block(b);
        for (int i = 1; i <= inputs; ++i) {
            for (int g = 0; g < count; ++g) {
                const double a = x[static_cast<std::size_t>(g)][i];
                for (int k = 0; k < Lanes; ++k) {
                    lanes[g][k] = (w[i - 1].lane[k] * a) + lanes[g][k];
                }
            }
        }
        const int firstOutput = b * Lanes + 1;
        const int n = std::min(Lanes, outputs - firstOutput + 1);
        for (int g = 0; g < count; ++g) {
            std::copy_n(lanes[g], n,
                        netInputs + static_cast<std::size_t>(g) * stride + firstOutput);
        }
    }
    for (int g = 0; g < count; ++g) {
        const double* d = net.DesiredOutputs.pattern(first + g);
        const double* sum = netInputs + static_cast<std::size_t>(g) * stride;
        double* error = errors + static_cast<std::size_t>(g) * stride;
        bool finite = true;
        for (int j = 1; j <= outputs; ++j) {
            error[j] = d[j] - sum[j];
            finite = finite && isFinite(sum[j]) && isFinite(error[j]);
        }
        if (!finite) {
            return g;
        }
    }
    return count;
}

const char* Describe(ArithStatus status) {
    switch (status) {
        case ArithStatus::Ok:
            return "no error";
        case ArithStatus::Overflow:
            return "a value grew beyond the range of double precision (overflow)";
        case ArithStatus::BadArguments:
            return "the network does not match the loaded training problem";
        case ArithStatus::OutOfMemory:
            return "there is not enough memory for the arrays training needs";
    }
    return "unknown error";
}

ArithStatus ZeroWeights(PublicStuff& net) {
    if (!net.NetworkMatchesProblem()) {
        return ArithStatus::BadArguments;
    }
    net.Weights.clear();
    net.TrainedOnProblem = false;
    return ArithStatus::Ok;
}

ArithStatus ComputeResponses(PublicStuff& net, int p) {
    if (!validPattern(net, p)) {
        return ArithStatus::BadArguments;
    }
    return ComputeResponsesTo(net, net.InputPatterns.pattern(p), p);
}

ArithStatus ComputeResponsesTo(PublicStuff& net, const double* x, int p) {
    if (!validPattern(net, p)) {
        return ArithStatus::BadArguments;
    }
    if (!recallIntoWorkspace(net, x, net.DesiredOutputs.pattern(p))) {
        return ArithStatus::Overflow;
    }
    setInputActivations(net, x);
    for (int j = 1; j <= net.NumOutputs; ++j) {
        UnitRecord& unit = net.OutputUnits[static_cast<std::size_t>(j)];
        unit.NetInput = net.Work.netInput[static_cast<std::size_t>(j)];
        unit.Activation = unit.NetInput;
        unit.Error = net.Work.error[static_cast<std::size_t>(j)];
    }
    return ArithStatus::Ok;
}

ArithStatus LearnHebb(PublicStuff& net, int p) {
    if (!validPattern(net, p)) {
        return ArithStatus::BadArguments;
    }
    if (!fillChangeInput(net, p)) {
        return ArithStatus::Overflow;
    }
    const double* d = net.DesiredOutputs.pattern(p);
    if (!net.Weights.addOuterProduct(net.Work.changeInput.data(), d)) {
        return ArithStatus::Overflow;
    }
    setInputActivations(net, net.InputPatterns.pattern(p));
    for (int j = 1; j <= net.NumOutputs; ++j) {
        net.OutputUnits[static_cast<std::size_t>(j)].Activation = d[j];
    }
    return ArithStatus::Ok;
}

ArithStatus LearnDelta(PublicStuff& net, int p) {
    if (!validPattern(net, p)) {
        return ArithStatus::BadArguments;
    }
    // The recall stays in the workspace until the weight update has succeeded, so a
    // failure leaves the units as they were.
    if (!recallIntoWorkspace(net, p) || !fillChangeInput(net, p)) {
        return ArithStatus::Overflow;
    }
    if (!net.Weights.addOuterProduct(net.Work.changeInput.data(), net.Work.error.data())) {
        return ArithStatus::Overflow;
    }
    setInputActivations(net, net.InputPatterns.pattern(p));
    for (int j = 1; j <= net.NumOutputs; ++j) {
        UnitRecord& unit = net.OutputUnits[static_cast<std::size_t>(j)];
        unit.NetInput = net.Work.netInput[static_cast<std::size_t>(j)];
        unit.Error = net.Work.error[static_cast<std::size_t>(j)];
        unit.Activation = unit.Error;
    }
    return ArithStatus::Ok;
}

double PatternSSE(const PublicStuff& net) {
    double sum = 0.0;
    for (int j = 1; j <= net.NumOutputs; ++j) {
        const double e = net.OutputUnits[static_cast<std::size_t>(j)].Error;
        sum = sum + e * e;
    }
    return sum;
}

}  // namespace core

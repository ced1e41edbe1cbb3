#pragma once

// A plain, unoptimised reading of the recall and learning arithmetic: every array with an
// element 0, weights as records [output][input] with Change stored, one loop per step,
// input units outside and output units inside. Production code must match it bit for bit.

#include <vector>

#include "core/network_state.h"

namespace reference {

struct Net {
    int inputs = 0;
    int outputs = 0;
    double rate = 0.0;
    std::vector<std::vector<double>> x;  // [pattern][input unit]
    std::vector<std::vector<double>> d;  // [pattern][output unit]
    std::vector<core::UnitRecord> inUnits;
    std::vector<core::UnitRecord> outUnits;
    std::vector<std::vector<core::ConnectionRecord>> w;  // [output][input]

    Net(int in, int out, int patterns)
        : inputs(in),
          outputs(out),
          x(patterns + 1, std::vector<double>(in + 1)),
          d(patterns + 1, std::vector<double>(out + 1)),
          inUnits(in + 1),
          outUnits(out + 1),
          w(out + 1, std::vector<core::ConnectionRecord>(in + 1)) {}

    void ComputeResponses(int p) {
        for (int i = 1; i <= inputs; ++i)
            inUnits[i].Activation = x[p][i];
        for (int j = 1; j <= outputs; ++j)
            outUnits[j].NetInput = 0;
        for (int i = 1; i <= inputs; ++i)
            for (int j = 1; j <= outputs; ++j)
                outUnits[j].NetInput =
                    (w[j][i].Weight * inUnits[i].Activation) + outUnits[j].NetInput;
        for (int j = 1; j <= outputs; ++j) {
            outUnits[j].Activation = outUnits[j].NetInput;
            outUnits[j].Error = d[p][j] - outUnits[j].Activation;
        }
    }

    void update() {
        for (int i = 1; i <= inputs; ++i)
            for (int j = 1; j <= outputs; ++j)
                w[j][i].Change = (rate * inUnits[i].Activation) * outUnits[j].Activation;
        for (int i = 1; i <= inputs; ++i)
            for (int j = 1; j <= outputs; ++j)
                w[j][i].Weight = w[j][i].Weight + w[j][i].Change;
    }

    void LearnHebb(int p) {
        for (int i = 1; i <= inputs; ++i)
            inUnits[i].Activation = x[p][i];
        for (int j = 1; j <= outputs; ++j)
            outUnits[j].Activation = d[p][j];
        update();
    }

    void LearnDelta(int p) {
        for (int i = 1; i <= inputs; ++i)
            inUnits[i].Activation = x[p][i];
        ComputeResponses(p);
        for (int j = 1; j <= outputs; ++j)
            outUnits[j].Activation = outUnits[j].Error;
        update();
    }

    double PatternSSE() const {
        double sum = 0;
        for (int j = 1; j <= outputs; ++j)
            sum = sum + outUnits[j].Error * outUnits[j].Error;
        return sum;
    }
};

}  // namespace reference

#pragma once

// Networks for tests, made the way the program makes them: a problem loaded from a
// training file's numbers or from rows of patterns, then its units and zero weights.
// Qt-free, for the unit tests and the window tests alike.

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/network_state.h"
#include "files/loader.h"

namespace support {

// The problem in `numbers` (a training file's text) as file `name`, with units and zero
// weights. Throws std::invalid_argument with the loader's message: numbers that are no
// problem are a fault in the test itself.
inline core::PublicStuff NetworkFromText(std::string_view numbers,
                                         const std::string& name = "example.net") {
    core::PublicStuff net;
    std::string error;
    if (!files::LoadTrainingData(net, numbers, name, error)) {
        throw std::invalid_argument(error);
    }
    net.TrainingFileName = name;
    net.CreateUnitsAndWeights();
    return net;
}

// The same for a training file on disk, named as its path says.
inline core::PublicStuff NetworkFromFile(const std::string& path) {
    core::PublicStuff net;
    std::string error;
    if (!files::LoadTrainingFile(net, path, error)) {
        throw std::invalid_argument(error);
    }
    net.TrainingFileName = path.substr(path.find_last_of('/') + 1);
    net.CreateUnitsAndWeights();
    return net;
}

using Rows = std::vector<std::vector<double>>;

// Patterns as rows, one per pattern: its inputs, and its desired outputs.
inline core::PublicStuff NetworkFromRows(const Rows& inputs, const Rows& outputs,
                                         const std::string& name = "example.net") {
    core::PublicStuff net;
    net.TrainingFileName = name;
    net.NumPatterns = static_cast<int>(inputs.size());
    net.NumInputs = inputs.empty() ? 0 : static_cast<int>(inputs.front().size());
    net.NumOutputs = outputs.empty() ? 0 : static_cast<int>(outputs.front().size());
    net.InputPatterns = core::PatternTable(net.NumInputs, net.NumPatterns);
    net.DesiredOutputs = core::PatternTable(net.NumOutputs, net.NumPatterns);
    for (int p = 1; p <= net.NumPatterns; ++p) {
        const auto row = static_cast<std::size_t>(p - 1);
        for (int i = 1; i <= net.NumInputs; ++i) {
            net.InputPatterns(i, p) = inputs[row][static_cast<std::size_t>(i - 1)];
        }
        for (int j = 1; j <= net.NumOutputs; ++j) {
            net.DesiredOutputs(j, p) = outputs[row][static_cast<std::size_t>(j - 1)];
        }
    }
    net.CreateUnitsAndWeights();
    return net;
}

// Weight (j, i) for every output j and input i, output by output; missing values are 0.
// The network counts as trained on its problem: the weights stand for a run on it.
inline void SetTrainedWeights(core::PublicStuff& net, const std::vector<double>& weights) {
    std::size_t k = 0;
    for (int j = 1; j <= net.NumOutputs; ++j) {
        for (int i = 1; i <= net.NumInputs; ++i, ++k) {
            net.Weights.setWeight(j, i, k < weights.size() ? weights[k] : 0.0);
        }
    }
    net.TrainedOnProblem = true;
}

}  // namespace support

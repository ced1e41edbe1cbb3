#pragma once

// The network of the program: the two layers of units and the connections between
// them, and the whole of problem, network and run record the window works on.
//
// The parts keep the names the rest of the program uses for them (NumInputs, Weights,
// SSEHistory, ...). Units are numbered from 1; element 0 of every dimension exists and is
// unused.

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "core/large_page_allocator.h"
#include "core/problem.h"
#include "core/run_record.h"

namespace core {

struct UnitRecord {
    double NetInput = 0.0;
    double Activation = 0.0;
    double Error = 0.0;
};

struct ConnectionRecord {
    double Weight = 0.0;
    double Change = 0.0;
};

// The connections, read as Weights(output j, input i).
//
// Storage is in blocks of eight output units: block b holds, input by input, the weights
// from input i to outputs 8b+1..8b+8 side by side (unused lanes past the last output stay
// zero). The recall and learning loops run over input units outside and output units
// inside, so a block's eight sums advance together in one vector register, each over the
// input units in increasing order exactly as a plain loop would add them; and a block is
// a small contiguous panel that stays in cache while all patterns pass through it.
// Element 0 of either dimension is not stored and reads as zero.
//
// The Change of a connection is not stored as a matrix. Every learning step sets
// Change(j, i) = (LearningRate * input activation i) * output activation j, so the two
// factor vectors of the last step are kept and Change() multiplies them: the same
// double operations as storing the products, at half the memory.
class ConnectionMatrix {
  public:
    static constexpr int Lanes = 8;
    struct alignas(64) Block {
        double lane[Lanes];
    };

    ConnectionMatrix() = default;
    // Zero-filled. Throws std::bad_alloc.
    ConnectionMatrix(int outputs, int inputs);

    int outputs() const { return m_outputs; }
    int inputs() const { return m_inputs; }
    int blocks() const { return m_blocks; }
    bool exists() const { return m_outputs > 0 && m_inputs > 0; }

    double Weight(int j, int i) const {
        return j < 1 || i < 1 ? 0.0 : m_weights[index(j, i)].lane[(j - 1) % Lanes];
    }
    double Change(int j, int i) const { return m_changeInput[ui(i)] * m_changeOutput[ui(j)]; }
    ConnectionRecord operator()(int j, int i) const { return {Weight(j, i), Change(j, i)}; }

    // Sets one weight (tests and restoring a snapshot); w must be finite.
    void setWeight(int j, int i, double w);
    // Sets every weight and every Change to zero.
    void clear();
    // Whether every weight is +0 or -0: free after clear(), whose bound says so, otherwise
    // read up to the first weight that is not zero.
    bool allZero() const;
    // One learning step: Change(j, i) = changeInput[i] * changeOutput[j] and
    // Weight(j, i) = Weight(j, i) + Change(j, i) for every connection, input units outer.
    // changeInput has inputs()+1 and changeOutput outputs()+1 finite elements (element 0
    // unused). Returns false, and changes nothing, when any product or sum would not be
    // finite.
    [[nodiscard]] bool addOuterProduct(const double* changeInput, const double* changeOutput);

    // The weights of block b, input unit 1 first: inputs() entries.
    Block* block(int b) { return m_weights.data() + ui(b) * ui(m_inputs); }
    const Block* block(int b) const { return m_weights.data() + ui(b) * ui(m_inputs); }

    // For the epoch kernel, which updates the blocks itself: the Change factors of the
    // last step (inputs()+1 and outputs()+1 elements), and forgetting the weight bound.
    void setChangeFactors(const double* changeInput, const double* changeOutput);
    // The same from arrays that start with unit 1 (inputs() and outputs() elements).
    void setChangeFactorsFromUnit1(const double* changeInput, const double* changeOutput);
    void forgetBound() { m_weightBound = std::numeric_limits<double>::infinity(); }

  private:
    static std::size_t ui(int k) { return static_cast<std::size_t>(k); }
    std::size_t index(int j, int i) const { return ui((j - 1) / Lanes) * ui(m_inputs) + ui(i - 1); }

    int m_outputs = 0;
    int m_inputs = 0;
    int m_blocks = 0;
    std::vector<Block, LargePageAllocator<Block>> m_weights;
    std::vector<double> m_changeInput;   // LearningRate * input activation, per input unit
    std::vector<double> m_changeOutput;  // output activation, per output unit
    // An upper bound on |Weight| over all connections; lets a learning step prove
    // cheaply that no sum can overflow before it changes anything.
    double m_weightBound = 0.0;

    bool addOuterProductChecked(const double* changeInput, const double* changeOutput);
    void applyOuterProduct(const double* changeInput, const double* changeOutput);
};

// Scratch vectors of the recall and learning steps, sized with the units so that the
// steps allocate nothing. Not part of the network's meaning.
struct Workspace {
    std::vector<double> netInput;     // 0..NumOutputs
    std::vector<double> error;        // 0..NumOutputs
    std::vector<double> changeInput;  // 0..NumInputs
};

// The network: the two layers of units, the connections between them and the scratch
// of the recall and learning steps. Created at the sizes of a problem.
struct NetworkLayers {
    std::vector<UnitRecord> InputUnits;   // 0..NumInputs
    std::vector<UnitRecord> OutputUnits;  // 0..NumOutputs
    ConnectionMatrix Weights;             // (output unit, input unit)
    Workspace Work;
};

// The loaded problem, the network made for it and the record of its training, as the
// program holds them for the window or a batch job; tests make their own.
// Each part keeps the names the pages and the report use; a function that reads one part
// takes that part.
struct PublicStuff : Problem, NetworkLayers, RunRecord {
    // Creates zero-filled unit and weight arrays at the current NumInputs and NumOutputs,
    // dropping the earlier ones. Throws std::bad_alloc; the old arrays survive a throw.
    void CreateUnitsAndWeights();
    // True when units and weights exist at the sizes of the loaded problem.
    bool NetworkMatchesProblem() const;
};

// Whether `weights` are of the sizes of `problem`, which is complete: what the analysis and
// the experiments need of a network to read it.
bool WeightsFit(const Problem& problem, const ConnectionMatrix& weights);

// Why `net` cannot be examined as trained on its problem (a message naming the file), or ""
// when it can. Every page that reports, probes or plots the network asks this first.
std::string NotTrainedProblem(const PublicStuff& net);

}  // namespace core

#pragma once

// The one shared network of the program: the training problem, the two layers of
// units, the connections between them, the training parameters and the SSE history.
//
// Every page reads and writes this state directly, so the variables keep the names the
// rest of the program uses for them (NumInputs, SSEHistory, ...). Units, patterns and
// history rows are numbered from 1; element 0 of every dimension exists and is unused.

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "core/large_page_allocator.h"

namespace core {

// Every count of units or patterns, and every epoch and history counter, fits a 16-bit
// signed integer; larger counts are refused before any loop runs.
inline constexpr int MaxCount = 32767;
inline constexpr int SSEHistoryRows = 2000;

// One part of a run: the epochs trained in a row with one rule and rate.
struct TrainedPart {
    std::string rule;  // "Hebb" or "Delta"
    double rate = 0.0;
    int epochs = 0;
};

struct UnitRecord {
    double NetInput = 0.0;
    double Activation = 0.0;
    double Error = 0.0;
};

struct ConnectionRecord {
    double Weight = 0.0;
    double Change = 0.0;
};

// Values of one kind of unit for every pattern, read as Table(unit, pattern).
// Stored pattern by pattern, so one pattern's values are contiguous.
class PatternTable {
  public:
    PatternTable() = default;
    // Zero-filled, units 0..units and patterns 0..patterns. Throws std::bad_alloc.
    PatternTable(int units, int patterns);

    double operator()(int unit, int pattern) const { return m_values[index(unit, pattern)]; }
    double& operator()(int unit, int pattern) { return m_values[index(unit, pattern)]; }
    // Element 0 of pattern p; elements 1..units() follow it.
    const double* pattern(int p) const { return m_values.data() + index(0, p); }

    int units() const { return m_units; }
    int patterns() const { return m_patterns; }
    // Distance from one pattern's element 0 to the next one's.
    std::size_t stride() const { return m_stride; }
    bool exists() const { return !m_values.empty(); }

  private:
    std::size_t index(int unit, int pattern) const {
        return static_cast<std::size_t>(pattern) * m_stride + static_cast<std::size_t>(unit);
    }

    int m_units = 0;
    int m_patterns = 0;
    std::size_t m_stride = 0;
    ZeroedDoubles m_values;
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
    std::vector<Block> m_weights;
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

// The module of shared state. One instance lives for the whole program (Network());
// tests make their own.
struct PublicStuff {
    std::string TrainingFileName;
    std::string TrainingFolder;  // UTF-8, the folder TrainingFileName was loaded from
    std::string ReportFileName;

    std::int32_t NumOutputs = 0;
    std::int32_t SecondHeaderValue = 0;
    std::int32_t NumInputs = 0;
    std::int32_t NumPatterns = 0;

    PatternTable InputPatterns;   // (input unit, pattern)
    PatternTable DesiredOutputs;  // (output unit, pattern)

    std::vector<UnitRecord> InputUnits;   // 0..NumInputs
    std::vector<UnitRecord> OutputUnits;  // 0..NumOutputs
    ConnectionMatrix Weights;             // (output unit, input unit)
    Workspace Work;

    std::string LearningRule;
    double LearningRate = 0.0;
    std::int16_t FreshStart = 0;
    std::int16_t MaxSweeps = 0;
    // The maximum-epochs box as last read (0 before it is read): the epochs a fresh run
    // trains and each "Continue Training" adds to SweepCount.
    std::int16_t SweepsBoxValue = 0;
    std::int16_t PrintSweeps = 0;
    double MinError = 0.0;
    // The stopping rules of the last training run, as ticked on the setup page.
    bool MaxSweepsRule = true;
    bool MinErrorRule = false;
    std::int16_t SweepCount = 0;
    double TotalSSE = 0.0;
    std::int16_t SSEHistoryCount = 0;
    // Whether the weights were trained on the loaded problem: set when a training run on it
    // completes an epoch; cleared when a file is loaded or the weights are created or zeroed.
    // Until it is set, nothing may report, probe or plot the weights as this problem's.
    bool TrainedOnProblem = false;
    // Why no run on the loaded problem can complete an epoch, or "": set when the error
    // before training cannot be computed, cleared when a file is loaded. The examining pages
    // say it instead of asking for training that cannot succeed.
    std::string UntrainableReason;
    // Whether training went on since the network was last saved or opened: set when a run
    // completes an epoch, cleared by saving or opening a network file. Leaving the program
    // then asks whether to save.
    bool UnsavedTraining = false;
    // Set by the start page when it opens a network file, so that the setup page shows the
    // network as right after its last run; cleared by the setup page once shown.
    bool ShowOpenedRun = false;
    // The network file the network was opened from, in the file system's encoding; "" once a
    // training file is loaded. Saving the network over it is fine; other saves are refused.
    std::string OpenedNetworkFile;
    // The parts of the run the weights come from, in order: their epochs add up to
    // SweepCount (empty for a network opened from a file that did not keep them).
    std::vector<TrainedPart> TrainedParts;
    // Rows 0..2000, columns 0..2: column 1 the epoch, column 2 the total SSE.
    std::array<std::array<double, 3>, SSEHistoryRows + 1> SSEHistory{};

    // Creates zero-filled unit and weight arrays at the current NumInputs and NumOutputs,
    // dropping the earlier ones. Throws std::bad_alloc; the old arrays survive a throw.
    void CreateUnitsAndWeights();
    // True when units and weights exist at the sizes of the loaded problem.
    bool NetworkMatchesProblem() const;
};

// Why `net` cannot be examined as trained on its problem (a message naming the file), or ""
// when it can. Every page that reports, probes or plots the network asks this first.
std::string NotTrainedProblem(const PublicStuff& net);

// The loaded problem by its content: the numbers of units and patterns and the bits of every
// input and desired value, hashed. Two problems with one key are the same problem with
// overwhelming likelihood, whatever their files are called.
std::uint64_t ProblemKey(const PublicStuff& net);

// The program's one instance.
PublicStuff& Network();

}  // namespace core

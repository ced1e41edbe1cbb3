#pragma once

// The epoch loop of a training run: sweeps through the patterns in file order, records
// the SSE history, reports printouts to an observer and applies the stopping rules.
// It knows no window; the setup page runs it on a worker thread and draws what the
// observer receives. The observer's calls come from the thread that runs the loop.

#include <cstdint>
#include <string>

#include "core/arithmetic.h"
#include "core/epoch_kernel.h"
#include "core/network_state.h"
#include "core/progress.h"

namespace training {

// One printout: the state after epoch SweepCount.
struct Printout {
    std::int16_t SweepCount = 0;
    double TotalSSE = 0.0;
    bool hasChange = false;  // false on the very first epoch of a fresh run
    double SSEChange = 0.0;  // previous epoch's total minus this one's: > 0 means it fell
};

class RunObserver {
  public:
    virtual ~RunObserver() = default;
    // A printout is due. Called inside the loop: keep it cheap (drawing may wait).
    virtual void printout(const Printout& printout) = 0;
    // Epoch `epoch` (SweepCount + 1) is about to be trained.
    virtual void epochStarting(int epoch) { (void)epoch; }
};

struct StoppingRules {
    bool maxEpochs = true;  // stop when SweepCount equals MaxSweeps
    bool minError = false;  // stop when TotalSSE < MinError
};

enum class RunEnd {
    RuleMet,            // a stopping rule ended the run
    Stopped,            // the observer asked to stop
    EpochLimit,         // SweepCount reached 32767 and cannot count further
    ArithmeticFailure,  // an overflow: the epoch was undone
    NoNetwork,          // the units and weights do not match the loaded problem
};

struct RunResult {
    RunEnd end = RunEnd::RuleMet;
    bool hasChange = false;  // whether SSEChange describes a pair of epochs
    double SSEChange = 0.0;
    int epochsTrained = 0;  // epochs this call completed
    // For the message box when the run did not end by a rule or the Stop button.
    std::string message;
};

// Trains from the current state: with FreshStart 1 from epoch 0 (recording the error
// before training as history row 1), otherwise on from SweepCount. Every call trains at
// least one epoch unless a failure, or a Stop while the error before training is
// measured, ends it first.
//
// On an arithmetic failure the failing epoch is undone: weights, units, SweepCount and
// TotalSSE are those of the last completed epoch (for epoch 0, TotalSSE is the error
// before training), and no value is infinite or NaN.
// The first epoch of a continued call reports its change against the TotalSSE the
// network held when the call began.
//
// `progress` (may be null) counts the groups of output blocks finished within the epoch
// under way, from zero at each epoch. A stop request is heard after every epoch, where it
// ends the run as if a stopping rule had, and between pieces of the error before training
// when that needs a recall of every pattern (weights not zero at epoch 0), where it ends
// the run before its first epoch with nothing changed.
RunResult RunTraining(core::PublicStuff& net, const StoppingRules& rules, RunObserver& observer,
                      core::Progress* progress = nullptr);

}  // namespace training

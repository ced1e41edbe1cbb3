#pragma once

// The SSE history of every training run since the program started, so that runs can be
// compared. A run begins when training starts from epoch 0 ("Start Training" after a load,
// "Reset Weights And Train Again"); training on from the weights of the moment ("Continue
// Training", "Keep Current Weights And Continue Training") extends it. An opened saved
// network brings its own history as a run.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/problem.h"
#include "core/run_record.h"

namespace training {

struct Run {
    int number = 0;  // from 1, in the order runs began
    std::string trainingFile;
    std::uint64_t problem = 0;  // core::ProblemKey of what it trained on
    // The rule, rate and epochs of each part, in the order they were trained.
    std::vector<core::TrainedPart> parts;
    std::vector<std::array<double, 2>> history;  // epoch, total SSE
};

class RunHistory {
  public:
    // After a training run on `problem` that left `record`: `began` when it started from
    // epoch 0, so that it is a new run; otherwise it extends the last run on the same
    // problem. Takes the record's SSE history and parts (one part of its rule, rate and
    // epochs when it kept none) as the run's. A run with no history keeps nothing. Throws
    // std::bad_alloc.
    void RecordTraining(const core::Problem& problem, const core::RunRecord& record, bool began);
    // A network opened from a file: its history becomes a run of its own.
    void AddOpenedRun(const core::Problem& problem, const core::RunRecord& record);

    const std::vector<Run>& runs() const { return m_runs; }
    // The runs on the problem with this core::ProblemKey, whatever its file was called, in
    // the order they began.
    std::vector<const Run*> RunsOn(std::uint64_t problem) const;
    // The up to `most` most recent runs on that problem before its latest one, in the order
    // they began.
    std::vector<const Run*> EarlierRuns(std::uint64_t problem, std::size_t most = 8) const;

  private:
    void takeHistory(const core::RunRecord& record, Run& run);

    std::vector<Run> m_runs;
    int m_begun = 0;
};

// "Run 2 (tiny.net): Delta 0.1 for 100 epochs, then Hebb 0.1 for 50"; the run the network
// holds now is "Run 4, this run (tiny.net): ...". The same text in the graph's legend and the
// spreadsheet's "Runs" sheet.
std::string RunLegend(const Run& run, bool current = false);

}  // namespace training

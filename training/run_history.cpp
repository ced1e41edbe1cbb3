#include "training/run_history.h"

#include <algorithm>

#include "text/number_format.h"
#include "text/run_parts.h"
#include "text/utf8.h"

namespace training {

void RunHistory::takeHistory(const core::RunRecord& record, Run& run) {
    const int rows = std::clamp<int>(record.SSEHistoryCount, 0, core::SSEHistoryRows);
    run.history.clear();
    for (int r = 1; r <= rows; ++r) {
        const auto& row = record.SSEHistory[static_cast<std::size_t>(r)];
        run.history.push_back({row[1], row[2]});
    }
}

void RunHistory::RecordTraining(const core::Problem& problem, const core::RunRecord& record,
                                bool began) {
    if (record.SSEHistoryCount < 1) {
        return;
    }
    const std::uint64_t key = core::ProblemKey(problem);
    Run* last = m_runs.empty() ? nullptr : &m_runs.back();
    if (began || last == nullptr || last->problem != key) {
        m_runs.push_back({++m_begun, problem.TrainingFileName, key, {}, {}});
        last = &m_runs.back();
    }
    // The record's parts count every epoch of the run, continuations included.
    if (record.partsCoverRun()) {
        last->parts = record.TrainedParts;
    } else {
        last->parts = {{record.LearningRule, record.LearningRate, record.SweepCount}};
    }
    takeHistory(record, *last);
}

void RunHistory::AddOpenedRun(const core::Problem& problem, const core::RunRecord& record) {
    RecordTraining(problem, record, true);
}

std::vector<const Run*> RunHistory::RunsOn(std::uint64_t problem) const {
    std::vector<const Run*> found;
    for (const Run& run : m_runs) {
        if (run.problem == problem) {
            found.push_back(&run);
        }
    }
    return found;
}

std::vector<const Run*> RunHistory::EarlierRuns(std::uint64_t problem, std::size_t most) const {
    std::vector<const Run*> found = RunsOn(problem);
    if (!found.empty()) {
        found.pop_back();  // the latest: the run the graph's bars show
    }
    if (found.size() > most) {
        found.erase(found.begin(), found.end() - static_cast<std::ptrdiff_t>(most));
    }
    return found;
}

std::string RunLegend(const Run& run, bool current) {
    return "Run " + std::to_string(run.number) + (current ? ", this run" : "") + " (" +
           text::ShownName(run.trainingFile) + "): " + text::RunPartsText(run.parts, {}, true);
}

}  // namespace training

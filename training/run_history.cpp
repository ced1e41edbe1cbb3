#include "training/run_history.h"

#include <algorithm>

#include "text/number_format.h"
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
    const RunPart part{record.LearningRule, record.LearningRate};
    const std::uint64_t key = core::ProblemKey(problem);
    Run* last = m_runs.empty() ? nullptr : &m_runs.back();
    if (began || last == nullptr || last->problem != key) {
        m_runs.push_back({++m_begun, problem.TrainingFileName, key, {part}, {}});
        last = &m_runs.back();
    } else if (last->parts.back().rule != part.rule || last->parts.back().rate != part.rate) {
        last->parts.push_back(part);
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

std::string RunLegend(const Run& run) {
    std::string text =
        "Run " + std::to_string(run.number) + " (" + text::ShownName(run.trainingFile) + "): ";
    for (std::size_t k = 0; k < run.parts.size(); ++k) {
        const RunPart& part = run.parts[k];
        text += k == 0 ? "" : ", ";
        text += std::string(core::RuleName(part.rule)) + (run.parts.size() == 1 ? ", rate " : " ") +
                text::FormatGeneral(part.rate);
    }
    return text;
}

}  // namespace training

// distmem-batch: trains a training file without windows and writes the summary report,
// through the same parameter reading, epoch loop and report writer as the program's pages.
//
//   distmem-batch FILE.net [--rule Hebb|Delta] [--rate R] [--epochs N] [--print K]
//                 [--min-error E] [--no-max-epochs] [--continue TIMES]
//                 [--report OUT.txt|-] [--sections 1234] [--date TEXT] [--time TEXT]
//                 [--workbook OUT.xlsx] [--save-network OUT.h5] [--quiet]
//                 [--test TESTS.net] [--degrade [--seed S]] [--json]
//   distmem-batch FILE.net --diagnose [--rule Hebb|Delta] [--rate R] [--json]
//   distmem-batch NETWORK.h5 [--continue TIMES] [--report ...] [--workbook ...]
//                 [--save-network OUT.h5] [--diagnose [--json]]
//
// A training file is loaded, trained from zero weights as "Start Training" does, then as
// often as asked as "Continue Training" does; a network file is opened instead and only
// continued. A file of test patterns is loaded, and checked against the network's sizes,
// before training and recalled after it; the degradation curves come after training too.
// The report, workbook and network file are written last, from the final state.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis.h"
#include "app/batch_files.h"
#include "app/batch_options.h"
#include "core/arithmetic.h"
#include "core/cpu_path.h"
#include "core/network_state.h"
#include "experiments/degradation.h"
#include "experiments/degradation_text.h"
#include "experiments/test_patterns.h"
#include "files/loader.h"
#include "files/network_file.h"
#include "files/path_names.h"
#include "files/replacement_file.h"
#include "report/report_writer.h"
#include "report/workbook_writer.h"
#include "text/utf8.h"
#include "training/parameters.h"
#include "training/training_run.h"
#include "views/progress_rows.h"

namespace {

// The message and where the options are described: the whole usage text after it would
// push the one line that says what to change off a terminal's screen.
int usageError(const std::string& message) {
    std::fprintf(stderr, "distmem-batch: %s\nRun \"distmem-batch --help\" for the options.\n",
                 message.c_str());
    return 2;
}

// Progress on standard error while it is a terminal (and --quiet was not given): one line,
// rewritten at most five times a second between epochs and cleared when training ends, so
// that logs and pipes see nothing of it.
class TerminalProgress final : public training::RunObserver {
  public:
    using Clock = std::chrono::steady_clock;

    TerminalProgress(bool show, int totalEpochs)
        : m_show(show && ::isatty(STDERR_FILENO) == 1), m_totalEpochs(totalEpochs) {}
    ~TerminalProgress() override { clear(); }
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void printout(const training::Printout& printout) override {
        m_sse = printout.TotalSSE;
        m_hasSSE = true;
    }
    void epochStarting(int epoch) override {
        // Continuations count on from the first run.
        m_done = epoch - 1;
        const Clock::time_point now = Clock::now();
        if (!m_show || now - m_lastDrawn < std::chrono::milliseconds(200)) {
            return;
        }
        m_lastDrawn = now;
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        const std::string line =
            views::BatchProgressLine(m_done, m_totalEpochs, m_hasSSE ? &m_sse : nullptr, seconds);
        std::fprintf(stderr, "\r%s\033[K", line.c_str());
        std::fflush(stderr);
        m_drawn = true;
    }

    // Removes the line, before anything else is written.
    void clear() {
        if (m_drawn) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
            m_drawn = false;
        }
    }

  private:
    bool m_show;
    int m_totalEpochs;
    int m_done = 0;
    double m_sse = 0.0;
    bool m_hasSSE = false;
    bool m_drawn = false;
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_lastDrawn = Clock::now();
};

// Writes to standard output and flushes it; false on failure, with errno saying why. A
// full disk or a reader gone away (SIGPIPE is ignored, so a closed pipe fails here) must
// not pass for success.
bool writeOut(std::string_view text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
           std::fflush(stdout) == 0;
}

int outputFailed() {
    const int code = errno;
    std::fprintf(stderr, "distmem-batch: Cannot write to standard output: %s.\n",
                 files::SystemReason(code).c_str());
    return 1;
}

// --diagnose: the analysis of the loaded file at the rule and rate read, without training.
// False when standard output cannot take it.
bool diagnose(const core::PublicStuff& net, const app::Options& options) {
    const core::Rule rule = core::RuleNamed(options.rule).value_or(core::Rule::Delta);
    // The terminal has no window to keep responsive: no work limits. A search that will
    // take long says so first, on a terminal only, as training's progress does.
    if (!options.quiet && ::isatty(STDERR_FILENO) == 1 &&
        std::min(net.NumInputs, net.NumPatterns) >= 1024) {
        std::fprintf(stderr,
                     "distmem-batch: %d patterns of %d inputs: finding the Delta rule's largest "
                     "stable rate at this size can take minutes.\n",
                     net.NumPatterns, net.NumInputs);
    }
    const analysis::Analysis result =
        analysis::Analyse(net, rule, net.LearningRate, analysis::Limits::none());
    return writeOut(options.json ? analysis::RenderJson(result) : analysis::RenderText(result));
}

std::string now(const char* format) {
    const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&t, &local);
    char text[64];
    return std::string(text, std::strftime(text, sizeof text, format, &local));
}

report::ReportContext reportContext(const app::Options& options) {
    report::ReportContext context;
    context.date = [&options] { return options.date.empty() ? now("%x") : options.date; };
    context.time = [&options] { return options.time.empty() ? now("%X") : options.time; };
    return context;
}

// The report, to standard output for "-", otherwise streamed into `target`, opened before
// training.
bool writeReport(core::PublicStuff& net, const app::Options& options,
                 files::ReplacementFile& target, std::string& error) {
    const report::ReportContext context = reportContext(options);
    if (options.reportPath != "-") {
        const report::ReportSink toFile = [&target](std::string_view bytes, std::string& failure) {
            return target.write(bytes, failure);
        };
        return report::StreamReport(net, options.sections, context, toFile, error) &&
               target.commit(error);
    }
    // Standard output gets all or nothing too, so the report is built whole first.
    std::string text;
    if (!report::ReportText(net, options.sections, context, &text, error)) {
        return false;
    }
    if (!writeOut(text)) {
        error = "Cannot write the report to standard output: " + files::SystemReason(errno) + ".";
        return false;
    }
    return true;
}

// Loads a training file and reads the boxes as "Start Training" does; or opens a network
// file. Returns 0, or the exit status after a message.
int prepareNetwork(core::PublicStuff& net, app::Options& options) {
    std::string error;
    if (options.opensNetwork) {
        if (!files::OpenNetwork(net, options.file, error)) {
            std::fprintf(stderr, "distmem-batch: %s\n", error.c_str());
            return 1;
        }
        options.rule = core::RuleName(net.LearningRule);
        return 0;
    }
    files::FileTail tail;
    if (!files::LoadTrainingFile(net, options.file, error, nullptr, &tail)) {
        std::fprintf(stderr, "distmem-batch: %s\n", error.c_str());
        return 1;
    }
    if (const std::string note = files::TailNote(tail); !note.empty()) {
        std::fprintf(stderr, "distmem-batch: warning: %s\n", note.c_str());
    }
    net.TrainingFileName = files::FileNameOf(options.file);
    net.FreshStart = 1;
    try {
        net.CreateUnitsAndWeights();
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "distmem-batch: not enough memory for the units and weights.\n");
        return 1;
    }
    net.LearningRule = core::RuleNamed(options.rule).value_or(core::Rule::Delta);
    const training::ParameterOutcome outcome =
        training::ReadTrainingParameters(net, options.boxes, {});
    if (outcome.problem) {
        std::fprintf(stderr, "distmem-batch: %s\n", outcome.problem->message.c_str());
        return 2;
    }
    if (outcome.negativeRate) {
        // The window puts 0.1 in the box for the student to see; here nobody would.
        std::fprintf(stderr,
                     "distmem-batch: the learning rate \"%s\" is negative; give a rate of 0 or "
                     "more.\n",
                     options.boxes.LRateBox.c_str());
        return 2;
    }
    return 0;
}

// The epochs the whole job reaches when every run goes to the maximum: refused when the
// epoch counter cannot hold them, before any of the work is done. Returns 0 or 2.
int checkEpochLimit(const core::PublicStuff& net, const app::Options& options, int perRun) {
    const long long already = options.opensNetwork ? net.SweepCount : 0;
    const long long runs = options.continueTimes + (options.opensNetwork ? 0LL : 1LL);
    const long long total = already + perRun * runs;
    if (total <= core::MaxCount) {
        return 0;
    }
    if (options.opensNetwork) {
        std::fprintf(stderr,
                     "distmem-batch: %lld epochs trained and %d %s of %d %s make %lld epochs, "
                     "more than the %d this program counts. Ask for fewer continuations.\n",
                     already, options.continueTimes,
                     options.continueTimes == 1 ? "continuation" : "continuations", perRun,
                     perRun == 1 ? "epoch" : "epochs", total, core::MaxCount);
    } else {
        std::fprintf(stderr,
                     "distmem-batch: %d %s and %d %s make %lld epochs, more than the %d this "
                     "program counts. Ask for fewer epochs or continuations.\n",
                     perRun, perRun == 1 ? "epoch" : "epochs", options.continueTimes,
                     options.continueTimes == 1 ? "continuation" : "continuations", total,
                     core::MaxCount);
    }
    return 2;
}

// Trains as asked: from zero weights as "Start Training" does (a training file), then as
// often as asked as "Continue Training" does. Returns 0, or the exit status after a message.
int train(core::PublicStuff& net, const app::Options& options, training::RunResult& result) {
    // Every run and every continuation trains up to the epoch box's count.
    const training::StoppingRules rules =
        options.opensNetwork
            ? training::StoppingRules{net.MaxSweepsRule, net.MinErrorRule}
            : training::StoppingRules{options.boxes.maxEpochsTicked, options.minErrorRule};
    // Continuations read the epochs box as the setup page does: the box given, or the one
    // the network was saved with.
    const std::string sweepsBox =
        options.opensNetwork ? std::to_string(net.SweepsBoxValue) : options.boxes.SweepsBox;
    const int perRun = options.opensNetwork ? net.SweepsBoxValue : net.MaxSweeps;
    if (rules.maxEpochs) {
        if (const int status = checkEpochLimit(net, options, perRun); status != 0) {
            return status;
        }
    }
    const int totalEpochs =
        rules.maxEpochs ? (options.opensNetwork ? net.SweepCount : 0) +
                              perRun * (options.continueTimes + (options.opensNetwork ? 0 : 1))
                        : 0;
    TerminalProgress progress(!options.quiet, totalEpochs);
    if (!options.opensNetwork) {
        // As "Start Training" does: zero the weights of a fresh start, train.
        (void)core::ZeroWeights(net);
        result = training::RunTraining(net, rules, progress);
    }
    // As "Continue Training" does, as often as asked.
    for (int k = 0; k < options.continueTimes && result.message.empty(); ++k) {
        if (rules.maxEpochs) {
            if (auto problem = training::ContinueMaxSweeps(net, sweepsBox, {})) {
                progress.clear();
                std::fprintf(stderr, "distmem-batch: %s\n", problem->message.c_str());
                return 1;
            }
        }
        net.FreshStart = 0;
        result = training::RunTraining(net, rules, progress);
    }
    return 0;
}

// --test and --degrade after training: the test recall and the degradation curves, as text
// or JSON. Returns 0, or the exit status after a message.
int experiment(const core::PublicStuff& net, const core::Problem& tests,
               const app::Options& options) {
    if (options.testPath.empty() && !options.degrade) {
        return 0;
    }
    if (!net.TrainedOnProblem) {
        std::fprintf(stderr,
                     "distmem-batch: nothing recalled: training stopped before the "
                     "first epoch, so there is no trained network to test.\n");
        return 1;
    }
    std::string out;
    std::string error;
    if (!options.testPath.empty()) {
        experiments::TestRecall recall;
        try {
            if (!experiments::RecallTestPatterns(
                    net.Weights, tests, files::FileNameOf(options.testPath), recall, error)) {
                std::fprintf(stderr, "distmem-batch: %s\n", error.c_str());
                return 1;
            }
        } catch (const std::bad_alloc&) {
            std::fprintf(stderr, "distmem-batch: not enough memory to recall the test patterns.\n");
            return 1;
        }
        if (options.json) {
            out += experiments::TestRecallJson(recall);
        } else {
            out += experiments::TestSummary(recall) + "\n";
            for (const experiments::TestPatternScore& score : recall.scores) {
                char line[128];
                std::snprintf(line, sizeof line, "test %d: SSE %.17g, nearest %d\n", score.test,
                              score.sse, score.nearest);
                out += line;
            }
        }
    }
    if (options.degrade) {
        const experiments::DegradationResult result =
            experiments::ComputeDegradation(net, net.Weights, options.seed);
        if (result.status != core::WorkEnd::Done) {
            std::fprintf(stderr, "distmem-batch: %s\n", result.message.c_str());
            return 1;
        }
        out += options.json ? experiments::DegradationJson(result.curves)
                            : experiments::DegradationTable(result.curves);
    }
    return writeOut(out) ? 0 : outputFailed();
}

// The summary line: on standard output, or on standard error when the report or a JSON
// object goes to standard output. Returns 0, or 1 after a message when standard output fails.
int printSummary(const core::PublicStuff& net, const app::Options& options) {
    char line[1024];  // a name is shown in at most 255 bytes
    const std::string name = text::ShownName(net.TrainingFileName);
    if (net.TrainedOnProblem) {
        std::snprintf(line, sizeof line, "%s: %s rule, rate %g, %d %s, total SSE %.17g\n",
                      name.c_str(), std::string(core::RuleName(net.LearningRule)).c_str(),
                      net.LearningRate, net.SweepCount, net.SweepCount == 1 ? "epoch" : "epochs",
                      net.TotalSSE);
    } else {
        std::snprintf(line, sizeof line,
                      "%s: %s rule, rate %g, training stopped before the first epoch, no total "
                      "SSE\n",
                      name.c_str(), std::string(core::RuleName(net.LearningRule)).c_str(),
                      net.LearningRate);
    }
    if (options.reportPath == "-" || options.json) {
        std::fputs(line, stderr);
        return 0;
    }
    return writeOut(line) ? 0 : outputFailed();
}

// The report, workbook and network file, from the final state, into the targets opened
// before training. Returns 0, or 1 after a message.
int writeResults(core::PublicStuff& net, const app::Options& options, app::BatchTargets& targets) {
    if (options.reportPath.empty() && options.workbookPath.empty() && options.networkPath.empty()) {
        return 0;
    }
    if (!net.TrainedOnProblem) {
        std::fprintf(stderr,
                     "distmem-batch: no report, workbook or network file written: training "
                     "stopped before the first epoch, so there is no result to keep.\n");
        return 1;
    }
    std::string error;
    if ((!options.reportPath.empty() && !writeReport(net, options, targets.report, error)) ||
        (!options.workbookPath.empty() &&
         !report::WriteWorkbook(net, targets.workbook, reportContext(options), error)) ||
        (!options.networkPath.empty() && !files::SaveNetwork(net, targets.network, error))) {
        std::fprintf(stderr, "distmem-batch: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Before anything else: the mask is read once, and a signal that ends the program
    // leaves no temporary file behind.
    (void)files::FileCreationMask();
    files::InstallTemporaryFileCleanup();
    // A reader that goes away becomes a write error, reported, rather than a silent end.
    std::signal(SIGPIPE, SIG_IGN);
    app::Options options;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        return writeOut(app::BatchUsage()) ? 0 : outputFailed();
    }
    if (args.size() == 1 && args[0] == "--version") {
        return writeOut(app::kVersionLine) ? 0 : outputFailed();
    }
    if (const std::string problem = app::ParseBatchOptions(args, options); !problem.empty()) {
        return usageError(problem);
    }
    if (const std::string problem = app::SameFileProblem(options); !problem.empty()) {
        return usageError(problem);
    }
    if (options.cpu) {
        (void)core::ChooseCpuPath(*options.cpu);  // checked against the processor above
    }
    // Every file to be written is checked, and its temporary file made, before hours of
    // training.
    app::BatchTargets targets;
    std::string error;
    if (!app::OpenTargets(options, targets, error)) {
        std::fprintf(stderr, "distmem-batch: %s\n", error.c_str());
        return 1;
    }

    core::PublicStuff net;
    if (const int status = prepareNetwork(net, options); status != 0) {
        return status;
    }
    // A file of test patterns that cannot be used is refused before training.
    core::Problem tests;
    if (!options.testPath.empty() &&
        !experiments::LoadTestPatterns(net, options.testPath, tests, error)) {
        std::fprintf(stderr, "distmem-batch: %s\n", error.c_str());
        return 2;
    }
    training::RunResult result;
    if (options.diagnose) {
        // Trains nothing: the options allow files to write only for a saved network.
        if (!diagnose(net, options)) {
            return outputFailed();
        }
    } else {
        if (const int status = train(net, options, result); status != 0) {
            return status;
        }
        if (const int status = printSummary(net, options); status != 0) {
            return status;
        }
        if (!result.message.empty()) {
            std::fprintf(stderr, "distmem-batch: %s\n", result.message.c_str());
        }
    }
    if (const int status = experiment(net, tests, options); status != 0) {
        return status;
    }
    if (const int status = writeResults(net, options, targets); status != 0) {
        return status;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        return outputFailed();
    }
    return result.message.empty() ? 0 : 1;
}

// distmem-batch: trains a training file without windows and writes the summary report,
// through the same parameter reading, epoch loop and report writer as the program's pages.
//
//   distmem-batch FILE.net [--rule Hebb|Delta] [--rate R] [--epochs N] [--print K]
//                 [--min-error E] [--no-max-epochs] [--continue TIMES]
//                 [--report OUT.txt|-] [--sections 1234] [--date TEXT] [--time TEXT]
//                 [--workbook OUT.xlsx] [--quiet]
//   distmem-batch FILE.net --diagnose [--rule Hebb|Delta] [--rate R] [--json]

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis.h"
#include "core/arithmetic.h"
#include "core/loader.h"
#include "core/network_state.h"
#include "core/replacement_file.h"
#include "report/report_writer.h"
#include "report/workbook_writer.h"
#include "training/parameters.h"
#include "training/progress_rows.h"
#include "training/training_run.h"

namespace {

constexpr const char* kUsage =
    "usage: distmem-batch FILE.net [--rule Hebb|Delta] [--rate R] [--epochs N] [--print K]\n"
    "                     [--min-error E] [--no-max-epochs] [--continue TIMES]\n"
    "                     [--report OUT.txt|-] [--sections 0123456] [--date TEXT] [--time TEXT]\n"
    "                     [--workbook OUT.xlsx] [--quiet]\n"
    "Trains FILE.net as the setup page does (defaults: Hebb, rate 0.10, 100 epochs, a printout\n"
    "every 10) and writes the summary report with the given sections (default 1234), and with\n"
    "--workbook the spreadsheet of the run; with --report - the report goes to standard output\n"
    "and the summary line to standard error. A report or workbook replaces only a plain file\n"
    "(or the file a link points at). While standard error is a terminal, a line there shows\n"
    "the epoch, the total SSE, the time so far and the time left; --quiet leaves it out.\n"
    "Reports use \".\" and \",\" in numbers and MM/DD/YY HH:MM:SS dates whatever the locale, so a\n"
    "batch report is the same on every machine; the windows follow the user's locale.\n"
    "       distmem-batch FILE.net --diagnose [--rule Hebb|Delta] [--rate R] [--json]\n"
    "Prints, without training, what each rule will do on FILE.net at the rate: the patterns'\n"
    "lengths, overlaps and rank, the lowest SSE any weights can give, the Hebb rule's best\n"
    "epoch and the Delta rule's stability; with --json as one JSON object.\n";

struct Options {
    std::string file;
    std::string rule = "Hebb";
    training::ParameterBoxes boxes{"100", "10", "0.10", "0.05", true};
    bool minErrorRule = false;
    int continueTimes = 0;
    std::string reportPath;
    std::string workbookPath;
    report::SectionFlags sections = report::DefaultSections;
    std::string date;
    std::string time;
    bool diagnose = false;
    bool json = false;
    bool quiet = false;
};

int usageError(const std::string& message) {
    std::fprintf(stderr, "distmem-batch: %s\n%s", message.c_str(), kUsage);
    return 2;
}

// Reads the arguments; returns an error message, or "" when they are fine.
std::string parse(const std::vector<std::string_view>& args, Options& options) {
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string_view arg = args[k];
        auto value = [&](std::string& out) {
            if (k + 1 >= args.size()) {
                return false;
            }
            out = std::string(args[++k]);
            return true;
        };
        std::string text;
        if (arg == "--no-max-epochs") {
            options.boxes.maxEpochsTicked = false;
        } else if (arg == "--diagnose") {
            options.diagnose = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--rule" || arg == "--rate" || arg == "--epochs" || arg == "--print" ||
                   arg == "--min-error" || arg == "--continue" || arg == "--report" ||
                   arg == "--sections" || arg == "--date" || arg == "--time" ||
                   arg == "--workbook") {
            if (!value(text)) {
                return std::string(arg) + " needs a value";
            }
            if (arg == "--rule") {
                if (text != "Hebb" && text != "Delta") {
                    return "--rule takes Hebb or Delta, not \"" + text + "\"";
                }
                options.rule = text;
            } else if (arg == "--rate") {
                options.boxes.LRateBox = text;
            } else if (arg == "--epochs") {
                options.boxes.SweepsBox = text;
            } else if (arg == "--print") {
                options.boxes.PrintSweepsBox = text;
            } else if (arg == "--min-error") {
                options.boxes.MinErrorBox = text;
                options.minErrorRule = true;
            } else if (arg == "--continue") {
                if (text.empty() || text.size() > 5 ||
                    text.find_first_not_of("0123456789") != std::string::npos) {
                    return "--continue takes a whole number of times, not \"" + text + "\"";
                }
                options.continueTimes = std::stoi(text);
            } else if (arg == "--report") {
                if (text.empty()) {
                    return "--report needs a file name, or - for standard output";
                }
                options.reportPath = text;
            } else if (arg == "--workbook") {
                options.workbookPath = text;
            } else if (arg == "--sections") {
                options.sections = {};
                for (const char c : text) {
                    if (c < '0' || c > '6') {
                        return "--sections takes digits 0 to 6, not \"" + text + "\"";
                    }
                    options.sections[static_cast<std::size_t>(c - '0')] = true;
                }
            } else if (arg == "--date") {
                options.date = text;
            } else {
                options.time = text;
            }
        } else if (arg.starts_with("--")) {
            return "unknown option " + std::string(arg);
        } else if (options.file.empty()) {
            options.file = std::string(arg);
        } else {
            return "more than one training file given";
        }
    }
    if (options.file.empty()) {
        return "no training file given";
    }
    if (options.json && !options.diagnose) {
        return "--json goes with --diagnose";
    }
    return "";
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
    bool keepGoing() override { return true; }
    void epochStarting(int epoch) override {
        // Continuations count on from the first run.
        m_done = epoch - 1;
        const Clock::time_point now = Clock::now();
        if (!m_show || now - m_lastDrawn < std::chrono::milliseconds(200)) {
            return;
        }
        m_lastDrawn = now;
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        const std::string line = training::BatchProgressLine(m_done, m_totalEpochs,
                                                             m_hasSSE ? &m_sse : nullptr, seconds);
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

// --diagnose: the analysis of the loaded file at the rule and rate read, without training.
int diagnose(const core::PublicStuff& net, const Options& options) {
    const analysis::Rule rule =
        options.rule == "Hebb" ? analysis::Rule::Hebb : analysis::Rule::Delta;
    const analysis::Analysis result = analysis::analyse(net, rule, net.LearningRate);
    const std::string text =
        options.json ? analysis::renderJson(result) : analysis::renderText(result);
    std::fputs(text.c_str(), stdout);
    return 0;
}

std::string now(const char* format) {
    const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&t, &local);
    char text[64];
    return std::string(text, std::strftime(text, sizeof text, format, &local));
}

// Whether `report` names the training file itself: the same path, or the same file by
// another name (a link, "./").
bool isTrainingFile(const std::string& report, const std::string& training) {
    struct stat a {};
    struct stat b {};
    return report == training ||
           (::stat(report.c_str(), &a) == 0 && ::stat(training.c_str(), &b) == 0 &&
            a.st_dev == b.st_dev && a.st_ino == b.st_ino);
}

report::ReportContext reportContext(const Options& options) {
    report::ReportContext context;
    context.date = [&options] { return options.date.empty() ? now("%x") : options.date; };
    context.time = [&options] { return options.time.empty() ? now("%X") : options.time; };
    return context;
}

bool writeWorkbook(core::PublicStuff& net, const Options& options, std::string* error) {
    return report::WriteWorkbook(net, options.workbookPath, reportContext(options), error);
}

// The report, to standard output for "-", otherwise streamed into `target`, opened before
// training.
bool writeReport(core::PublicStuff& net, const Options& options, core::ReplacementFile& target,
                 std::string* error) {
    const report::ReportContext context = reportContext(options);
    if (options.reportPath != "-") {
        const report::ReportSink toFile = [&target](std::string_view bytes, std::string* failure) {
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
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
        *error = "Cannot write the report to standard output.";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Before anything else: the mask is read once, and an interrupted report leaves no
    // temporary file behind.
    (void)core::FileCreationMask();
    core::RemoveTemporaryFileOnSignal();
    Options options;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (const std::string problem = parse(args, options); !problem.empty()) {
        return usageError(problem);
    }
    if (!options.reportPath.empty() && isTrainingFile(options.reportPath, options.file)) {
        return usageError("--report names the training file itself; choose another file name");
    }
    // The report's file is checked and its temporary file made before hours of training.
    core::ReplacementFile target;
    std::string error;
    if (!options.reportPath.empty() && options.reportPath != "-" &&
        !target.open(options.reportPath, "Cannot write the report", &error)) {
        std::fprintf(stderr, "distmem-batch: %s\n", error.c_str());
        return 1;
    }

    core::PublicStuff net;
    if (!core::LoadTrainingFile(net, options.file, &error)) {
        std::fprintf(stderr, "distmem-batch: %s\n", error.c_str());
        return 1;
    }
    const std::size_t slash = options.file.rfind('/');
    net.TrainingFileName =
        slash == std::string::npos ? options.file : options.file.substr(slash + 1);
    net.FreshStart = 1;
    try {
        net.CreateUnitsAndWeights();
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "distmem-batch: not enough memory for the units and weights.\n");
        return 1;
    }
    net.LearningRule = options.rule;

    // As "Start Training" does: read the boxes, zero the weights of a fresh start, train.
    const training::ParameterOutcome outcome =
        training::ReadTrainingParameters(net, options.boxes, {});
    if (outcome.problem) {
        std::fprintf(stderr, "distmem-batch: %s\n", outcome.problem->message.c_str());
        return 2;
    }
    if (outcome.negativeRate) {
        std::fprintf(stderr, "distmem-batch: Learning rate cannot be negative; using 0.1.\n");
    }
    if (options.diagnose) {
        return diagnose(net, options);
    }
    // Every run and every continuation trains up to the epoch box's count: refuse work the
    // epoch counter cannot hold before any of it is done.
    if (options.boxes.maxEpochsTicked &&
        static_cast<long long>(net.MaxSweeps) * (options.continueTimes + 1LL) > core::MaxCount) {
        std::fprintf(stderr,
                     "distmem-batch: %d %s and %d %s make %lld epochs, more than the %d this "
                     "program counts. Ask for fewer epochs or continuations.\n",
                     net.MaxSweeps, net.MaxSweeps == 1 ? "epoch" : "epochs", options.continueTimes,
                     options.continueTimes == 1 ? "continuation" : "continuations",
                     static_cast<long long>(net.MaxSweeps) * (options.continueTimes + 1LL),
                     core::MaxCount);
        return 2;
    }
    (void)core::ZeroWeights(net);
    const training::StoppingRules rules{options.boxes.maxEpochsTicked, options.minErrorRule};
    const int totalEpochs = rules.maxEpochs ? net.MaxSweeps * (options.continueTimes + 1) : 0;
    TerminalProgress progress(!options.quiet, totalEpochs);
    training::RunResult result = training::RunTraining(net, rules, progress);
    // As "Continue Training" does, as often as asked.
    for (int k = 0; k < options.continueTimes && result.message.empty(); ++k) {
        if (rules.maxEpochs) {
            if (auto problem = training::ContinueMaxSweeps(net, options.boxes.SweepsBox, {})) {
                std::fprintf(stderr, "distmem-batch: %s\n", problem->message.c_str());
                return 1;
            }
        }
        net.FreshStart = 0;
        result = training::RunTraining(net, rules, progress);
    }
    progress.clear();
    // The summary goes where the report does not.
    std::FILE* summary = options.reportPath == "-" ? stderr : stdout;
    if (net.TrainedOnProblem) {
        std::fprintf(summary, "%s: %s rule, rate %g, %d %s, total SSE %.17g\n",
                     net.TrainingFileName.c_str(), net.LearningRule.c_str(), net.LearningRate,
                     net.SweepCount, net.SweepCount == 1 ? "epoch" : "epochs", net.TotalSSE);
    } else {
        std::fprintf(summary,
                     "%s: %s rule, rate %g, training stopped before the first epoch, no total "
                     "SSE\n",
                     net.TrainingFileName.c_str(), net.LearningRule.c_str(), net.LearningRate);
    }
    if (!result.message.empty()) {
        std::fprintf(stderr, "distmem-batch: %s\n", result.message.c_str());
    }

    if (!options.reportPath.empty() || !options.workbookPath.empty()) {
        if (!net.TrainedOnProblem) {
            std::fprintf(stderr,
                         "distmem-batch: no report or workbook written: training stopped before "
                         "the first epoch, so there is no result to report.\n");
            return 1;
        }
        if ((!options.reportPath.empty() && !writeReport(net, options, target, &error)) ||
            (!options.workbookPath.empty() && !writeWorkbook(net, options, &error))) {
            std::fprintf(stderr, "distmem-batch: %s\n", error.c_str());
            return 1;
        }
    }
    return result.message.empty() ? 0 : 1;
}

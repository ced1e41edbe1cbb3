// Where a whole batch job spends its time: the job distmem-batch runs for
// `FILE.net --rule Delta --epochs 10 --report OUT.txt` (load, 10 Delta epochs, the default
// report), through the same library calls, stage by stage. Prints the median of each
// stage over the repetitions, in milliseconds of wall time.
//
//   batch_stages [FILE.net] [--epochs N] [--rate R] [--repetitions R] [--cpu PATH]
//
// Without a file, a 1024 x 1024 x 100 problem is written to a temporary file first. The
// report's recalls are timed apart by recalling every pattern once per section as the
// report does; "format" is the report's time less those recalls and its writes.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/arithmetic.h"
#include "core/cpu_path.h"
#include "core/pattern_recall.h"
#include "files/loader.h"
#include "files/replacement_file.h"
#include "report/report_writer.h"
#include "training/training_run.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Values of every sign, the same on every run.
double sample(long long k) {
    return static_cast<double>((k * 7919) % 200'003 - 100'001) / 97.0;
}

fs::path writeProblem() {
    fs::path file = fs::temp_directory_path() / (std::to_string(::getpid()) + "stages.net");
    std::ofstream out(file);
    out << "1024 0 1024 100\n";
    for (int p = 1; p <= 100; ++p) {
        for (int u = 1; u <= 1024; ++u) {
            out << sample(p * 131 + u) / 100'000.0 << (u % 16 == 0 ? '\n' : ' ');
        }
    }
    for (int p = 1; p <= 100; ++p) {
        for (int u = 1; u <= 1024; ++u) {
            out << sample(p * 17 + u * 3) / 1000.0 << (u % 16 == 0 ? '\n' : ' ');
        }
    }
    return file;
}

// Marks the start of every epoch, so that the time before the first one is the error
// before training.
struct EpochClock final : training::RunObserver {
    std::vector<Clock::time_point> starts;
    void printout(const training::Printout&) override {}
    void epochStarting(int) override { starts.push_back(Clock::now()); }
};

struct Stages {
    double load = 0, create = 0, before = 0, firstEpoch = 0, laterEpoch = 0, epochs = 0,
           recalls = 0, format = 0, write = 0, commit = 0, total = 0;
};

bool runJob(const std::string& file, int epochs, double rate, const fs::path& report, Stages& s) {
    std::string error;
    const Clock::time_point start = Clock::now();
    core::PublicStuff net;
    Clock::time_point t = Clock::now();
    if (!files::LoadTrainingFile(net, file, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    s.load = msSince(t);
    t = Clock::now();
    net.TrainingFileName = "stages.net";
    net.FreshStart = 1;
    net.CreateUnitsAndWeights();
    net.LearningRule = core::Rule::Delta;
    net.LearningRate = rate;
    net.MaxSweeps = static_cast<std::int16_t>(epochs);
    net.PrintSweeps = 1;
    (void)core::ZeroWeights(net);
    s.create = msSince(t);

    EpochClock clock;
    t = Clock::now();
    const training::RunResult result = training::RunTraining(net, {true, false}, clock);
    if (!result.message.empty()) {
        std::fprintf(stderr, "%s\n", result.message.c_str());
        return false;
    }
    const Clock::time_point end = Clock::now();
    clock.starts.push_back(end);
    const auto ms = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double, std::milli>(b - a).count();
    };
    s.before = ms(t, clock.starts[0]);
    s.firstEpoch = ms(clock.starts[0], clock.starts[1]);
    std::vector<double> later;
    for (std::size_t k = 2; k < clock.starts.size(); ++k) {
        later.push_back(ms(clock.starts[k - 1], clock.starts[k]));
    }
    std::sort(later.begin(), later.end());
    s.laterEpoch = later.empty() ? 0.0 : later[later.size() / 2];
    s.epochs = ms(clock.starts[0], end);

    report::ReportContext context;
    context.date = [] { return std::string("3/4/2002"); };
    context.time = [] { return std::string("10:15"); };
    files::ReplacementFile target;
    if (!target.open(report, "Cannot write the report", error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    double writing = 0.0;
    const report::ReportSink toFile = [&](std::string_view bytes, std::string& failure) {
        const Clock::time_point w = Clock::now();
        const bool ok = target.write(bytes, failure);
        writing += msSince(w);
        return ok;
    };
    t = Clock::now();
    if (!report::StreamReport(net, report::DefaultSections, context, toFile, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    const double streamed = msSince(t);
    t = Clock::now();
    if (!target.commit(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    s.commit = msSince(t);
    s.total = msSince(start);
    s.write = writing;

    // The report's recalls alone: every pattern, once for each of its two sections.
    const auto stride = static_cast<std::size_t>(net.NumOutputs) + 1;
    std::vector<double> sums(stride * static_cast<std::size_t>(net.NumPatterns));
    std::vector<double> errors(sums.size());
    core::PatternRecall recall;
    t = Clock::now();
    for (int section = 0; section < 2; ++section) {
        (void)recall.recall(net, 1, net.NumPatterns, sums.data(), errors.data());
    }
    s.recalls = msSince(t);
    s.format = streamed - writing - s.recalls;
    return true;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    std::string file;
    int epochs = 10;
    int repetitions = 5;
    double rate = 0.1;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (arg == "--epochs" && k + 1 < argc) {
            epochs = static_cast<int>(std::strtol(argv[++k], nullptr, 10));
        } else if (arg == "--rate" && k + 1 < argc) {
            rate = std::strtod(argv[++k], nullptr);
        } else if (arg == "--repetitions" && k + 1 < argc) {
            repetitions = std::max(1, static_cast<int>(std::strtol(argv[++k], nullptr, 10)));
        } else if (arg == "--cpu" && k + 1 < argc) {
            const auto path = core::CpuPathNamed(argv[++k]);
            if (!path || !core::ChooseCpuPath(*path)) {
                std::fprintf(stderr, "batch_stages: no path %s here\n", argv[k]);
                return 2;
            }
        } else {
            file = arg;
        }
    }
    const bool own = file.empty();
    if (own) {
        file = writeProblem();
    }
    const fs::path report = fs::temp_directory_path() / (std::to_string(::getpid()) + "stages.txt");
    std::vector<Stages> runs;
    for (int r = 0; r < repetitions; ++r) {
        Stages s;
        if (!runJob(file, epochs, rate, report, s)) {
            return 1;
        }
        runs.push_back(s);
    }
    const std::pair<const char*, double Stages::*> rows[] = {
        {"load", &Stages::load},
        {"units and weights", &Stages::create},
        {"error before training", &Stages::before},
        {"first epoch", &Stages::firstEpoch},
        {"later epoch (median)", &Stages::laterEpoch},
        {"all epochs", &Stages::epochs},
        {"report recalls", &Stages::recalls},
        {"report formatting", &Stages::format},
        {"report writes", &Stages::write},
        {"report flush and rename", &Stages::commit},
        {"whole job", &Stages::total},
    };
    std::printf("Batch job stages, %d epochs, median of %d (ms of wall time)\n", epochs,
                repetitions);
    for (const auto& [name, field] : rows) {
        std::vector<double> values;
        values.reserve(runs.size());
        for (const Stages& s : runs) {
            values.push_back(s.*field);
        }
        std::printf("| %-24s | %9.2f |\n", name, median(values));
    }
    std::error_code ignored;
    fs::remove(report, ignored);
    if (own) {
        fs::remove(file, ignored);
    }
    return 0;
}

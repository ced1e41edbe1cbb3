// The report of a 1024 x 1024 x 100 run with all seven sections, written side by side:
// streamed by one thread and by all, the same text built whole by the routine reports used
// before streaming (kept below), and the same bytes written with one write() call (the
// disk's rate). Also the two-decimal formats alone, and, before them, the memory that
// saving the report of a 4096 x 4096 x 64 network adds to the process, streamed and built
// whole (each in a child process, so that the benchmark's own allocations do not count).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/peak_memory.h"
#include "core/arithmetic.h"
#include "files/loader.h"
#include "files/replacement_file.h"
#include "report/report_writer.h"
#include "training/training_run.h"

namespace {

namespace fs = std::filesystem;

constexpr report::SectionFlags kAll = {true, true, true, true, true, true, true};

// Values of every sign and of one to four integer digits, the same on every run.
double sample(long long k) {
    return static_cast<double>((k * 7919) % 200'003 - 100'001) / 97.0;
}

void makeNetwork(core::PublicStuff& net, int units, int patterns) {
    net.TrainingFileName = "bench.net";
    net.NumInputs = net.NumOutputs = units;
    net.NumPatterns = patterns;
    net.InputPatterns = core::PatternTable(units, patterns);
    net.DesiredOutputs = core::PatternTable(units, patterns);
    net.CreateUnitsAndWeights();
    for (int p = 1; p <= patterns; ++p) {
        for (int u = 1; u <= units; ++u) {
            net.InputPatterns(u, p) = sample(p * 131 + u) / units / 100.0;
            net.DesiredOutputs(u, p) = sample(p * 17 + u * 3);
        }
    }
    for (int j = 1; j <= units; ++j) {
        for (int i = 1; i <= units; ++i) {
            net.Weights.setWeight(j, i, sample(static_cast<long long>(j) * units + i));
        }
    }
    net.TrainedOnProblem = true;
    net.LearningRule = core::Rule::Delta;
    net.LearningRate = 0.1;
    net.SweepCount = net.MaxSweeps = 100;
    net.PrintSweeps = 1;
    net.SSEHistoryCount = 101;
    for (int k = 1; k <= 101; ++k) {
        net.SSEHistory[static_cast<std::size_t>(k)] = {0.0, k - 1.0, 1000.0 / k};
    }
    net.TotalSSE = 1000.0 / 101;
}

report::ReportContext context(int threads) {
    report::ReportContext c{
        {".", ","}, [] { return std::string("3/4/2002"); }, [] { return std::string("10:15"); }};
    c.threads = threads;
    return c;
}

fs::path target(const char* name) {
    return fs::temp_directory_path() / (std::to_string(::getpid()) + name);
}

core::PublicStuff& network1024() {
    static core::PublicStuff net;
    if (net.NumInputs == 0) {
        makeNetwork(net, 1024, 100);
    }
    return net;
}

// ---------------------------------------------------------------------------------------
// The report as it was built before streaming: one string, every value through the
// decimal-digit routine, then one write.

constexpr const char* kLineEnd = "\r\r\n";
constexpr const char* kRule = "=============================================";
constexpr const char* kSubRule = "---------------";

struct OldWriter {
    std::string out;
    text::NumberSeparators seps{".", ","};
    void line(const std::string& text) { out += text + kLineEnd; }
    void value(double v) { out += text::FormatSigned2Decimal(v, seps) + "\t"; }
};

bool oldRecallRows(core::PublicStuff& net, OldWriter& w, double core::UnitRecord::*field) {
    std::string error;
    for (int p = 1; p <= net.NumPatterns; ++p) {
        w.out += "Pattern " + text::FormatInteger(p) + "\t";
        if (!report::RecallPattern(net, p, "x", error)) {
            return false;
        }
        for (int j = 1; j <= net.NumOutputs; ++j) {
            w.value(net.OutputUnits[static_cast<std::size_t>(j)].*field);
        }
        w.out += kLineEnd;
    }
    return true;
}

void oldPatternRows(const core::PatternTable& table, int units, int patterns, OldWriter& w) {
    for (int p = 1; p <= patterns; ++p) {
        w.out += "Pattern " + text::FormatInteger(p) + "\t";
        for (int u = 1; u <= units; ++u) {
            w.value(table(u, p));
        }
        w.out += kLineEnd;
    }
}

std::string oldReportText(core::PublicStuff& net, const report::SectionFlags& f = kAll) {
    OldWriter w;
    w.line("Distributed Associative Memory Program");
    w.line(kRule);
    w.line("");
    w.line("Results Of Training With File: " + net.TrainingFileName);
    w.line("Date Of Analysis: 3/4/2002");
    w.line("Time Of Analysis: 10:15");
    w.line(kRule);
    if (f[report::GeneralSection]) {
        w.line("Learning rule: " + std::string(core::RuleName(net.LearningRule)));
        w.line("Learning rate: " + text::FormatGeneral(net.LearningRate, w.seps));
        w.line("Training completed after " + text::FormatInteger(net.SweepCount) + " epochs");
        w.line(kRule);
    }
    if (f[report::ResponsesSection]) {
        w.line("Network Responses To Each Input Pattern:");
        w.line(kSubRule);
        oldRecallRows(net, w, &core::UnitRecord::Activation);
        w.line(kRule);
    }
    if (f[report::ErrorsSection]) {
        w.line("After training, sum of squared error was: " +
               text::FormatGeneral(net.TotalSSE, w.seps));
        w.line("Network Response Errors To Each Input Pattern:");
        w.line(kSubRule);
        oldRecallRows(net, w, &core::UnitRecord::Error);
        w.line(kRule);
    }
    if (f[report::WeightsSection]) {
        w.line("Connection weights from input units (rows) to output units (columns):");
        w.line(kSubRule);
        w.out += "\t";
        for (int j = 1; j <= net.NumOutputs; ++j) {
            w.out += "Out " + text::FormatInteger(j) + "\t";
        }
        w.out += kLineEnd;
        for (int i = 1; i <= net.NumInputs; ++i) {
            w.out += "INP " + text::FormatInteger(i) + "\t";
            for (int j = 1; j <= net.NumOutputs; ++j) {
                w.value(net.Weights.Weight(j, i));
            }
            w.out += kLineEnd;
        }
        w.line(kRule);
    }
    if (f[report::InputPatternsSection]) {
        w.line("The set of input patterns was:");
        w.line(kSubRule);
        oldPatternRows(net.InputPatterns, net.NumInputs, net.NumPatterns, w);
        w.line(kRule);
    }
    if (f[report::DesiredOutputsSection]) {
        w.line("The set of desired outputs was:");
        w.line(kSubRule);
        oldPatternRows(net.DesiredOutputs, net.NumOutputs, net.NumPatterns, w);
        w.line(kRule);
    }
    if (f[report::SSEHistorySection]) {
        w.line("Network SSE as a function of sweeps of training was:");
        w.line(kSubRule);
        w.line("Sweeps\tNetwork SSE");
        const int rows = std::min<int>(net.SSEHistoryCount, core::SSEHistoryRows);
        for (int k = 1; k <= rows; ++k) {
            const auto& row = net.SSEHistory[static_cast<std::size_t>(k)];
            w.out += text::FormatStandard(row[1], w.seps) + "\t" +
                     text::FormatScientific(row[2], w.seps) + "\r\n";
        }
        w.line(kRule);
    }
    return w.out;
}

bool oldWriteReport(core::PublicStuff& net, const std::string& path, std::string& error,
                    const report::SectionFlags& flags = kAll) {
    const std::string text = oldReportText(net, flags);
    files::ReplacementFile file;
    return file.open(path, "Cannot write the report", error) && file.write(text, error) &&
           file.commit(error);
}

// ---------------------------------------------------------------------------------------

double reportMb() {
    static const double mb = [] {
        std::string text;
        std::string error;
        (void)report::ReportText(network1024(), kAll, context(0), &text, error);
        return static_cast<double>(text.size()) / 1e6;
    }();
    return mb;
}

void setRate(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(reportMb() * 1e6));
}

// Threads 1, or 0 for one per core.
void BM_StreamedReport(benchmark::State& state) {
    const fs::path path = target("streamed.txt");
    std::string error;
    for (auto _ : state) {
        if (!report::WriteReport(network1024(), path, kAll,
                                 context(static_cast<int>(state.range(0))), error)) {
            state.SkipWithError(error.c_str());
        }
    }
    setRate(state);
    fs::remove(path);
}
BENCHMARK(BM_StreamedReport)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0)
    ->UseRealTime();

void BM_ReportBuiltWholeAsBefore(benchmark::State& state) {
    const fs::path path = target("whole.txt");
    std::string error;
    for (auto _ : state) {
        if (!oldWriteReport(network1024(), path, error)) {
            state.SkipWithError(error.c_str());
        }
    }
    setRate(state);
    fs::remove(path);
}
BENCHMARK(BM_ReportBuiltWholeAsBefore)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

// The same bytes with one write() into a new file, flushed as the report is.
void BM_OneWriteOfTheSameBytes(benchmark::State& state) {
    std::string text;
    std::string error;
    (void)report::ReportText(network1024(), kAll, context(0), &text, error);
    const fs::path path = target("raw.txt");
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()) ||
            ::fsync(fd) != 0) {
            state.SkipWithError("write failed");
        }
        ::close(fd);
    }
    setRate(state);
    fs::remove(path);
}
BENCHMARK(BM_OneWriteOfTheSameBytes)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

// The report formatted into memory and thrown away, without the file: the text's own
// rate. Threads 1, or 0 for one per core.
void BM_FormattedReport(benchmark::State& state) {
    const report::ReportSink nothing = [](std::string_view, std::string&) { return true; };
    std::string error;
    for (auto _ : state) {
        if (!report::StreamReport(network1024(), kAll, context(static_cast<int>(state.range(0))),
                                  nothing, error)) {
            state.SkipWithError(error.c_str());
        }
    }
    setRate(state);
}
BENCHMARK(BM_FormattedReport)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0)
    ->UseRealTime();

// The weights' values alone, formatted into a string: a row of cells at a time, one
// value at a time, and by decimal digits.
enum class Signed2 { Cells, OneByOne, Digits };
template <Signed2 Way>
void formatWeights(benchmark::State& state) {
    const text::NumberSeparators seps{".", ","};
    const core::PublicStuff& net = network1024();
    std::string out;
    std::vector<double> row(static_cast<std::size_t>(net.NumOutputs));
    for (auto _ : state) {
        out.clear();
        for (int i = 1; i <= net.NumInputs; ++i) {
            for (int j = 1; j <= net.NumOutputs; ++j) {
                const double w = net.Weights.Weight(j, i);
                if constexpr (Way == Signed2::Cells) {
                    row[static_cast<std::size_t>(j - 1)] = w;
                } else if constexpr (Way == Signed2::OneByOne) {
                    text::AppendSigned2(out, w, seps);
                    out += '\t';
                } else {
                    out += text::FormatSigned2Decimal(w, seps);
                    out += '\t';
                }
            }
            if constexpr (Way == Signed2::Cells) {
                text::AppendSigned2Cells(out, row.data(), net.NumOutputs, seps);
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(out.size()));
}
void BM_Signed2Cells(benchmark::State& state) {
    formatWeights<Signed2::Cells>(state);
}
void BM_Signed2OneByOne(benchmark::State& state) {
    formatWeights<Signed2::OneByOne>(state);
}
void BM_Signed2Digits(benchmark::State& state) {
    formatWeights<Signed2::Digits>(state);
}
BENCHMARK(BM_Signed2Cells)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Signed2OneByOne)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Signed2Digits)->Unit(benchmark::kMillisecond);

// A whole batch job as distmem-batch runs it: load a 1024 x 1024 x 100 file, train 10
// Delta epochs, write the report with the default sections; argument 0 writes the report
// as before streaming, 1 as now.
struct NoPrintouts final : training::RunObserver {
    void printout(const training::Printout&) override {}
};

const fs::path& batchFile() {
    static const fs::path path = [] {
        const fs::path file = target("batch.net");
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
    }();
    return path;
}

void BM_BatchJob(benchmark::State& state) {
    const fs::path report = target("batch.txt");
    std::string error;
    for (auto _ : state) {
        core::PublicStuff net;
        if (!files::LoadTrainingFile(net, batchFile(), error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        net.TrainingFileName = "batch.net";
        net.FreshStart = 1;
        net.CreateUnitsAndWeights();
        net.LearningRule = core::Rule::Delta;
        net.LearningRate = 0.1;
        net.MaxSweeps = 10;
        net.PrintSweeps = 1;
        (void)core::ZeroWeights(net);
        NoPrintouts quiet;
        (void)training::RunTraining(net, {true, false}, quiet);
        const bool ok =
            state.range(0) == 0
                ? oldWriteReport(net, report, error, report::DefaultSections)
                : report::WriteReport(net, report, report::DefaultSections, context(0), error);
        if (!ok || net.SweepCount != 10) {
            state.SkipWithError(error.c_str());
        }
    }
    fs::remove(report);
}
BENCHMARK(BM_BatchJob)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

// Saves the report of a 4096 x 4096 x 64 network with all sections and prints the memory
// before and the peak during the save.
void measurePeak(bool streamed) {
    core::PublicStuff net;
    const fs::path path = target("peak.txt");
    bench::printPeakInChild(
        streamed ? "4096 x 4096 x 64 report, streamed" : "4096 x 4096 x 64 report, built whole",
        [&net] { makeNetwork(net, 4096, 64); },
        [&](bool* ok) {
            std::string error;
            *ok = streamed ? report::WriteReport(net, path, kAll, context(0), error)
                           : oldWriteReport(net, path, error);
            const std::string outcome =
                *ok ? "written, " + std::to_string(fs::file_size(path) / 1000000) + " MB" : error;
            fs::remove(path);
            return outcome;
        });
}

}  // namespace

int main(int argc, char** argv) {
    measurePeak(true);
    measurePeak(false);
    std::string now;
    std::string error;
    (void)report::ReportText(network1024(), kAll, context(0), &now, error);
    std::printf("1024 x 1024 x 100 report, all sections: %.1f MB; the same bytes as before: %s\n",
                reportMb(), now == oldReportText(network1024()) ? "yes" : "NO");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove(target("batch.net"), ignored);
    return 0;
}

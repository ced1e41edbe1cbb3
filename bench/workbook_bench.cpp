// Writing the spreadsheet of a 1024 x 1024 x 100 run against writing its text report with all
// seven sections, side by side; and, before them, the memory that writing the spreadsheet of
// a 2048 x 2048 x 100 run adds to the process (measured in a child process, so that the
// benchmark's own allocations do not count).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/peak_memory.h"
#include "report/report_writer.h"
#include "report/workbook_writer.h"

namespace {

namespace fs = std::filesystem;

// Values of every sign and many digits, the same on every run.
double sample(long long k) {
    return static_cast<double>((k * 7919) % 2003 - 1001) / 997.0;
}

void makeNetwork(core::PublicStuff& net, int units, int patterns) {
    net.TrainingFileName = "bench.net";
    net.NumInputs = net.NumOutputs = units;
    net.NumPatterns = patterns;
    net.InputPatterns = core::PatternTable(units, patterns);
    net.DesiredOutputs = core::PatternTable(units, patterns);
    net.CreateUnitsAndWeights();
    net.TrainedOnProblem = true;  // the weights below stand for a run on it
    for (int p = 1; p <= patterns; ++p) {
        for (int u = 1; u <= units; ++u) {
            net.InputPatterns(u, p) = sample(p * 131 + u) / units;
            net.DesiredOutputs(u, p) = sample(p * 17 + u * 3);
        }
    }
    for (int j = 1; j <= units; ++j) {
        for (int i = 1; i <= units; ++i) {
            net.Weights.setWeight(j, i, sample(static_cast<long long>(j) * units + i));
        }
    }
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

report::ReportContext context() {
    return {
        {".", ","}, [] { return std::string("3/4/2002"); }, [] { return std::string("10:15"); }};
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

void BM_TextReportAllSections(benchmark::State& state) {
    const fs::path path = target("bench.txt");
    std::string error;
    for (auto _ : state) {
        if (!report::WriteReport(network1024(), path, {true, true, true, true, true, true, true},
                                 context(), error)) {
            state.SkipWithError(error.c_str());
        }
    }
    state.counters["MB"] = static_cast<double>(fs::file_size(path)) / 1e6;
    fs::remove(path);
}
BENCHMARK(BM_TextReportAllSections)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Workbook(benchmark::State& state) {
    const fs::path path = target("bench.xlsx");
    std::string error;
    for (auto _ : state) {
        if (!report::WriteWorkbook(network1024(), path, context(), error)) {
            state.SkipWithError(error.c_str());
        }
    }
    state.counters["MB"] = static_cast<double>(fs::file_size(path)) / 1e6;
    fs::remove(path);
}
BENCHMARK(BM_Workbook)->Unit(benchmark::kMillisecond)->Iterations(3);

// Writes the workbook of a 2048 x 2048 x 100 network and prints the memory before and the
// peak during the write.
void measurePeak() {
    core::PublicStuff net;
    const fs::path path = target("peak.xlsx");
    bench::printPeakInChild(
        "2048 x 2048 x 100 workbook", [&net] { makeNetwork(net, 2048, 100); },
        [&](bool* ok) {
            std::string error;
            *ok = report::WriteWorkbook(net, path, context(), error);
            const std::string outcome =
                *ok ? "written, " + std::to_string(fs::file_size(path) / 1000000) + " MB" : error;
            fs::remove(path);
            return outcome;
        });
}

}  // namespace

int main(int argc, char** argv) {
    measurePeak();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

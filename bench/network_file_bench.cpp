// Saving and opening a network file (4096 x 4096 weights, 128 MB) against plain write() and
// read() of as many bytes in 1 MB pieces, into and out of the page cache (a save ends with
// the fsync() of its replacement file, so the plain write is timed with and without one);
// and the peak memory each takes beyond the network's own arrays.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/peak_memory.h"
#include "files/network_file.h"

namespace {

namespace fs = std::filesystem;

constexpr int kUnits = 4096;
constexpr int kPatterns = 16;

std::string target(const char* name) {
    return (fs::temp_directory_path() /
            ("network_file_bench_" + std::to_string(::getpid()) + "_" + name))
        .string();
}

void makeNetwork(core::PublicStuff& net) {
    net.NumOutputs = kUnits;
    net.NumInputs = kUnits;
    net.NumPatterns = kPatterns;
    net.InputPatterns = core::PatternTable(kUnits, kPatterns);
    net.DesiredOutputs = core::PatternTable(kUnits, kPatterns);
    net.CreateUnitsAndWeights();
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (int j = 1; j <= kUnits; ++j) {
        for (int i = 1; i <= kUnits; ++i) {
            net.Weights.setWeight(j, i, value(random));
        }
    }
    net.TrainingFileName = "bench.net";
    net.LearningRule = core::Rule::Delta;
    net.LearningRate = 0.1;
    net.SweepCount = 10;
    net.MaxSweeps = 10;
    net.SweepsBoxValue = 10;
    net.PrintSweeps = 1;
    net.TrainedOnProblem = true;
}

// The bytes of values a save writes and an open reads.
long long valueBytes() {
    return 8LL * (static_cast<long long>(kUnits) * kUnits + 2LL * kPatterns * kUnits);
}

// The network's own arrays: weights in blocks of eight outputs, patterns, units.
double arraysMb(const core::PublicStuff& net) {
    const double weights = static_cast<double>(net.Weights.blocks()) * net.Weights.inputs() *
                           sizeof(core::ConnectionMatrix::Block);
    const double tables = 2.0 * (kUnits + 1.0) * (kPatterns + 1.0) * sizeof(double);
    return (weights + tables) / (1024.0 * 1024.0);
}

void BM_SaveNetwork(benchmark::State& state) {
    static core::PublicStuff net;
    if (!net.TrainedOnProblem) {
        makeNetwork(net);
    }
    const std::string path = target("save.h5");
    std::string error;
    for (auto _ : state) {
        if (!files::SaveNetwork(net, path, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * valueBytes());
}
BENCHMARK(BM_SaveNetwork)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenNetwork(benchmark::State& state) {
    const std::string path = target("save.h5");
    std::string error;
    for (auto _ : state) {
        core::PublicStuff opened;
        if (!files::OpenNetwork(opened, path, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        benchmark::DoNotOptimize(opened.Weights.Weight(1, 1));
    }
    state.SetBytesProcessed(state.iterations() * valueBytes());
}
BENCHMARK(BM_OpenNetwork)->Unit(benchmark::kMillisecond)->UseRealTime();

// The reference: as many bytes written with plain write() 1 MB at a time, then flushed with
// fsync() as a save's replacement file is (argument 1) or not (0); and read back.
void BM_PlainWrite(benchmark::State& state) {
    const std::vector<double> piece(131072, 0.5);
    const std::string path = target("plain.bin");
    const long long pieces = valueBytes() / static_cast<long long>(sizeof(double) * piece.size());
    const auto bytes = piece.size() * sizeof(double);
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        bool ok = fd >= 0;
        for (long long k = 0; ok && k < pieces; ++k) {
            ok = ::write(fd, piece.data(), bytes) == static_cast<ssize_t>(bytes);
        }
        ok = ok && (state.range(0) == 0 || ::fsync(fd) == 0);
        ::close(fd);
        if (!ok) {
            state.SkipWithError("plain write failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * valueBytes());
}
BENCHMARK(BM_PlainWrite)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainRead(benchmark::State& state) {
    std::vector<double> piece(131072);
    const std::string path = target("plain.bin");
    const auto bytes = piece.size() * sizeof(double);
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        long long read = 0;
        for (ssize_t n = 1; fd >= 0 && n > 0; read += n) {
            n = ::read(fd, piece.data(), bytes);
        }
        ::close(fd);
        if (read < valueBytes()) {
            state.SkipWithError("plain read failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * valueBytes());
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();

void measurePeaks() {
    const std::string path = target("peak.h5");
    core::PublicStuff net;
    bench::printPeakInChild(
        "4096 x 4096 save", [&net] { makeNetwork(net); },
        [&](bool* ok) {
            std::string error;
            *ok = files::SaveNetwork(net, path, error);
            return *ok ? std::string("saved") : error;
        });
    // Opening allocates the arrays it fills: those are subtracted by hand below.
    bench::printPeakInChild(
        "4096 x 4096 open", [] {},
        [&](bool* ok) {
            core::PublicStuff opened;
            std::string error;
            *ok = files::OpenNetwork(opened, path, error);
            return *ok ? "opened; its arrays take " + std::to_string(arraysMb(opened)) + " MB"
                       : error;
        });
    std::remove(path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("DAM_NETWORK_READER", DAM_NETWORK_READER_BUILT, 0);
    measurePeaks();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(target("save.h5").c_str());
    std::remove(target("plain.bin").c_str());
    return 0;
}

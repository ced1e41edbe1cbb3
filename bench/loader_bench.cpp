// Loading speed of training files: megabytes of text per second.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "files/loader.h"

namespace {

// A training file of about `megabytes` MB: 100 inputs and 100 outputs per pattern, real
// values with up to six decimals, one pattern per line.
std::string makeFile(int megabytes) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> value(-10.0, 10.0);
    const int units = 100;
    const int patterns = megabytes * 1'000'000 / (2 * units * 10);
    std::string text = std::to_string(units) + " 0 " + std::to_string(units) + " " +
                       std::to_string(patterns) + "\n";
    char buffer[32];
    for (int block = 0; block < 2; ++block) {
        for (int p = 0; p < patterns; ++p) {
            for (int u = 0; u < units; ++u) {
                const auto end = std::to_chars(buffer, buffer + sizeof buffer, value(rng),
                                               std::chars_format::fixed, 6);
                text.append(buffer, end.ptr);
                text += u + 1 < units ? ' ' : '\n';
            }
        }
    }
    return text;
}

void BM_LoadTrainingData(benchmark::State& state) {
    const std::string text = makeFile(static_cast<int>(state.range(0)));
    core::PublicStuff net;
    std::string error;
    for (auto _ : state) {
        if (!files::LoadTrainingData(net, text, "bench.net", error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        benchmark::DoNotOptimize(net.InputPatterns(1, 1));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_LoadTrainingData)->Arg(1)->Arg(50)->Unit(benchmark::kMillisecond);

// The whole file path, reading included, on a file named by DAM_LOADER_FILE (bench/run.sh
// writes one that numpy.loadtxt reads too).
// Argument 1: with the progress the start page watches (reads of a few MB at a time).
void BM_LoadTrainingFile(benchmark::State& state) {
    const char* path = std::getenv("DAM_LOADER_FILE");
    if (path == nullptr) {
        state.SkipWithError("DAM_LOADER_FILE is not set");
        return;
    }
    core::PublicStuff net;
    std::string error;
    for (auto _ : state) {
        core::Progress progress;
        if (!files::LoadTrainingFile(net, path, error, state.range(0) == 1 ? &progress : nullptr)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_LoadTrainingFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

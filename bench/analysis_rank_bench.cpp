// The whole analysis (prepare: Gram matrix, pivoted Cholesky, largest stable rate) at the
// ranks the batch trainer promises, inputs twice the patterns, binary inputs. Run with
// --benchmark_filter=AtRank/320 or AtRank/1024 for a short run; 4096 takes long.
#include <benchmark/benchmark.h>

#include <random>

#include "analysis/analysis.h"
#include "core/network_state.h"

namespace {

core::PublicStuff problem(int patterns) {
    core::PublicStuff net;
    const int inputs = patterns == 320 ? 1024 : 2 * patterns;
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> target(-1.0, 1.0);
    net.NumInputs = inputs;
    net.NumOutputs = 4;
    net.NumPatterns = patterns;
    net.InputPatterns = core::PatternTable(inputs, patterns);
    net.DesiredOutputs = core::PatternTable(4, patterns);
    for (int p = 1; p <= patterns; ++p) {
        for (int i = 1; i <= inputs; ++i) {
            net.InputPatterns(i, p) = static_cast<double>(rng() & 1);
        }
        for (int j = 1; j <= 4; ++j) {
            net.DesiredOutputs(j, p) = target(rng);
        }
    }
    net.CreateUnitsAndWeights();
    return net;
}

void BM_AnalysisAtRank(benchmark::State& state) {
    const core::PublicStuff net = problem(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const analysis::Prepared prepared = analysis::prepare(net, analysis::Limits::none());
        benchmark::DoNotOptimize(prepared.largestStableRate);
        state.counters["rank"] = prepared.facts.rank;
    }
}

}  // namespace

BENCHMARK(BM_AnalysisAtRank)
    ->Arg(320)
    ->Arg(1024)
    ->Arg(2048)
    ->Arg(4096)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK_MAIN();

// The analysis of a 1024-input, 1024-output, 100-pattern file against one training epoch
// of the same file on one thread, side by side: the ratio says how many epochs of waiting
// the whole analysis costs. Also the per-rate part alone, which the setup page redoes
// whenever the rate changes, and that part at the largest rank the setup page works it out
// for on the window's thread.
#include <benchmark/benchmark.h>

#include <random>

#include "analysis/analysis.h"
#include "bench/rank_problem.h"
#include "core/epoch_kernel.h"
#include "core/network_state.h"

namespace {

// Binary inputs (about half on) and real targets: overlapping patterns of full rank.
void fill(int inputs, int outputs, int patterns, core::PublicStuff& net) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> target(-1.0, 1.0);
    net.NumInputs = inputs;
    net.NumOutputs = outputs;
    net.NumPatterns = patterns;
    net.InputPatterns = core::PatternTable(inputs, patterns);
    net.DesiredOutputs = core::PatternTable(outputs, patterns);
    for (int p = 1; p <= patterns; ++p) {
        for (int i = 1; i <= inputs; ++i) {
            net.InputPatterns(i, p) = static_cast<double>(rng() & 1);
        }
        for (int j = 1; j <= outputs; ++j) {
            net.DesiredOutputs(j, p) = target(rng);
        }
    }
    net.CreateUnitsAndWeights();
    net.LearningRate = 0.001;
}

core::PublicStuff& problem() {
    static core::PublicStuff net;
    if (net.NumInputs == 0) {
        fill(1024, 1024, 100, net);
    }
    return net;
}

void BM_WholeAnalysis(benchmark::State& state) {
    const core::PublicStuff& net = problem();
    for (auto _ : state) {
        auto result = analysis::Analyse(net, analysis::Rule::Delta, 0.001);
        benchmark::DoNotOptimize(result.delta.spectralRadius);
    }
}

void BM_OneRate(benchmark::State& state) {
    const analysis::Prepared prepared = analysis::Prepare(problem());
    double rate = 0.001;
    for (auto _ : state) {
        auto hebb = analysis::ForecastHebb(prepared, rate);
        auto delta = analysis::ForecastDelta(prepared, rate);
        benchmark::DoNotOptimize(hebb.bestSSE);
        benchmark::DoNotOptimize(delta.spectralRadius);
        rate = rate == 0.001 ? 0.0011 : 0.001;
    }
}

// Rank 158: the one-rate Delta forecast's work is then just within Limits::maxEpochMapWork,
// which is meant to take about 16 ms. The rate lies between the bounds, so the spectrum is
// worked out.
void BM_OneRateAtTheWindowsLimit(benchmark::State& state) {
    const analysis::Prepared prepared = analysis::Prepare(rankProblem(158));
    const double rate = 0.5 * (*prepared.surelyStableBelow + *prepared.largestStableRate);
    for (auto _ : state) {
        const analysis::DeltaForecast delta = analysis::ForecastDelta(prepared, rate);
        state.counters["radius known"] = delta.radiusKnown ? 1 : 0;
    }
}

void BM_TrainingEpoch(benchmark::State& state) {
    core::PublicStuff& net = problem();
    core::EpochKernel kernel(1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(kernel.trainEpoch(net, false));
    }
}

}  // namespace

BENCHMARK(BM_WholeAnalysis)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneRate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneRateAtTheWindowsLimit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrainingEpoch)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

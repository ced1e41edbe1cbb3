// How recall degrades: both curves (21 points, 20 trials each) on inputs x outputs x
// patterns, bipolar inputs and random weights, on every processor.
#include <benchmark/benchmark.h>

#include <random>

#include "core/network_state.h"
#include "experiments/degradation.h"
#include "experiments/recall_batch.h"

namespace {

void fill(int inputs, int outputs, int patterns, core::PublicStuff& net) {
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    net.NumInputs = inputs;
    net.NumOutputs = outputs;
    net.NumPatterns = patterns;
    net.InputPatterns = core::PatternTable(inputs, patterns);
    net.DesiredOutputs = core::PatternTable(outputs, patterns);
    for (int p = 1; p <= patterns; ++p) {
        for (int i = 1; i <= inputs; ++i) {
            net.InputPatterns(i, p) = (rng() & 1U) != 0 ? 1.0 : -1.0;
        }
        for (int j = 1; j <= outputs; ++j) {
            net.DesiredOutputs(j, p) = value(rng);
        }
    }
    net.CreateUnitsAndWeights();
    for (int j = 1; j <= outputs; ++j) {
        for (int i = 1; i <= inputs; ++i) {
            net.Weights.setWeight(j, i, value(rng) / inputs);
        }
    }
}

void BM_Degradation(benchmark::State& state) {
    core::PublicStuff net;
    fill(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
         static_cast<int>(state.range(2)), net);
    for (auto _ : state) {
        const experiments::DegradationResult result =
            experiments::ComputeDegradation(net, net.Weights, 1);
        benchmark::DoNotOptimize(result.curves.noise.data());
    }
}

// One recall of every stored pattern, the step each point repeats.
void BM_RecallVectors(benchmark::State& state) {
    core::PublicStuff net;
    fill(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
         static_cast<int>(state.range(2)), net);
    std::vector<double> sums(static_cast<std::size_t>(net.NumPatterns) * (net.NumOutputs + 1U));
    const experiments::VectorSet x{net.InputPatterns.pattern(1), net.InputPatterns.stride(),
                                   net.NumPatterns};
    for (auto _ : state) {
        experiments::RecallVectors(net.Weights, x, sums.data(), net.NumOutputs + 1U);
        benchmark::DoNotOptimize(sums.data());
    }
    state.counters["MAC/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * net.NumInputs * net.NumOutputs * net.NumPatterns,
        benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_RecallVectors)->Args({1024, 1024, 100})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Degradation)
    ->Args({100, 100, 20})
    ->Args({1024, 1024, 100})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();

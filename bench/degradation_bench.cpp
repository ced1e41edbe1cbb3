// How recall degrades: both curves (21 points, 20 trials each) on inputs x outputs x
// patterns, bipolar inputs and random weights, on every processor.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "core/epoch_kernel.h"
#include "core/network_state.h"
#include "experiments/degradation.h"
#include "experiments/recall_batch.h"
#include "experiments/test_patterns.h"
#include "views/recall_rule.h"

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

// A file of test patterns (range 0 of them, 100 inputs, 2000 outputs, random) recalled
// through a network trained on 20 patterns, and each response's nearest desired output
// found: in blocks (range 1 = 0) or by the plain loop over every pair (range 1 = 1).
void BM_TestRecall(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    core::PublicStuff net;
    fill(100, 2000, 20, net);
    core::EpochKernel kernel(1);
    for (int epoch = 0; epoch < 5; ++epoch) {
        if (kernel.trainEpoch(net, false) != core::ArithStatus::Ok) {
            state.SkipWithError("overflow");
            return;
        }
    }
    core::PublicStuff tests;
    fill(100, 2000, count, tests);
    const auto stride = std::size_t{2001};
    for (auto _ : state) {
        if (state.range(1) == 0) {
            experiments::TestRecall recall;
            std::string error;
            if (!experiments::RecallTestPatterns(net.Weights, tests, "t.net", recall, error)) {
                state.SkipWithError(error.c_str());
            }
            benchmark::DoNotOptimize(recall.recalledNearest);
            continue;
        }
        std::vector<double> sums(static_cast<std::size_t>(count) * stride);
        experiments::RecallVectors(
            net.Weights, {tests.InputPatterns.pattern(1), tests.InputPatterns.stride(), count},
            sums.data(), stride);
        const views::RecallTargets desired(tests.DesiredOutputs.pattern(1),
                                           tests.DesiredOutputs.stride(), count, 2000);
        int recalled = 0;
        for (int t = 0; t < count; ++t) {
            const double* r = sums.data() + static_cast<std::size_t>(t) * stride;
            double best = 0.0;
            for (int q = 0; q < count; ++q) {
                const double d = views::SquaredDistance(r, desired.vector(q), 2000);
                best = q == 0 || d < best ? d : best;
            }
            const double own = views::SquaredDistance(r, desired.vector(t), 2000);
            recalled += desired.recalled(r, t, own) ? 1 : 0;
        }
        benchmark::DoNotOptimize(recalled);
    }
}

}  // namespace

BENCHMARK(BM_TestRecall)
    ->ArgNames({"tests", "plain"})
    ->Args({500, 0})
    ->Args({500, 1})
    ->Args({5000, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_RecallVectors)->Args({1024, 1024, 100})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Degradation)
    ->Args({100, 100, 20})
    ->Args({1024, 1024, 100})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();

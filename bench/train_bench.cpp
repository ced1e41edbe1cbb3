// Training speed: connections updated per second for one epoch (a learning step, a recall
// and the pattern's squared error per pattern), production loop against the literal
// arithmetic, on inputs x outputs x patterns.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "../tests/literal_reference.h"
#include "core/epoch_kernel.h"
#include "core/network_state.h"
#include "training/training_run.h"

namespace {

struct Quiet final : training::RunObserver {
    void printout(const training::Printout&) override {}
};

// Bipolar inputs scaled to unit length and small real targets: stable under both rules.
// With `onesPercent` the inputs are binary instead: that share of them on, the rest 0.
void fill(int inputs, int outputs, int patterns, core::PublicStuff& net, reference::Net* ref,
          int onesPercent = 0) {
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> target(-1.0, 1.0);
    const double on = onesPercent > 0 ? inputs * onesPercent / 100.0 : inputs;
    const double scale = 1.0 / std::sqrt(on);
    net.NumInputs = inputs;
    net.NumOutputs = outputs;
    net.NumPatterns = patterns;
    net.InputPatterns = core::PatternTable(inputs, patterns);
    net.DesiredOutputs = core::PatternTable(outputs, patterns);
    for (int p = 1; p <= patterns; ++p) {
        for (int i = 1; i <= inputs; ++i) {
            net.InputPatterns(i, p) =
                onesPercent > 0 ? (static_cast<int>(rng() % 100) < onesPercent ? scale : 0.0)
                                : (rng() & 1 ? scale : -scale);
            if (ref)
                ref->x[p][i] = net.InputPatterns(i, p);
        }
        for (int j = 1; j <= outputs; ++j) {
            net.DesiredOutputs(j, p) = target(rng);
            if (ref)
                ref->d[p][j] = net.DesiredOutputs(j, p);
        }
    }
    net.CreateUnitsAndWeights();
    net.LearningRate = 0.1;
}

void setCounters(benchmark::State& state, int inputs, int outputs, int patterns) {
    state.counters["connections/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * inputs * outputs * patterns,
                           benchmark::Counter::kIsRate);
}

void BM_Production(benchmark::State& state) {
    const int in = static_cast<int>(state.range(0)), out = static_cast<int>(state.range(1)),
              pats = static_cast<int>(state.range(2));
    core::PublicStuff net;
    fill(in, out, pats, net, nullptr);
    net.LearningRule = state.range(3) ? core::Rule::Hebb : core::Rule::Delta;
    net.PrintSweeps = 0;
    net.FreshStart = 1;
    Quiet quiet;
    net.MaxSweeps = 1;
    training::RunTraining(net, {true, false}, quiet);  // the error before training, untimed
    net.FreshStart = 0;
    // Runs of 20 epochs, as a student's run would be, so per-run set-up counts too.
    constexpr int kEpochs = 20;
    for (auto _ : state) {
        if (net.SweepCount >= 32000)
            net.SweepCount = 1;
        net.MaxSweeps = static_cast<std::int16_t>(net.SweepCount + kEpochs);
        training::RunTraining(net, {true, false}, quiet);
    }
    state.counters["connections/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kEpochs * in * out * pats,
                           benchmark::Counter::kIsRate);
}

// The epoch kernel alone with a fixed thread count (range 4).
void BM_Kernel(benchmark::State& state) {
    const int in = static_cast<int>(state.range(0)), out = static_cast<int>(state.range(1)),
              pats = static_cast<int>(state.range(2));
    core::PublicStuff net;
    fill(in, out, pats, net, nullptr);
    const bool hebb = state.range(3) != 0;
    core::EpochKernel kernel(static_cast<int>(state.range(4)));
    for (auto _ : state) {
        if (kernel.trainEpoch(net, hebb) != core::ArithStatus::Ok) {
            state.SkipWithError("overflow");
            break;
        }
    }
    setCounters(state, in, out, pats);
}

void BM_Literal(benchmark::State& state) {
    const int in = static_cast<int>(state.range(0)), out = static_cast<int>(state.range(1)),
              pats = static_cast<int>(state.range(2));
    core::PublicStuff net;
    reference::Net ref(in, out, pats);
    fill(in, out, pats, net, &ref);
    ref.rate = 0.1;
    const bool hebb = state.range(3) != 0;
    for (auto _ : state) {
        double total = 0;
        for (int p = 1; p <= pats; ++p) {
            hebb ? ref.LearnHebb(p) : ref.LearnDelta(p);
            ref.ComputeResponses(p);
            total = total + ref.PatternSSE();
        }
        benchmark::DoNotOptimize(total);
    }
    setCounters(state, in, out, pats);
}

// Ceilings of this machine, in the same unit. Compute: the kernel's mix per connection
// with every value in registers and enough independent chains to hide latency: three
// multiplies and three adds on eight lanes for a Delta pass, two and two for Hebb.
typedef double V8 __attribute__((vector_size(64)));
template <bool Delta>
[[gnu::always_inline]] inline double mix(long rounds, const double* c, const double* x,
                                         const double* y, const double* start) {
    // Per round and block, as a pass does per input: broadcast factors that change every
    // round, and per block its own weights and output factor, so no two chains compute
    // the same thing.
    V8 w[4], a[4], b[4], e[4];
#pragma GCC unroll 4
    for (int g = 0; g < 4; ++g) {
        std::memcpy(&w[g], start + 8 * g, sizeof(V8));
        std::memcpy(&e[g], start + 32 + 8 * g, sizeof(V8));
        a[g] = V8{};
        b[g] = V8{};
    }
    for (long r = 0; r < rounds; ++r) {
        const double ci = c[r & 63], xi = x[r & 63], yi = y[r & 63];
#pragma GCC unroll 4
        for (int g = 0; g < 4; ++g) {
            w[g] = w[g] + ci * e[g];
            a[g] = (w[g] * xi) + a[g];
            if constexpr (Delta)
                b[g] = (w[g] * yi) + b[g];
        }
    }
    // Every lane of every chain reaches the result, so none can be left out.
    V8 sum{};
    for (int g = 0; g < 4; ++g)
        sum = sum + a[g] + b[g] + w[g];
    double total = 0;
    for (int k = 0; k < 8; ++k)
        total += sum[k];
    return total;
}
[[gnu::target_clones("avx512f", "avx2", "default")]] double deltaMix(long rounds, const double* c,
                                                                     const double* x,
                                                                     const double* y,
                                                                     const double* start) {
    return mix<true>(rounds, c, x, y, start);
}
[[gnu::target_clones("avx512f", "avx2", "default")]] double hebbMix(long rounds, const double* c,
                                                                    const double* x,
                                                                    const double* y,
                                                                    const double* start) {
    return mix<false>(rounds, c, x, y, start);
}

void BM_CeilingCompute(benchmark::State& state) {
    const long rounds = 1 << 20;
    std::vector<double> c(64), x(64), y(64), start(64);
    for (int k = 0; k < 64; ++k) {
        start[static_cast<std::size_t>(k)] = 1e-3 * (k + 1);
        c[static_cast<std::size_t>(k)] = 1e-6 * k;
        x[static_cast<std::size_t>(k)] = 0.5 + 1e-3 * k;
        y[static_cast<std::size_t>(k)] = 0.25 - 1e-3 * k;
    }
    const auto run = state.range(0) ? hebbMix : deltaMix;
    for (auto _ : state)
        benchmark::DoNotOptimize(run(rounds, c.data(), x.data(), y.data(), start.data()));
    state.counters["connections/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * rounds * 32, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CeilingCompute)->ArgName("hebb")->Arg(0)->Arg(1)->UseRealTime();

// Memory: one read and one write of every weight per pattern, weights as large as the
// problem's (range 0 = connections).
void BM_CeilingStream(benchmark::State& state) {
    std::vector<double> w(static_cast<std::size_t>(state.range(0)), 0.5);
    for (auto _ : state) {
        for (double& v : w)
            v = v + 1e-9;
        benchmark::DoNotOptimize(w.data());
    }
    state.counters["connections/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(w.size()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CeilingStream)
    ->Arg(64 * 64)
    ->Arg(256 * 256)
    ->Arg(1024 * 1024)
    ->Arg(4096 * 4096)
    ->UseRealTime();

void sizes(benchmark::internal::Benchmark* b) {
    for (int hebb : {0, 1}) {
        b->Args({8, 8, 4, hebb});
        b->Args({64, 64, 32, hebb});
        b->Args({256, 256, 100, hebb});
        b->Args({1024, 1024, 100, hebb});
        b->Args({4096, 4096, 20, hebb});
    }
    b->ArgNames({"in", "out", "pat", "hebb"});
}

void kernelSizes(benchmark::internal::Benchmark* b) {
    for (int hebb : {0, 1}) {
        for (int threads : {1, 2}) {
            b->Args({8, 8, 4, hebb, threads});
            b->Args({64, 64, 32, hebb, threads});
            b->Args({256, 256, 100, hebb, threads});
            b->Args({1024, 1024, 100, hebb, threads});
            b->Args({4096, 4096, 20, hebb, threads});
        }
    }
    b->ArgNames({"in", "out", "pat", "hebb", "threads"});
}

// The kernel on binary inputs with a given share of ones (range 3), 1 thread: passes skip
// inputs that are zero in a pattern and, for Delta, in the next one.
void BM_KernelBinary(benchmark::State& state) {
    const int in = static_cast<int>(state.range(0)), out = static_cast<int>(state.range(1)),
              pats = static_cast<int>(state.range(2));
    core::PublicStuff net;
    fill(in, out, pats, net, nullptr, static_cast<int>(state.range(3)));
    const bool hebb = state.range(4) != 0;
    core::EpochKernel kernel(1);
    for (auto _ : state) {
        if (kernel.trainEpoch(net, hebb) != core::ArithStatus::Ok) {
            state.SkipWithError("overflow");
            break;
        }
    }
    setCounters(state, in, out, pats);
}
BENCHMARK(BM_KernelBinary)
    ->ArgNames({"in", "out", "pat", "ones%", "hebb"})
    ->ArgsProduct({{256}, {256}, {100}, {10, 50}, {0, 1}})
    ->UseRealTime();

BENCHMARK(BM_Production)->Apply(sizes)->UseRealTime();
BENCHMARK(BM_Kernel)->Apply(kernelSizes)->UseRealTime();
BENCHMARK(BM_Literal)->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();

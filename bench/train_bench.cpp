// Training speed: connections updated per second for one epoch (a learning step, a recall
// and the pattern's squared error per pattern), production loop against the literal
// arithmetic, on inputs x outputs x patterns.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "../tests/literal_reference.h"
#include "core/cpu_path.h"
#include "core/epoch_group.h"
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

// The epoch kernel alone on one path with a fixed thread count (range 4).
void BM_Kernel(benchmark::State& state, core::CpuPath path) {
    const int in = static_cast<int>(state.range(0)), out = static_cast<int>(state.range(1)),
              pats = static_cast<int>(state.range(2));
    core::PublicStuff net;
    fill(in, out, pats, net, nullptr);
    const bool hebb = state.range(3) != 0;
    core::EpochKernel kernel(static_cast<int>(state.range(4)), core::epoch::KernelsFor(path), 0);
    // The first epoch sets the kernel up (buffers, the first recall, a bound from every
    // weight); at 4096 x 4096 x 20 one epoch is a whole run of the timing loop, so it is
    // left out, as a run's later epochs are what a long run repeats.
    if (kernel.trainEpoch(net, hebb) != core::ArithStatus::Ok) {
        state.SkipWithError("overflow");
        return;
    }
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

// Ceilings of this machine per path, in the same unit. Compute: the kernel's mix per
// connection with every value in registers, written with the path's vectors and as many
// independent chains as its registers hold: three multiplies and three adds per lane for
// a Delta pass, two and two for Hebb (separate, as the kernel's; no fused multiply-add).
template <class V, int Chains, bool Delta>
[[gnu::always_inline]] inline double mix(long rounds, const double* c, const double* x,
                                         const double* y, const double* start) {
    constexpr int Width = sizeof(V) / sizeof(double);
    // Per round and chain, as a pass does per input: broadcast factors that change every
    // round, and per chain its own weights and output factor, so no two chains compute
    // the same thing.
    V w[Chains], a[Chains], b[Chains], e[Chains];
#pragma GCC unroll 8
    for (int g = 0; g < Chains; ++g) {
        std::memcpy(&w[g], start + Width * g, sizeof(V));
        std::memcpy(&e[g], start + 32 + Width * g, sizeof(V));
        a[g] = V{};
        b[g] = V{};
    }
    for (long r = 0; r < rounds; ++r) {
        const double ci = c[r & 31], xi = x[r & 31], yi = y[r & 31];
#pragma GCC unroll 8
        for (int g = 0; g < Chains; ++g) {
            w[g] = w[g] + ci * e[g];
            a[g] = (w[g] * xi) + a[g];
            if constexpr (Delta)
                b[g] = (w[g] * yi) + b[g];
        }
    }
    // Every lane of every chain reaches the result, so none can be left out.
    V sum{};
    for (int g = 0; g < Chains; ++g)
        sum = sum + a[g] + b[g] + w[g];
    double total = 0;
    for (int k = 0; k < Width; ++k)
        total += sum[k];
    return total;
}

// Connections a round of each path's mix covers, and the mix: four chains of eight lanes
// in 32 registers (16 values and three factors), three of four lanes or of two lanes in
// 16 registers (12 and three).
typedef double V8 __attribute__((vector_size(64)));
typedef double V4 __attribute__((vector_size(32)));
typedef double V2 __attribute__((vector_size(16)));
[[gnu::target("avx512f")]] double mixAvx512(bool delta, long rounds, const double* c,
                                            const double* x, const double* y, const double* s) {
    return delta ? mix<V8, 4, true>(rounds, c, x, y, s) : mix<V8, 4, false>(rounds, c, x, y, s);
}
[[gnu::target("avx2")]] double mixAvx2(bool delta, long rounds, const double* c, const double* x,
                                       const double* y, const double* s) {
    return delta ? mix<V4, 3, true>(rounds, c, x, y, s) : mix<V4, 3, false>(rounds, c, x, y, s);
}
double mixBaseline(bool delta, long rounds, const double* c, const double* x, const double* y,
                   const double* s) {
    return delta ? mix<V2, 3, true>(rounds, c, x, y, s) : mix<V2, 3, false>(rounds, c, x, y, s);
}

void BM_CeilingCompute(benchmark::State& state, core::CpuPath path) {
    const long rounds = 1 << 20;
    std::vector<double> c(32), x(32), y(32), start(64);
    for (int k = 0; k < 32; ++k) {
        c[static_cast<std::size_t>(k)] = 1e-6 * k;
        x[static_cast<std::size_t>(k)] = 0.5 + 1e-3 * k;
        y[static_cast<std::size_t>(k)] = 0.25 - 1e-3 * k;
    }
    for (int k = 0; k < 64; ++k)
        start[static_cast<std::size_t>(k)] = 1e-3 * (k + 1);
    const bool delta = state.range(0) == 0;
    auto run = path == core::CpuPath::Avx512 ? mixAvx512
               : path == core::CpuPath::Avx2 ? mixAvx2
                                             : mixBaseline;
    const int lanes = path == core::CpuPath::Avx512 ? 32 : path == core::CpuPath::Avx2 ? 12 : 6;
    for (auto _ : state)
        benchmark::DoNotOptimize(run(delta, rounds, c.data(), x.data(), y.data(), start.data()));
    state.counters["connections/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * rounds * lanes, benchmark::Counter::kIsRate);
}

// Memory: one read and one write per pattern of every weight a pass keeps together (the
// path's part of a group, range 0 inputs), as the kernel streams them.
template <class V>
[[gnu::always_inline]] inline void streamOnce(double* w, std::size_t n) {
    constexpr std::size_t Width = sizeof(V) / sizeof(double);
    V step;
    for (std::size_t k = 0; k < Width; ++k)
        step[k] = 1e-9;
    for (std::size_t i = 0; i < n; i += Width) {
        V v;
        std::memcpy(&v, w + i, sizeof v);
        v = v + step;
        std::memcpy(w + i, &v, sizeof v);
    }
}
[[gnu::target("avx512f")]] void streamAvx512(double* w, std::size_t n) {
    streamOnce<V8>(w, n);
}
[[gnu::target("avx2")]] void streamAvx2(double* w, std::size_t n) {
    streamOnce<V4>(w, n);
}
void streamBaseline(double* w, std::size_t n) {
    streamOnce<V2>(w, n);
}

void BM_CeilingStream(benchmark::State& state, core::CpuPath path) {
    const auto blocks = static_cast<std::size_t>(core::epoch::KernelsFor(path).partBlocks);
    const std::size_t n =
        blocks * static_cast<std::size_t>(state.range(0)) * core::ConnectionMatrix::Lanes;
    std::vector<double> w(n, 0.5);
    auto run = path == core::CpuPath::Avx512 ? streamAvx512
               : path == core::CpuPath::Avx2 ? streamAvx2
                                             : streamBaseline;
    for (auto _ : state) {
        run(w.data(), n);
        benchmark::DoNotOptimize(w.data());
    }
    state.counters["connections/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(n),
                           benchmark::Counter::kIsRate);
}

// The core clock, from a chain of dependent integer multiplies (three cycles each on
// current x86 cores; a chain of adds of a constant can be folded), to set the compute
// ceiling against the processor's documented operations per cycle.
void BM_Clock(benchmark::State& state) {
    constexpr long kMultiplies = 1 << 22;
    for (auto _ : state) {
        long v = 3;
        for (long r = 0; r < kMultiplies; r += 4) {
            asm volatile("imul %0, %0\n\timul %0, %0\n\timul %0, %0\n\timul %0, %0" : "+r"(v));
        }
        benchmark::DoNotOptimize(v);
    }
    state.counters["cycles/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kMultiplies * 3, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Clock)->UseRealTime();

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
BENCHMARK(BM_Literal)->Apply(sizes);

// The kernel and the ceilings on every path this processor runs, named by the path.
void registerPaths() {
    for (const core::CpuPath path : core::CpuPaths()) {
        const std::string name(core::CpuPathName(path));
        benchmark::RegisterBenchmark(("BM_CeilingCompute/" + name).c_str(), BM_CeilingCompute, path)
            ->ArgName("hebb")
            ->Arg(0)
            ->Arg(1)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("BM_CeilingStream/" + name).c_str(), BM_CeilingStream, path)
            ->ArgName("in")
            ->Arg(64)
            ->Arg(256)
            ->Arg(1024)
            ->Arg(4096)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("BM_Kernel/" + name).c_str(), BM_Kernel, path)
            ->Apply(kernelSizes)
            ->UseRealTime();
    }
}

}  // namespace

int main(int argc, char** argv) {
    registerPaths();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

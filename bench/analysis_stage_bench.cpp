// The analysis of analysis_rank_bench split into its stages, each timed alone on the
// output of the one before: the Gram matrix, its pivoted Cholesky factor, the epoch map,
// one spectrum of it, and the search for the first rate at which the map's radius reaches 1
// (with the number of spectra it took). Run one rank at a time with
// --benchmark_filter=/1024/.
#include <benchmark/benchmark.h>

#include <Eigen/Core>
#include <map>

#include "analysis/gram.h"
#include "analysis/pivoted_cholesky.h"
#include "analysis/span.h"
#include "bench/rank_problem.h"

namespace {

struct Stages {
    Eigen::MatrixXd x;
    Eigen::MatrixXd gram;
    analysis::PivotedCholesky factor;
    analysis::EpochMap map;
};

// Each stage's input, worked out once per rank.
const Stages& stages(int patterns) {
    static std::map<int, Stages> cache;
    auto [at, fresh] = cache.try_emplace(patterns);
    Stages& s = at->second;
    if (fresh) {
        const core::PublicStuff net = rankProblem(patterns);
        s.x.resize(net.NumInputs, patterns);
        for (int p = 0; p < patterns; ++p) {
            for (int i = 0; i < net.NumInputs; ++i) {
                s.x(i, p) = net.InputPatterns(i + 1, p + 1);
            }
        }
        s.gram = analysis::GramOf(s.x);
        const double tolerance = patterns * 2.2e-16 * s.gram.diagonal().maxCoeff();
        s.factor = analysis::FactorPivotedCholesky(s.gram, tolerance);
        s.map = analysis::MakeEpochMap(s.factor.factor, s.factor.nullBasis, s.gram);
    }
    return s;
}

void BM_Gram(benchmark::State& state) {
    const Stages& s = stages(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(analysis::GramOf(s.x).data());
    }
}

void BM_PivotedCholesky(benchmark::State& state) {
    const Stages& s = stages(static_cast<int>(state.range(0)));
    const double tolerance = static_cast<double>(s.gram.rows()) * 2.2e-16 * s.gram.maxCoeff();
    for (auto _ : state) {
        benchmark::DoNotOptimize(analysis::FactorPivotedCholesky(s.gram, tolerance).factor.data());
    }
}

void BM_EpochMap(benchmark::State& state) {
    const Stages& s = stages(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            analysis::MakeEpochMap(s.factor.factor, s.factor.nullBasis, s.gram).c.data());
    }
}

// One spectrum, at the rate below which every rate surely settles.
void BM_Spectrum(benchmark::State& state) {
    const Stages& s = stages(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(analysis::EpochEigenvalues(s.map, s.map.surelyStable).radius);
    }
}

void BM_FirstCrossing(benchmark::State& state) {
    const Stages& s = stages(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const analysis::Crossing crossing = analysis::FirstCrossing(s.map);
        state.counters["solves"] = crossing.solves;
        // 0 when the spectrum did not converge.
        state.counters["low/bound"] = crossing.low / s.map.surelyStable;
    }
}

}  // namespace

BENCHMARK(BM_Gram)->Apply(atPromisedRanks);
BENCHMARK(BM_PivotedCholesky)->Apply(atPromisedRanks);
BENCHMARK(BM_EpochMap)->Apply(atPromisedRanks);
BENCHMARK(BM_Spectrum)->Apply(atPromisedRanks);
BENCHMARK(BM_FirstCrossing)->Apply(atSearchedRanks);

BENCHMARK_MAIN();

// The whole analysis (prepare: Gram matrix, pivoted Cholesky, largest stable rate) at the
// ranks the batch trainer promises, on the files of rank_problem.h; analysis_stage_bench
// splits it into its stages. Run with
// --benchmark_filter=AtRank/320 or AtRank/1024 for a short run; 4096 takes long.
#include <benchmark/benchmark.h>

#include "analysis/analysis.h"
#include "bench/rank_problem.h"

namespace {

void BM_AnalysisAtRank(benchmark::State& state) {
    const core::PublicStuff net = rankProblem(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const analysis::Prepared prepared = analysis::Prepare(net, analysis::Limits::none());
        benchmark::DoNotOptimize(prepared.largestStableRate);
        state.counters["rank"] = prepared.facts.rank;
        // 0 when the spectrum did not converge: the time is then that of giving up.
        state.counters["rate found"] = prepared.largestStableRate.has_value() ? 1 : 0;
        // How far above the bound that needs no eigenvalues the rate was found.
        if (prepared.largestStableRate && prepared.surelyStableBelow) {
            state.counters["rate/bound"] =
                *prepared.largestStableRate / *prepared.surelyStableBelow;
        }
    }
}

}  // namespace

BENCHMARK(BM_AnalysisAtRank)->Apply(atPromisedRanks);

BENCHMARK_MAIN();

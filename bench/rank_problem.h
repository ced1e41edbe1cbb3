#pragma once

// The files the analysis benches run on: binary inputs (about half on, so the patterns'
// lengths differ and the stable-rate search has a range to cover), inputs twice the
// patterns (1024 for 320), 4 real targets.

#include <benchmark/benchmark.h>

#include <initializer_list>
#include <random>

#include "core/network_state.h"

inline core::PublicStuff rankProblem(int patterns) {
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

// The ranks the analysis benches time, one run each (the larger take seconds).
inline void atRanks(benchmark::internal::Benchmark* bench, std::initializer_list<int> ranks) {
    for (const int rank : ranks) {
        bench->Arg(rank);
    }
    bench->Unit(benchmark::kMillisecond)->Iterations(1);
}

// The ranks of the whole analysis's promises, and those whose search for the largest
// stable rate is timed alone (a search at rank 2048 takes over a minute).
inline void atPromisedRanks(benchmark::internal::Benchmark* bench) {
    atRanks(bench, {320, 1024, 2048, 4096});
}
inline void atSearchedRanks(benchmark::internal::Benchmark* bench) {
    atRanks(bench, {96, 200, 320, 1024});
}

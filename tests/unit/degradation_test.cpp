#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>

#include "core/arithmetic.h"
#include "experiments/degradation.h"
#include "experiments/recall_batch.h"
#include "tests/literal_reference.h"
#include "tests/support/network_builder.h"
#include "views/own_pattern.h"
#include "views/recall_rule.h"

namespace {

// 10 outputs (a block and a part), 11 inputs, 7 patterns (groups of four and three).
core::PublicStuff randomNetwork(bool bipolar) {
    std::mt19937_64 rng(9);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    support::Rows x;
    support::Rows d;
    for (int p = 1; p <= 7; ++p) {
        auto& inputs = x.emplace_back();
        for (int i = 1; i <= 11; ++i) {
            inputs.push_back(bipolar ? ((rng() & 1U) != 0 ? 1.0 : -1.0) : value(rng));
        }
        auto& outputs = d.emplace_back();
        for (int j = 1; j <= 10; ++j) {
            outputs.push_back(value(rng));
        }
    }
    core::PublicStuff net = support::NetworkFromRows(x, d);
    for (int j = 1; j <= 10; ++j) {
        for (int i = 1; i <= 11; ++i) {
            net.Weights.setWeight(j, i, value(rng));
        }
    }
    return net;
}

double plainDistance(const core::PublicStuff& net, int p, const std::vector<double>& r) {
    double sum = 0.0;
    for (int j = 1; j <= net.NumOutputs; ++j) {
        const double e = net.DesiredOutputs(j, p) - r[static_cast<std::size_t>(j)];
        sum += e * e;
    }
    return sum;
}

// Mean SSE per pattern and percent of patterns recalled (strictly nearer their own desired
// output than every different one), of responses given per pattern, worked out plainly.
std::pair<double, double> plainScore(const core::PublicStuff& net,
                                     const std::vector<std::vector<double>>& responses) {
    double sse = 0.0;
    int recalled = 0;
    for (int p = 1; p <= net.NumPatterns; ++p) {
        const std::vector<double>& r = responses[static_cast<std::size_t>(p)];
        const double own = plainDistance(net, p, r);
        sse += own;
        bool nearer = true;
        for (int q = 1; q <= net.NumPatterns; ++q) {
            bool same = true;
            for (int j = 1; j <= net.NumOutputs; ++j) {
                same = same && net.DesiredOutputs(j, q) == net.DesiredOutputs(j, p);
            }
            nearer = nearer && (same || plainDistance(net, q, r) > own);
        }
        recalled += nearer ? 1 : 0;
    }
    return {sse / net.NumPatterns, 100.0 * recalled / net.NumPatterns};
}

TEST(RecallVectors, EveryPathGivesTheLiteralRecallToTheBit) {
    const core::PublicStuff net = randomNetwork(false);
    reference::Net ref(11, 10, 7);
    for (int p = 1; p <= 7; ++p) {
        for (int i = 1; i <= 11; ++i) {
            ref.x[p][i] = net.InputPatterns(i, p);
        }
    }
    for (int j = 1; j <= 10; ++j) {
        for (int i = 1; i <= 11; ++i) {
            ref.w[j][i].Weight = net.Weights.Weight(j, i);
        }
    }
    for (const core::CpuPath path : core::CpuPaths()) {
        SCOPED_TRACE(core::CpuPathName(path));
        std::vector<double> sums(7 * 11, -9.0);
        experiments::RecallVectors(net.Weights,
                                   {net.InputPatterns.pattern(1), net.InputPatterns.stride(), 7},
                                   sums.data(), 11, path);
        for (int p = 1; p <= 7; ++p) {
            ref.ComputeResponses(p);
            for (int j = 1; j <= 10; ++j) {
                EXPECT_EQ(
                    std::bit_cast<std::uint64_t>(sums[static_cast<std::size_t>((p - 1) * 11 + j)]),
                    std::bit_cast<std::uint64_t>(ref.outUnits[j].NetInput));
            }
        }
    }
}

TEST(Degradation, NoDamageAndNoLossGiveTheUndamagedRecall) {
    const core::PublicStuff net = randomNetwork(true);
    std::vector<std::vector<double>> responses(8, std::vector<double>(11));
    std::vector<double> errors(11);
    for (int p = 1; p <= 7; ++p) {
        ASSERT_TRUE(
            core::RecallInto(net, p, responses[static_cast<std::size_t>(p)].data(), errors.data()));
    }
    const auto [sse, recalled] = plainScore(net, responses);
    const experiments::DegradationResult result =
        experiments::ComputeDegradation(net, net.Weights, 1, 3);
    ASSERT_EQ(result.status, core::WorkEnd::Done) << result.message;
    ASSERT_EQ(result.curves.noise.size(), 21U);
    for (const auto* curve : {&result.curves.noise, &result.curves.lostConnections}) {
        EXPECT_EQ(curve->front().percent, 0);
        EXPECT_EQ(curve->back().percent, 100);
        EXPECT_DOUBLE_EQ(curve->front().meanSSE, sse);
        EXPECT_DOUBLE_EQ(curve->front().recalledPercent, recalled);
    }
}

TEST(Degradation, AllConnectionsLostGiveTheErrorOfZeroWeights) {
    const core::PublicStuff net = randomNetwork(false);
    const std::vector<std::vector<double>> zero(8, std::vector<double>(11, 0.0));
    const auto [sse, recalled] = plainScore(net, zero);
    const experiments::DegradationResult result =
        experiments::ComputeDegradation(net, net.Weights, 4, 2);
    ASSERT_EQ(result.status, core::WorkEnd::Done) << result.message;
    EXPECT_DOUBLE_EQ(result.curves.lostConnections.back().meanSSE, sse);
    EXPECT_DOUBLE_EQ(result.curves.lostConnections.back().recalledPercent, recalled);

    // Desired outputs of one length: a zero response is as near each, so none is recalled.
    core::PublicStuff even = randomNetwork(true);
    for (int p = 1; p <= even.NumPatterns; ++p) {
        for (int j = 1; j <= even.NumOutputs; ++j) {
            even.DesiredOutputs(j, p) = (p + j) % 3 == 0 ? 1.0 : -1.0;
        }
    }
    const experiments::DegradationResult lost =
        experiments::ComputeDegradation(even, even.Weights, 4, 2);
    ASSERT_EQ(lost.status, core::WorkEnd::Done) << lost.message;
    EXPECT_EQ(lost.curves.lostConnections.back().recalledPercent, 0.0);
}

TEST(Degradation, ASeedRepeatsTheCurvesOnAnyNumberOfThreads) {
    const core::PublicStuff net = randomNetwork(false);
    const auto one = experiments::ComputeDegradation(net, net.Weights, 7, 20, 1);
    const auto two = experiments::ComputeDegradation(net, net.Weights, 7, 20, 2);
    const auto other = experiments::ComputeDegradation(net, net.Weights, 8, 20, 2);
    ASSERT_EQ(one.status, core::WorkEnd::Done);
    for (int k = 0; k < 21; ++k) {
        const auto u = static_cast<std::size_t>(k);
        EXPECT_EQ(one.curves.noise[u].meanSSE, two.curves.noise[u].meanSSE);
        EXPECT_EQ(one.curves.lostConnections[u].meanSSE, two.curves.lostConnections[u].meanSSE);
        EXPECT_EQ(one.curves.noise[u].recalledPercent, two.curves.noise[u].recalledPercent);
    }
    EXPECT_NE(one.curves.noise[10].meanSSE, other.curves.noise[10].meanSSE);
    EXPECT_NE(one.curves.lostConnections[10].meanSSE, other.curves.lostConnections[10].meanSSE);
}

TEST(Degradation, ANetworkWithoutPatternsIsRefusedWithAMessage) {
    const core::PublicStuff net;
    const auto result = experiments::ComputeDegradation(net, net.Weights, 1);
    EXPECT_EQ(result.status, core::WorkEnd::Failed);
    EXPECT_EQ(result.message, "There is no trained network with stored patterns to recall.");
}

// Targets of length 1, 1, 2 and 1 (the second a copy of the first), one output each.
TEST(RecallRule, TiesAreNotRecalledAndSharedTargetsDoNotCompete) {
    const double desired[] = {0, 1, 0, 1, 0, 2, 0, -1};
    const views::RecallTargets targets(desired, 2, 4, 1);
    EXPECT_EQ(targets.target(1), 0);
    EXPECT_EQ(targets.target(3), 3);
    const double zero[] = {0, 0};
    // A zero response is as near 1 as -1: no pattern of those is recalled.
    for (const int own : {0, 1, 3}) {
        EXPECT_FALSE(targets.recalled(zero, own, 1.0)) << own;
    }
    EXPECT_EQ(targets.nearest(zero), (std::vector<int>{0, 3}));
    // 0.9 is nearest 1, which patterns 1 and 2 share: both are recalled.
    const double near[] = {0, 0.9};
    EXPECT_TRUE(targets.recalled(near, 0, 0.01));
    EXPECT_TRUE(targets.recalled(near, 1, 0.01));
    EXPECT_FALSE(targets.recalled(near, 2, 1.21));
    // Halfway between 1 and 2: a tie again.
    const double half[] = {0, 1.5};
    EXPECT_FALSE(targets.recalled(half, 2, 0.25));
    // The shortest desired output alone is recalled by a zero response, and every pattern
    // when all desired outputs are the same.
    const double shortest[] = {0, 0.5, 0, 1, 0, -2};
    EXPECT_TRUE(views::RecallTargets(shortest, 2, 3, 1).recalled(zero, 0, 0.25));
    const double same[] = {0, 3, 0, 3};
    EXPECT_TRUE(views::RecallTargets(same, 2, 2, 1).recalled(zero, 1, 9.0));
}

TEST(RecallRule, NearestPatternsAreNamedTogether) {
    EXPECT_EQ(views::NearestPatternsText({2}), "nearest stored pattern: 2");
    EXPECT_EQ(views::NearestPatternsText({2, 5}), "nearest stored patterns: 2 and 5, equally near");
    EXPECT_EQ(views::NearestPatternsText({2, 5, 7}),
              "nearest stored patterns: 2, 5 and 7, equally near");
    EXPECT_EQ(views::NearestPatternsText(std::vector<int>(16, 1)),
              "nearest stored patterns: 1, 1 and 14 others, equally near");
}

}  // namespace

#include <gtest/gtest.h>

#include <random>

#include "core/arithmetic.h"
#include "experiments/degradation.h"
#include "experiments/recall_batch.h"
#include "views/own_pattern.h"

namespace {

// 10 outputs (a block and a part), 11 inputs, 7 patterns (groups of four and three).
core::PublicStuff randomNetwork(bool bipolar) {
    std::mt19937_64 rng(9);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    core::PublicStuff net;
    net.NumInputs = 11;
    net.NumOutputs = 10;
    net.NumPatterns = 7;
    net.InputPatterns = core::PatternTable(11, 7);
    net.DesiredOutputs = core::PatternTable(10, 7);
    for (int p = 1; p <= 7; ++p) {
        for (int i = 1; i <= 11; ++i) {
            net.InputPatterns(i, p) = bipolar ? ((rng() & 1U) != 0 ? 1.0 : -1.0) : value(rng);
        }
        for (int j = 1; j <= 10; ++j) {
            net.DesiredOutputs(j, p) = value(rng);
        }
    }
    net.CreateUnitsAndWeights();
    for (int j = 1; j <= 10; ++j) {
        for (int i = 1; i <= 11; ++i) {
            net.Weights.setWeight(j, i, value(rng));
        }
    }
    return net;
}

// Mean SSE per pattern and percent of patterns nearest their own desired output, of
// responses given per pattern, worked out plainly.
std::pair<double, double> plainScore(const core::PublicStuff& net,
                                     const std::vector<std::vector<double>>& responses) {
    double sse = 0.0;
    int recalled = 0;
    for (int p = 1; p <= net.NumPatterns; ++p) {
        const std::vector<double>& r = responses[static_cast<std::size_t>(p)];
        double own = 0.0;
        for (int j = 1; j <= net.NumOutputs; ++j) {
            own += (net.DesiredOutputs(j, p) - r[static_cast<std::size_t>(j)]) *
                   (net.DesiredOutputs(j, p) - r[static_cast<std::size_t>(j)]);
        }
        sse += own;
        recalled += views::NearestStoredPattern(net, r.data()) == p ? 1 : 0;
    }
    return {sse / net.NumPatterns, 100.0 * recalled / net.NumPatterns};
}

TEST(RecallVectors, GivesTheOnePatternRecallToTheBit) {
    const core::PublicStuff net = randomNetwork(false);
    std::vector<double> sums(7 * 11, -9.0);
    experiments::RecallVectors(net.Weights,
                               {net.InputPatterns.pattern(1), net.InputPatterns.stride(), 7},
                               sums.data(), 11);
    std::vector<double> netInput(11);
    std::vector<double> errors(11);
    for (int p = 1; p <= 7; ++p) {
        ASSERT_TRUE(core::RecallInto(net, p, netInput.data(), errors.data()));
        for (int j = 1; j <= 10; ++j) {
            EXPECT_EQ(sums[static_cast<std::size_t>((p - 1) * 11 + j)],
                      netInput[static_cast<std::size_t>(j)]);
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
    const experiments::DegradationResult result = experiments::ComputeDegradation(net, 1, 3);
    ASSERT_EQ(result.status, experiments::DegradationStatus::Done) << result.message;
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
    const experiments::DegradationResult result = experiments::ComputeDegradation(net, 4, 2);
    ASSERT_EQ(result.status, experiments::DegradationStatus::Done) << result.message;
    EXPECT_DOUBLE_EQ(result.curves.lostConnections.back().meanSSE, sse);
    EXPECT_DOUBLE_EQ(result.curves.lostConnections.back().recalledPercent, recalled);
}

TEST(Degradation, ASeedRepeatsTheCurvesOnAnyNumberOfThreads) {
    const core::PublicStuff net = randomNetwork(false);
    const auto one = experiments::ComputeDegradation(net, 7, 20, 1);
    const auto two = experiments::ComputeDegradation(net, 7, 20, 2);
    const auto other = experiments::ComputeDegradation(net, 8, 20, 2);
    ASSERT_EQ(one.status, experiments::DegradationStatus::Done);
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
    const auto result = experiments::ComputeDegradation(net, 1);
    EXPECT_EQ(result.status, experiments::DegradationStatus::Failed);
    EXPECT_EQ(result.message, "There is no trained network with stored patterns to recall.");
}

}  // namespace

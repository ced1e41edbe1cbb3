#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "core/arithmetic.h"
#include "experiments/nearest_targets.h"
#include "experiments/recall_batch.h"
#include "experiments/test_patterns.h"
#include "files/loader.h"
#include "tests/support/network_builder.h"

namespace {

// tiny.net trained to some weights; dependent.net has its sizes (3 inputs, 2 outputs).
core::PublicStuff trainedTiny() {
    core::PublicStuff net = support::NetworkFromFile(DAM_EXAMPLES "/tiny.net");
    support::SetTrainedWeights(net, {0.5, -0.25, 1.0, 0.125, 0.75, -0.5});
    return net;
}

TEST(TestPatterns, EachTestGetsTheSSEOfItsOwnRecall) {
    core::PublicStuff net = trainedTiny();
    core::Problem tests;
    std::string error;
    ASSERT_TRUE(experiments::LoadTestPatterns(net, DAM_EXAMPLES "/dependent.net", tests, error))
        << error;
    experiments::TestRecall recall;
    ASSERT_TRUE(
        experiments::RecallTestPatterns(net.Weights, tests, "dependent.net", recall, error));
    ASSERT_EQ(recall.scores.size(), 3U);
    double total = 0.0;
    for (int t = 1; t <= 3; ++t) {
        ASSERT_EQ(core::ComputeResponsesTo(net, tests.InputPatterns.pattern(t), 1),
                  core::ArithStatus::Ok);
        double sse = 0.0;
        for (int j = 1; j <= 2; ++j) {
            const double e = tests.DesiredOutputs(j, t) - net.OutputUnits[j].Activation;
            sse += e * e;
        }
        EXPECT_EQ(recall.scores[static_cast<std::size_t>(t - 1)].sse, sse) << "test " << t;
        total += sse;
    }
    EXPECT_DOUBLE_EQ(recall.totalSSE, total);
    // Responses (1.5, -0.375), (0.75, 0.25), (2.25, -0.125) against desired outputs
    // (1, 0), (0, 1), (0, 0): SSE 0.390625, 1.125 and 5.078125, and all lie nearest (1, 0).
    for (const auto& score : recall.scores) {
        EXPECT_EQ(score.nearest, 1);
        EXPECT_EQ(score.recalledNearest, score.test == 1);
    }
    EXPECT_EQ(experiments::TestSummary(recall),
              "Test file dependent.net: 3 patterns, total SSE 6.59, largest pattern SSE 5.08 "
              "(test 3); recalled: 1 of 3 (nearer their own desired output than any other)");
    EXPECT_EQ(
        experiments::TestRecallJson(recall),
        "{\"test_file\": \"dependent.net\", \"patterns\": [{\"test\": 1, \"sse\": 0.390625, "
        "\"nearest\": 1}, {\"test\": 2, \"sse\": 1.125, \"nearest\": 1}, {\"test\": 3, \"sse\": "
        "5.078125, \"nearest\": 1}], \"total_sse\": 6.59375, \"largest_sse\": 5.078125, "
        "\"largest_test\": 3, \"recalled_nearest\": 1}\n");
}

TEST(TestPatterns, AFileOfOtherSizesIsRefusedNamingBoth) {
    const core::PublicStuff net = trainedTiny();
    core::Problem tests;
    std::string error;
    EXPECT_FALSE(experiments::LoadTestPatterns(net, DAM_EXAMPLES "/bipolar.net", tests, error));
    EXPECT_EQ(error, "The test file \"" DAM_EXAMPLES
                     "/bipolar.net\" has 8 inputs and 4 outputs, but the trained network has 3 "
                     "inputs and 2 outputs. Choose a file of test patterns with the trained "
                     "network's sizes.");
    EXPECT_FALSE(experiments::LoadTestPatterns(net, DAM_EXAMPLES "/none.net", tests, error));
    EXPECT_EQ(error.rfind("Cannot open the test file \"" DAM_EXAMPLES "/none.net\"", 0), 0U)
        << error;
}

// The blocked search against the plain loops over every pair, on integer responses and
// desired outputs drawn from a few vectors (exact ties, repeated targets), some moved by
// an ulp (near ties), and some too large to square (left to the plain loop). Narrow
// networks estimate through their inputs, wide ones through their responses.
TEST(NearestTargets, SameAsThePlainLoopsTiesIncluded) {
    std::mt19937_64 rng(17);
    for (const auto& [inputs, outputs, huge] :
         {std::tuple{3, 12, false}, std::tuple{12, 5, false}, std::tuple{4, 9, true}}) {
        SCOPED_TRACE(testing::Message() << inputs << " inputs, " << outputs << " outputs");
        const int count = 150;
        core::PublicStuff net;
        net.NumInputs = inputs;
        net.NumOutputs = outputs;
        net.CreateUnitsAndWeights();
        for (int j = 1; j <= outputs; ++j)
            for (int i = 1; i <= inputs; ++i)
                net.Weights.setWeight(j, i, static_cast<double>(rng() % 5) - 2.0);
        core::PatternTable x(inputs, count);
        core::PatternTable d(outputs, count);
        for (int t = 1; t <= count; ++t) {
            for (int i = 1; i <= inputs; ++i)
                x(i, t) = static_cast<double>(rng() % 3) - 1.0;
            const std::uint64_t pick = rng() % 6;  // one of six vectors
            for (int j = 1; j <= outputs; ++j)
                d(j, t) = static_cast<double>((pick * 7 + static_cast<std::uint64_t>(j)) % 5) - 2.0;
            if (rng() % 4 == 0)
                d(1, t) = std::nextafter(d(1, t), 9.0);
            if (huge && t % 50 == 0)
                d(2, t) = 1e300;
        }
        const auto stride = static_cast<std::size_t>(outputs) + 1;
        std::vector<double> sums(count * stride);
        experiments::RecallVectors(net.Weights, {x.pattern(1), x.stride(), count}, sums.data(),
                                   stride);
        const views::RecallTargets desired(d.pattern(1), d.stride(), count, outputs);
        std::vector<experiments::NearestTarget> found;
        ASSERT_TRUE(experiments::FindNearestTargets(net.Weights, x.pattern(1), x.stride(),
                                                    sums.data(), stride, desired, found));
        auto distance = [&](int t, int q) {
            double sum = 0.0;
            for (int j = 1; j <= outputs; ++j) {
                const double e = d(j, q + 1) - sums[static_cast<std::size_t>(t) * stride + j];
                sum = sum + e * e;
            }
            return sum;
        };
        int ties = 0;
        for (int t = 0; t < count; ++t) {
            int nearest = 0;
            bool recalled = distance(t, t) <= std::numeric_limits<double>::max();
            for (int q = 0; q < count; ++q) {
                bool same = true;
                for (int j = 1; j <= outputs; ++j)
                    same = same && d(j, q + 1) == d(j, t + 1);
                nearest = distance(t, q) < distance(t, nearest) ? q : nearest;
                ties += !same && distance(t, q) == distance(t, nearest) && q != nearest ? 1 : 0;
                recalled = recalled && (same || distance(t, q) > distance(t, t));
            }
            const experiments::NearestTarget& f = found[static_cast<std::size_t>(t)];
            ASSERT_EQ(f.nearest, nearest) << "test " << t;
            ASSERT_EQ(f.recalled, recalled) << "test " << t;
            ASSERT_EQ(f.ownDistance, distance(t, t)) << "test " << t;
        }
        EXPECT_GT(ties, 0);  // the rule for ties was exercised
    }
}

}  // namespace

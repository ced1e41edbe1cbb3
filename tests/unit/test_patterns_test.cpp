#include <gtest/gtest.h>

#include <algorithm>
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
// networks estimate through their inputs, wide ones through their responses; the last
// case is large enough to share the work between threads.
TEST(NearestTargets, SameAsThePlainLoopsTiesIncluded) {
    std::mt19937_64 rng(17);
    auto small = [&rng](int range) {
        return static_cast<double>(rng() % static_cast<unsigned>(range)) - 2.0;
    };
    const int cases[][5] = {// inputs, outputs, test patterns, vectors drawn from, huge
                            {3, 12, 150, 6, 0},
                            {12, 5, 150, 6, 0},
                            {4, 9, 150, 6, 1},
                            {80, 120, 1400, 1400, 0}};
    for (const auto& c : cases) {
        const int inputs = c[0];
        const int outputs = c[1];
        const int count = c[2];
        SCOPED_TRACE(testing::Message() << inputs << " inputs, " << outputs << " outputs");
        core::PublicStuff net;
        net.NumInputs = inputs;
        net.NumOutputs = outputs;
        net.CreateUnitsAndWeights();
        for (int j = 1; j <= outputs; ++j) {
            for (int i = 1; i <= inputs; ++i) {
                net.Weights.setWeight(j, i, small(5));
            }
        }
        core::PatternTable kind(outputs, c[3]);
        for (int k = 1; k <= c[3]; ++k) {
            for (int j = 1; j <= outputs; ++j) {
                kind(j, k) = small(5);
            }
        }
        core::PatternTable x(inputs, count);
        core::PatternTable d(outputs, count);
        for (int t = 1; t <= count; ++t) {
            for (int i = 1; i <= inputs; ++i) {
                x(i, t) = small(3) + 1.0;
            }
            const int pick = static_cast<int>(rng() % static_cast<unsigned>(c[3])) + 1;
            for (int j = 1; j <= outputs; ++j) {
                d(j, t) = kind(j, pick);
            }
            if (rng() % 4 == 0) {
                d(1, t) = std::nextafter(d(1, t), 9.0);
            }
            if (c[4] != 0 && t % 50 == 0) {
                d(2, t) = 1e300;
            }
        }
        const auto stride = static_cast<std::size_t>(outputs) + 1;
        std::vector<double> sums(static_cast<std::size_t>(count) * stride);
        experiments::RecallVectors(net.Weights, {x.pattern(1), x.stride(), count}, sums.data(),
                                   stride);
        const views::RecallTargets desired(d.pattern(1), d.stride(), count, outputs);
        std::vector<experiments::NearestTarget> found;
        ASSERT_TRUE(experiments::FindNearestTargets(net.Weights, x.pattern(1), x.stride(),
                                                    sums.data(), stride, desired, found));
        auto distance = [&](int t, int q) {
            const double* r = sums.data() + static_cast<std::size_t>(t) * stride;
            double sum = 0.0;
            for (int j = 1; j <= outputs; ++j) {
                const double e = d(j, q + 1) - r[j];
                sum = sum + e * e;
            }
            return sum;
        };
        int ties = 0;
        for (int t = 0; t < count; ++t) {
            const double own = distance(t, t);
            int nearest = 0;
            double best = distance(t, 0);
            bool recalled = own <= std::numeric_limits<double>::max();
            for (int q = 0; q < count; ++q) {
                const double dq = distance(t, q);
                const bool same = std::equal(d.pattern(q + 1) + 1, d.pattern(q + 1) + 1 + outputs,
                                             d.pattern(t + 1) + 1);
                ties += !same && dq == best && q != nearest ? 1 : 0;
                nearest = dq < best ? q : nearest;
                best = dq < best ? dq : best;
                recalled = recalled && (same || dq > own);
            }
            const experiments::NearestTarget& f = found[static_cast<std::size_t>(t)];
            ASSERT_EQ(f.nearest, nearest) << "test " << t;
            ASSERT_EQ(f.recalled, recalled) << "test " << t;
            ASSERT_EQ(f.ownDistance, own) << "test " << t;
        }
        EXPECT_GT(ties, 0);  // the rule for ties was exercised
    }
}

TEST(TestPatterns, ACancelledRecallSaysSo) {
    const core::PublicStuff net = trainedTiny();
    core::Problem tests;
    std::string error;
    ASSERT_TRUE(experiments::LoadTestPatterns(net, DAM_EXAMPLES "/dependent.net", tests, error));
    core::Progress progress;
    progress.requestStop();
    experiments::TestRecall recall;
    EXPECT_FALSE(experiments::RecallTestPatterns(net.Weights, tests, "dependent.net", recall, error,
                                                 &progress));
    EXPECT_EQ(error, "Recalling the test file dependent.net was cancelled.");
}

}  // namespace

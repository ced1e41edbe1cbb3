#include <gtest/gtest.h>

#include "core/arithmetic.h"
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

}  // namespace

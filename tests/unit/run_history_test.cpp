#include <gtest/gtest.h>

#include "core/network_state.h"
#include "tests/support/network_builder.h"
#include "training/run_history.h"

namespace {

// A network on `file`, a problem of one pattern whose input is `input` (b.net's is 2, every
// other file's 1), whose history has `rows` rows of SSE 10, 9, 8, ... at epochs 0, 10, 20, ...
core::PublicStuff trained(const std::string& file, const std::string& rule, double rate, int rows,
                          double input = 0.0) {
    core::PublicStuff net = support::NetworkFromRows({{input != 0.0      ? input
                                                       : file == "b.net" ? 2.0
                                                                         : 1.0}},
                                                     {{0.0}}, file);
    net.LearningRule = core::RuleNamed(rule).value();
    net.LearningRate = rate;
    net.SSEHistoryCount = static_cast<std::int16_t>(rows);
    net.SweepCount = static_cast<std::int16_t>(rows > 0 ? 10 * (rows - 1) : 0);
    for (int r = 1; r <= rows; ++r) {
        net.SSEHistory[static_cast<std::size_t>(r)] = {0.0, 10.0 * (r - 1), 11.0 - r};
    }
    return net;
}

void record(training::RunHistory& runs, const core::PublicStuff& net, bool began) {
    runs.RecordTraining(net, net, began);
}

TEST(RunHistory, StartingBeginsARunAndContinuingExtendsIt) {
    training::RunHistory runs;
    record(runs, trained("a.net", "Hebb", 0.1, 3), true);
    record(runs, trained("a.net", "Delta", 0.25, 2), true);
    record(runs, trained("a.net", "Delta", 0.25, 4), false);  // continued alike
    record(runs, trained("b.net", "Hebb", 0.5, 2), true);
    record(runs, trained("a.net", "Hebb", 0.1, 2), true);
    core::PublicStuff otherwise = trained("a.net", "Delta", 0.25, 5);  // continued otherwise
    otherwise.TrainedParts = {{core::Rule::Hebb, 0.1, 10}, {core::Rule::Delta, 0.25, 30}};
    record(runs, otherwise, false);
    record(runs, trained("a.net", "Delta", 0.25, 0), true);  // stopped before an epoch
    ASSERT_EQ(runs.runs().size(), 4U);
    const std::uint64_t a0 = core::ProblemKey(trained("a.net", "Hebb", 0.1, 1));
    const std::vector<const training::Run*> a = runs.RunsOn(a0);
    ASSERT_EQ(a.size(), 3U);
    EXPECT_EQ(a[1]->history.size(), 4U);
    EXPECT_EQ(a[1]->history[3], (std::array<double, 2>{30.0, 7.0}));
    EXPECT_EQ(training::RunLegend(*a[0]), "Run 1 (a.net): Hebb 0.1 for 20 epochs");
    EXPECT_EQ(training::RunLegend(*a[1]), "Run 2 (a.net): Delta 0.25 for 30 epochs");
    EXPECT_EQ(training::RunLegend(*a[2], true),
              "Run 4, this run (a.net): Hebb 0.1 for 10 epochs, then Delta 0.25 for 30");
    // The latest run is the one the bars show; earlier ones are the other two.
    const std::vector<const training::Run*> earlier = runs.EarlierRuns(a0);
    ASSERT_EQ(earlier.size(), 2U);
    EXPECT_EQ(earlier[0]->number, 1);
    EXPECT_EQ(earlier[1]->number, 2);
}

TEST(RunHistory, EarlierRunsAreTheEightMostRecent) {
    training::RunHistory runs;
    for (int k = 0; k < 11; ++k) {
        record(runs, trained("a.net", "Hebb", 0.1, 2), true);
    }
    const core::PublicStuff opened = trained("a.net", "Delta", 0.5, 3);
    runs.AddOpenedRun(opened, opened);  // an opened network: a run of its own
    const std::vector<const training::Run*> earlier =
        runs.EarlierRuns(core::ProblemKey(trained("a.net", "Hebb", 0.1, 1)));
    ASSERT_EQ(earlier.size(), 8U);
    EXPECT_EQ(earlier.front()->number, 4);
    EXPECT_EQ(earlier.back()->number, 11);
    EXPECT_EQ(training::RunLegend(runs.runs().back()), "Run 12 (a.net): Delta 0.5 for 20 epochs");
    EXPECT_TRUE(runs.EarlierRuns(core::ProblemKey(trained("b.net", "Hebb", 0.1, 1))).empty());
}

// runs/tiny.net and runs/b/tiny.net: one name, two problems; the same content under another
// name is the same problem.
TEST(RunHistory, RunsBelongToTheirProblemByContent) {
    training::RunHistory runs;
    record(runs, trained("tiny.net", "Hebb", 0.1, 2, 1.0), true);
    record(runs, trained("tiny.net", "Hebb", 0.1, 2, 3.0), true);
    record(runs, trained("copy.net", "Delta", 0.1, 2, 1.0), true);
    const std::vector<const training::Run*> first =
        runs.RunsOn(core::ProblemKey(trained("x.net", "Hebb", 0.1, 1, 1.0)));
    ASSERT_EQ(first.size(), 2U);
    EXPECT_EQ(training::RunLegend(*first[1]), "Run 3 (copy.net): Delta 0.1 for 10 epochs");
    EXPECT_EQ(runs.RunsOn(core::ProblemKey(trained("tiny.net", "Hebb", 0.1, 1, 3.0))).size(), 1U);
}

}  // namespace

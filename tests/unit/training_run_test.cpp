#include "training/training_run.h"
#include "training/taken_network.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "files/loader.h"
#include "tests/literal_reference.h"
#include "tests/support/network_builder.h"
#include "views/progress_rows.h"

namespace {

using core::PublicStuff;
using training::Printout;
using training::RunEnd;
using training::StoppingRules;

struct Recorder : training::RunObserver {
    std::vector<Printout> printouts;
    core::Progress progress;
    int stopDuring = -1;  // "Stop" is pressed while this epoch trains
    void printout(const Printout& p) override { printouts.push_back(p); }
    void epochStarting(int epoch) override {
        if (epoch == stopDuring) {
            progress.requestStop();
        }
    }
};

// The 2-output, 3-input, 2-pattern problem, with the setup page's initial parameters.
PublicStuff load(const char* text = "2 0 3 2  1 0 1  0 1 0  1 0  0 1") {
    PublicStuff net = support::NetworkFromText(text, "tiny.net");
    net.LearningRule = core::Rule::Hebb;
    net.LearningRate = 0.1;
    net.MaxSweeps = 100;
    net.PrintSweeps = 10;
    net.MinError = 0.05;
    net.FreshStart = 1;
    return net;
}

std::uint64_t bits(double v) {
    return std::bit_cast<std::uint64_t>(v);
}

TEST(TrainingRun, InitialParametersTrainHundredEpochsWithElevenHistoryRows) {
    PublicStuff net = load();
    Recorder recorder;
    const auto result = training::RunTraining(net, {}, recorder);
    EXPECT_EQ(result.end, RunEnd::RuleMet);
    EXPECT_EQ(net.SweepCount, 100);
    ASSERT_EQ(recorder.printouts.size(), 10u);
    ASSERT_EQ(net.SSEHistoryCount, 11);
    EXPECT_EQ(net.SSEHistory[1][1], 0.0);
    EXPECT_EQ(net.SSEHistory[1][2], 2.0);  // zero weights: the squared desired outputs
    for (int k = 2; k <= 11; ++k) {
        EXPECT_EQ(net.SSEHistory[k][1], 10.0 * (k - 1));
        EXPECT_EQ(bits(net.SSEHistory[k][2]), bits(recorder.printouts[k - 2].TotalSSE));
    }
    EXPECT_EQ(bits(net.SSEHistory[11][2]), bits(net.TotalSSE));

    // Continuing trains epochs 101 to 200 and adds the rows of 110 to 200.
    net.FreshStart = 0;
    net.MaxSweeps = 200;
    training::RunTraining(net, {}, recorder);
    EXPECT_EQ(net.SweepCount, 200);
    ASSERT_EQ(net.SSEHistoryCount, 21);
    EXPECT_EQ(net.SSEHistory[12][1], 110.0);
    EXPECT_EQ(net.SSEHistory[21][1], 200.0);
}

TEST(TrainingRun, TotalsMatchTheLiteralArithmetic) {
    for (const char* rule : {"Hebb", "Delta"}) {
        SCOPED_TRACE(rule);
        PublicStuff net = load("2 0 3 3  1 0.5 -1  0 1 0.25  2 -1 1  1 0  0 1  -0.5 0.5");
        net.LearningRule = core::RuleNamed(rule).value();
        net.PrintSweeps = 1;
        net.MaxSweeps = 30;
        Recorder recorder;
        training::RunTraining(net, {}, recorder);

        reference::Net ref(3, 2, 3);
        ref.rate = 0.1;
        for (int p = 1; p <= 3; ++p) {
            for (int i = 1; i <= 3; ++i)
                ref.x[p][i] = net.InputPatterns(i, p);
            for (int j = 1; j <= 2; ++j)
                ref.d[p][j] = net.DesiredOutputs(j, p);
        }
        for (int epoch = 1; epoch <= 30; ++epoch) {
            double total = 0;
            for (int p = 1; p <= 3; ++p) {
                std::string(rule) == "Hebb" ? ref.LearnHebb(p) : ref.LearnDelta(p);
                ref.ComputeResponses(p);
                total = total + ref.PatternSSE();
            }
            ASSERT_EQ(bits(net.SSEHistory[epoch + 1][2]), bits(total)) << "epoch " << epoch;
        }
        EXPECT_EQ(bits(net.Weights.Weight(2, 3)), bits(ref.w[2][3].Weight));
    }
}

TEST(TrainingRun, ChangesAndTheirFirstEpoch) {
    PublicStuff net = load("1 0 1 1  1  1");
    net.LearningRule = core::Rule::Delta;
    net.LearningRate = 1.5;  // overshoots: the error alternates in sign and stays 0.25x
    net.PrintSweeps = 1;
    net.MaxSweeps = 3;
    Recorder recorder;
    auto result = training::RunTraining(net, {}, recorder);
    ASSERT_EQ(recorder.printouts.size(), 3u);
    EXPECT_FALSE(recorder.printouts[0].hasChange);
    EXPECT_TRUE(recorder.printouts[1].hasChange);
    EXPECT_EQ(recorder.printouts[1].SSEChange,
              recorder.printouts[0].TotalSSE - recorder.printouts[1].TotalSSE);
    EXPECT_TRUE(result.hasChange);

    // A continued call compares its first epoch with the total it started from.
    const double before = net.TotalSSE;
    net.FreshStart = 0;
    net.MaxSweeps = 4;
    result = training::RunTraining(net, {}, recorder);
    ASSERT_EQ(recorder.printouts.size(), 4u);
    EXPECT_TRUE(recorder.printouts[3].hasChange);
    EXPECT_EQ(bits(recorder.printouts[3].SSEChange), bits(before - net.TotalSSE));
    EXPECT_EQ(bits(result.SSEChange), bits(before - net.TotalSSE));

    // A run that ends after its first epoch has no change to show.
    net.FreshStart = 1;
    net.MaxSweeps = 1;
    result = training::RunTraining(net, {}, recorder);
    EXPECT_FALSE(result.hasChange);
}

TEST(TrainingRun, StoppingRules) {
    // Epoch totals of a reference run, to aim the minimum-error rule exactly.
    PublicStuff probe = load();
    probe.LearningRule = core::Rule::Delta;
    probe.PrintSweeps = 1;
    Recorder all;
    training::RunTraining(probe, {}, all);
    const double sse7 = all.printouts[6].TotalSSE;

    struct Case {
        const char* name;
        StoppingRules rules;
        double minError;
        int maxSweeps;
        int expectedEpochs;
    };
    const Case cases[] = {
        {"below the minimum ends", {false, true}, std::nextafter(sse7, 1.0), 100, 7},
        {"equal to the minimum goes on", {false, true}, sse7, 100, 8},
        {"maximum first", {true, true}, std::nextafter(sse7, 1.0), 5, 5},
        {"minimum first", {true, true}, std::nextafter(sse7, 1.0), 50, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PublicStuff net = load();
        net.LearningRule = core::Rule::Delta;
        net.MinError = c.minError;
        net.MaxSweeps = static_cast<std::int16_t>(c.maxSweeps);
        Recorder recorder;
        EXPECT_EQ(training::RunTraining(net, c.rules, recorder).end, RunEnd::RuleMet);
        EXPECT_EQ(net.SweepCount, c.expectedEpochs);
    }
}

TEST(TrainingRun, PrintoutIntervalsAndTheHistoryLimit) {
    PublicStuff net = load();
    net.PrintSweeps = 0;
    Recorder none;
    training::RunTraining(net, {}, none);
    EXPECT_TRUE(none.printouts.empty());
    EXPECT_EQ(net.SSEHistoryCount, 1);
    EXPECT_EQ(net.SweepCount, 100);

    net.FreshStart = 1;
    net.PrintSweeps = 1;
    net.MaxSweeps = 2100;
    Recorder every;
    training::RunTraining(net, {}, every);
    EXPECT_EQ(every.printouts.size(), 2100u);
    EXPECT_EQ(net.SSEHistoryCount, 2000);
    EXPECT_EQ(net.SSEHistory[2000][1], 1999.0);
}

TEST(TrainingRun, FreshStartsRecordTheSameError) {
    PublicStuff net = load();
    Recorder recorder;
    training::RunTraining(net, {}, recorder);
    const double first = net.SSEHistory[1][2];
    net.CreateUnitsAndWeights();  // what "Reset Weights And Train Again" leads to
    net.LearningRule = core::Rule::Delta;
    training::RunTraining(net, {}, recorder);
    EXPECT_EQ(net.SSEHistory[1][2], first);

    PublicStuff delta = load();
    delta.LearningRule = core::Rule::Delta;
    training::RunTraining(delta, {}, recorder);
    EXPECT_EQ(bits(net.TotalSSE), bits(delta.TotalSSE));
}

TEST(TrainingRun, RunsThatNoRuleEndsCanBeStoppedOrReachTheCounterLimit) {
    PublicStuff net = load();
    net.MaxSweeps = 0;  // never equal to an epoch number
    Recorder stopper;
    stopper.stopDuring = 25;
    auto result = training::RunTraining(net, {}, stopper, &stopper.progress);
    EXPECT_EQ(result.end, RunEnd::Stopped);
    EXPECT_EQ(net.SweepCount, 25);
    EXPECT_EQ(net.SSEHistoryCount, 3);  // epochs 0, 10, 20

    net.FreshStart = 0;
    net.SweepCount = 32760;
    Recorder endless;
    result = training::RunTraining(net, {false, false}, endless);
    EXPECT_EQ(result.end, RunEnd::EpochLimit);
    EXPECT_EQ(net.SweepCount, 32767);
    EXPECT_NE(result.message.find("32767"), std::string::npos);
    EXPECT_TRUE(std::isfinite(net.TotalSSE));
}

TEST(TrainingRun, OverflowUndoesTheFailingEpoch) {
    const char* text = "1 0 2 2  1e100 -3e99  2e99 1e100  1e100  -1e100";
    PublicStuff net = load(text);
    net.LearningRule = core::Rule::Delta;
    net.LearningRate = 2.0;
    net.PrintSweeps = 1;
    Recorder recorder;
    const auto result = training::RunTraining(net, {}, recorder);
    ASSERT_EQ(result.end, RunEnd::ArithmeticFailure);
    const int completed = net.SweepCount;
    EXPECT_NE(result.message.find("during epoch " + std::to_string(completed + 1)),
              std::string::npos)
        << result.message;
    EXPECT_NE(result.message.find("overflow"), std::string::npos);

    // The network equals a run that stopped after the last complete epoch.
    PublicStuff again = load(text);
    again.LearningRule = core::Rule::Delta;
    again.LearningRate = 2.0;
    again.MaxSweeps = static_cast<std::int16_t>(completed);
    if (completed > 0) {
        Recorder quiet;
        training::RunTraining(again, {}, quiet);
        EXPECT_EQ(bits(net.TotalSSE), bits(again.TotalSSE));
    }
    for (int i = 1; i <= 2; ++i) {
        EXPECT_EQ(bits(net.Weights.Weight(1, i)), bits(again.Weights.Weight(1, i)));
        EXPECT_TRUE(std::isfinite(net.Weights.Change(1, i)));
    }
    EXPECT_TRUE(std::isfinite(net.OutputUnits[1].Error));

    // Desired outputs whose squares overflow: no error before training can be recorded.
    PublicStuff huge = load("1 0 1 1  1  1e200");
    const auto early = training::RunTraining(huge, {}, recorder);
    EXPECT_EQ(early.end, RunEnd::ArithmeticFailure);
    EXPECT_EQ(huge.SSEHistoryCount, 0);
    EXPECT_EQ(huge.SweepCount, 0);
    EXPECT_EQ(early.message,
              "Training stopped before the first epoch: a value grew beyond the range of double "
              "precision (overflow). The desired outputs of this file are too large: the sum of "
              "their squares is beyond the range of double precision, so no rule or rate can "
              "train on it. Scale the file's values down and load it again.");
}

// A problem of `in` x `out` x `patterns` with values of both signs, -0 among them, and
// weights `weight(j, i)`.
template <typename Weight>
PublicStuff problem(int in, int out, int patterns, const Weight& weight) {
    support::Rows x;
    support::Rows d;
    for (int p = 1; p <= patterns; ++p) {
        auto& inputs = x.emplace_back();
        for (int i = 1; i <= in; ++i) {
            inputs.push_back((p * 7 + i * 3) % 11 == 0 ? -0.0 : ((p * 31 + i) % 17) / 7.0 - 1.1);
        }
        auto& outputs = d.emplace_back();
        for (int j = 1; j <= out; ++j) {
            outputs.push_back((p + j) % 9 == 0 ? -0.0 : ((p * 13 + j * 5) % 23) / 3.0 - 3.3);
        }
    }
    PublicStuff net = support::NetworkFromRows(x, d);
    for (int j = 1; j <= out; ++j) {
        for (int i = 1; i <= in; ++i) {
            net.Weights.setWeight(j, i, weight(j, i));
        }
    }
    net.LearningRule = core::Rule::Delta;
    net.LearningRate = 0.01;
    net.MaxSweeps = 1;
    net.PrintSweeps = 1;
    net.FreshStart = 1;
    return net;
}

// The error before training by the one-pattern recall; `failed` when a recall or a sum
// overflows. Leaves the units as that loop leaves them.
double plainErrorBeforeTraining(PublicStuff& net, bool& failed) {
    double sse = 0.0;
    failed = true;
    for (int p = 1; p <= net.NumPatterns; ++p) {
        if (core::ComputeResponses(net, p) != core::ArithStatus::Ok) {
            return 0.0;
        }
        sse = sse + core::PatternSSE(net);
        if (!std::isfinite(sse)) {
            return 0.0;
        }
    }
    failed = false;
    return sse;
}

void expectSameUnits(const PublicStuff& a, const PublicStuff& b) {
    for (std::size_t i = 1; i < a.InputUnits.size(); ++i) {
        ASSERT_EQ(bits(a.InputUnits[i].Activation), bits(b.InputUnits[i].Activation)) << i;
    }
    for (std::size_t j = 1; j < a.OutputUnits.size(); ++j) {
        ASSERT_EQ(bits(a.OutputUnits[j].NetInput), bits(b.OutputUnits[j].NetInput)) << j;
        ASSERT_EQ(bits(a.OutputUnits[j].Activation), bits(b.OutputUnits[j].Activation)) << j;
        ASSERT_EQ(bits(a.OutputUnits[j].Error), bits(b.OutputUnits[j].Error)) << j;
    }
}

// Zero weights of either sign take a shortcut, other weights a recall on all cores in
// pieces (1000 outputs: 520 patterns a piece); both give the plain loop's bits, and
// where a recall or a sum overflows, its units.
TEST(TrainingRun, ErrorBeforeTrainingIsThePlainRecallsTotal) {
    const auto zero = [](int, int) { return 0.0; };
    const auto minusZero = [](int j, int i) { return (i + j) % 2 == 0 ? -0.0 : 0.0; };
    const auto some = [](int j, int i) { return ((j * 3 + i * 7) % 13) / 50.0 - 0.12; };
    const auto run = [](PublicStuff& net) {
        Recorder quiet;
        return training::RunTraining(net, {}, quiet);
    };
    struct Case {
        const char* name;
        int in, out, patterns;
        double (*weight)(int, int);
        int hugeAt;  // a desired value of 1e200 in this pattern, 0 for none
    };
    const Case cases[] = {
        {"zero", 5, 3, 7, zero, 0},
        {"minus zero", 9, 17, 4, minusZero, 0},
        {"weights", 5, 1000, 1100, some, 0},
        {"zero, overflow at 3", 4, 2, 5, zero, 3},
        {"weights, overflow at 700", 5, 1000, 900, some, 700},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PublicStuff net = problem(c.in, c.out, c.patterns, c.weight);
        PublicStuff plain = problem(c.in, c.out, c.patterns, c.weight);
        if (c.hugeAt > 0) {
            net.DesiredOutputs(2, c.hugeAt) = plain.DesiredOutputs(2, c.hugeAt) = 1e200;
        }
        bool failed = false;
        const double expected = plainErrorBeforeTraining(plain, failed);
        const auto result = run(net);
        if (c.hugeAt > 0) {
            ASSERT_TRUE(failed);
            EXPECT_EQ(result.end, RunEnd::ArithmeticFailure);
            expectSameUnits(net, plain);
        } else {
            ASSERT_FALSE(failed);
            EXPECT_EQ(bits(net.SSEHistory[1][2]), bits(expected));
        }
    }
    // An input that is not finite makes a zero weight's product NaN: the recall fails.
    PublicStuff nan = problem(2, 2, 3, zero);
    nan.InputPatterns(1, 2) = std::nan("");
    EXPECT_EQ(run(nan).end, RunEnd::ArithmeticFailure);
}

TEST(TrainingRun, StopWhileTheErrorBeforeTrainingIsMeasuredChangesNothing) {
    PublicStuff net =
        problem(3, 1000, 1100, [](int j, int i) { return ((j + i) % 5) / 10.0 - 0.2; });
    net.SSEHistoryCount = 4;
    net.TotalSSE = 12.5;
    net.OutputUnits[7].Error = 3.0;
    Recorder stopper;
    stopper.progress.requestStop();  // heard after the first piece of the error before training
    const auto result = training::RunTraining(net, {}, stopper, &stopper.progress);
    EXPECT_EQ(result.end, RunEnd::Stopped);
    EXPECT_EQ(net.SweepCount, 0);
    EXPECT_EQ(net.SSEHistoryCount, 4);
    EXPECT_EQ(net.TotalSSE, 12.5);
    EXPECT_EQ(net.OutputUnits[7].Error, 3.0);
    EXPECT_EQ(net.OutputUnits[8].NetInput, 0.0);
    EXPECT_EQ(net.Weights.Weight(2, 1), 0.3 - 0.2);
    EXPECT_FALSE(net.TrainedOnProblem);
}

TEST(ProgressRows, TextsAndColours) {
    const text::NumberSeparators german{",", "."};
    EXPECT_EQ(views::TrainingLine("tiny.net"), "Training: tiny.net");
    EXPECT_EQ(views::EpochsLine(100), "Epochs: 100");
    EXPECT_EQ(views::TotalSSELine(1234.5, {}), "Total SSE: 1,234.50");
    EXPECT_EQ(views::TotalSSELine(1234.5, german), "Total SSE: 1.234,50");
    // A row of 20 characters: the Standard text of 2.29e30 would be cut.
    const views::FitsRow twenty = [](const std::string& line) { return line.size() <= 20; };
    EXPECT_EQ(views::TotalSSELine(2.288354536037530e30, {}, twenty), "Total SSE: 2.29E+30");
    EXPECT_EQ(views::TotalSSELine(1234.5, {}, twenty), "Total SSE: 1,234.50");
    EXPECT_EQ(views::ChangeLine(-4.5, {}), "Change in SSE: -4.50E+00");
    EXPECT_EQ(views::ChangeLine(0.0123, german), "Change in SSE: 1,23E-02");
    EXPECT_EQ(views::ChangeColour(0.0), views::RowColour::Green);
    EXPECT_EQ(views::ChangeColour(-1e-300), views::RowColour::Red);
    EXPECT_EQ(views::FinalSSEColour(0.05, 0.05), views::RowColour::Red);
    EXPECT_EQ(views::FinalSSEColour(0.0499, 0.05), views::RowColour::Green);
}

// The estimate needs a known end and a share done; "about 1 s" at the least within an epoch.
TEST(ProgressRows, EpochAndBatchProgress) {
    EXPECT_EQ(views::EpochProgressLine(12, 0.4, 2.0), "Epoch 12: 40 %\nabout 3 s left");
    EXPECT_EQ(views::EpochProgressLine(3, 0.01, 2.0), "Epoch 3: 1 %");
    EXPECT_EQ(views::EpochProgressLine(3, 0.999, 0.1), "Epoch 3: 99 %\nabout 1 s left");
    EXPECT_EQ(views::StoppingLine(12), "Stopping after epoch 12 is complete");
    const double sse = 1.2345;
    EXPECT_EQ(views::BatchProgressLine(120, 1000, &sse, 12.0),
              "epoch 120 of 1000, total SSE 1.23E+00, 12 s elapsed, about 88 s left");
    EXPECT_EQ(views::BatchProgressLine(7, 0, nullptr, 0.4), "epoch 7, 0 s elapsed");
    EXPECT_EQ(views::BatchProgressLine(1000, 1000, &sse, 9.6),
              "epoch 1000 of 1000, total SSE 1.23E+00, 10 s elapsed");
}

// A run that trains a taken network leaves, once it is given back, the bits of one that
// trained in place; meanwhile the home holds nothing to read, and nothing was copied.
TEST(TrainingRun, TakenNetworkTrainsAwayFromHomeAndComesBackWhole) {
    PublicStuff inPlace = load();
    Recorder recorder;
    (void)training::RunTraining(inPlace, {}, recorder);

    PublicStuff home = load();
    const auto* weightsBefore = home.Weights.block(0);
    {
        training::TakenNetwork taken(home);
        EXPECT_EQ(home.NumInputs, 0);
        EXPECT_EQ(home.NumPatterns, 0);
        EXPECT_FALSE(home.Weights.exists());
        EXPECT_FALSE(home.InputPatterns.exists());
        EXPECT_EQ(home.SSEHistoryCount, 0);
        EXPECT_EQ(taken.network().Weights.block(0), weightsBefore);
        (void)training::RunTraining(taken.network(), {}, recorder);
        EXPECT_EQ(home.SweepCount, 0);
    }  // given back by its end
    EXPECT_EQ(home.Weights.block(0), weightsBefore);
    EXPECT_EQ(home.SweepCount, 100);
    ASSERT_EQ(home.SSEHistoryCount, inPlace.SSEHistoryCount);
    EXPECT_EQ(bits(home.TotalSSE), bits(inPlace.TotalSSE));
    for (int j = 1; j <= 2; ++j) {
        for (int i = 1; i <= 3; ++i) {
            EXPECT_EQ(bits(home.Weights.Weight(j, i)), bits(inPlace.Weights.Weight(j, i)));
        }
    }

    // Given back once: a second giveBack leaves the home alone.
    training::TakenNetwork again(home);
    again.giveBack();
    again.giveBack();
    EXPECT_EQ(home.SweepCount, 100);
    EXPECT_FALSE(again.held());
}

}  // namespace

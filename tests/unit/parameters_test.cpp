#include "training/parameters.h"
#include "core/network_state.h"

#include <gtest/gtest.h>

namespace {

using training::ParameterBoxes;

core::PublicStuff freshNet() {
    core::PublicStuff net;
    net.FreshStart = 1;
    net.MaxSweeps = 7;
    net.LearningRate = 0.3;
    net.PrintSweeps = 3;
    net.MinError = 0.2;
    return net;
}

TEST(Parameters, InitialBoxes) {
    core::PublicStuff net = freshNet();
    const auto outcome =
        training::ReadTrainingParameters(net, {"100", "10", "0.10", "0.05", true}, {});
    EXPECT_FALSE(outcome.problem);
    EXPECT_FALSE(outcome.negativeRate);
    EXPECT_EQ(net.MaxSweeps, 100);
    EXPECT_EQ(net.PrintSweeps, 10);
    EXPECT_EQ(net.LearningRate, 0.1);
    EXPECT_EQ(net.MinError, 0.05);
}

TEST(Parameters, CountsRoundHalfToEvenAndAddWhenContinuing) {
    core::PublicStuff net = freshNet();
    ASSERT_FALSE(
        training::ReadTrainingParameters(net, {"100.5", "2.5", "1", "", true}, {}).problem);
    EXPECT_EQ(net.MaxSweeps, 100);
    EXPECT_EQ(net.PrintSweeps, 2);
    EXPECT_EQ(net.MinError, 0.2);  // an empty box keeps the old value
    ASSERT_FALSE(
        training::ReadTrainingParameters(net, {"100", "10", "1", " \t ", true}, {}).problem);
    EXPECT_EQ(net.MinError, 0.2);  // and so does one holding only blanks

    net.FreshStart = 0;  // "Keep Current Weights": the box adds to the previous maximum
    ASSERT_FALSE(training::ReadTrainingParameters(net, {"50", "10", "1", "0.5", true}, {}).problem);
    EXPECT_EQ(net.MaxSweeps, 150);
    EXPECT_EQ(net.SweepsBoxValue, 50);  // kept for a network file, as the box last read

    // The maximum is left alone when its rule is not ticked, even if the box is bad.
    ASSERT_FALSE(
        training::ReadTrainingParameters(net, {"abc", "10", "1", "0.5", false}, {}).problem);
    EXPECT_EQ(net.MaxSweeps, 150);
    EXPECT_EQ(net.SweepsBoxValue, 50);

    net.SweepCount = 180;
    EXPECT_FALSE(training::ContinueMaxSweeps(net, "100.5", {}));
    EXPECT_EQ(net.MaxSweeps, 280);
    EXPECT_EQ(net.SweepsBoxValue, 100);
}

TEST(Parameters, NegativeRateIsReplaced) {
    core::PublicStuff net = freshNet();
    const auto outcome =
        training::ReadTrainingParameters(net, {"100", "10", "-0.5", "0.05", true}, {});
    EXPECT_FALSE(outcome.problem);
    EXPECT_TRUE(outcome.negativeRate);
    EXPECT_EQ(net.LearningRate, 0.1);
}

TEST(Parameters, LocaleDecimalSeparator) {
    core::PublicStuff net = freshNet();
    ASSERT_FALSE(
        training::ReadTrainingParameters(net, {"100", "10", "0,25", "0.5", true}, {",", "."})
            .problem);
    EXPECT_EQ(net.LearningRate, 0.25);
    EXPECT_EQ(net.MinError, 0.5);
}

struct Bad {
    ParameterBoxes boxes;
    std::int16_t freshStart;
    const char* box;
    const char* message;
};

TEST(Parameters, BadBoxesStartNoRunAndChangeNothing) {
    const Bad cases[] = {
        {{"", "10", "0.1", "0.05", true},
         1,
         "SweepsBox",
         "The maximum number of epochs is empty. Type a whole number of epochs from 1 to 32767."},
        {{"50000", "10", "0.1", "0.05", true},
         1,
         "SweepsBox",
         "The maximum number of epochs \"50000\" is out of range. Type a whole number of epochs "
         "from 1 to 32767."},
        {{"0", "10", "0.1", "0.05", true},
         1,
         "SweepsBox",
         "The maximum number of epochs \"0\" is less than 1. Type a whole number of epochs from 1 "
         "to 32767."},
        {{"32700", "10", "0.1", "0.05", true},
         0,
         "SweepsBox",
         "Training on for 32700 more epochs would pass epoch 32767, the most this program "
         "counts. Choose at most 32667 more epochs."},
        {{"100", "10", "fast", "0.05", true},
         1,
         "LRateBox",
         "The learning rate \"fast\" is not a number. Type a number of 0 or more, such as 0.1."},
        {{"100", "10000000", "0.1", "0.05", true},
         1,
         "PrintSweepsBox",
         "The number of epochs between printouts \"10000000\" is out of range. Type a whole "
         "number up to 32767."},
        {{"100", " ", "0.1", "0.05", true},
         1,
         "PrintSweepsBox",
         "The number of epochs between printouts is empty. Type a whole number up to 32767."},
        {{"100", "10", "0.1", "1e999", true},
         1,
         "MinErrorBox",
         "The minimum level of error \"1e999\" is out of range. Type a number such as 0.05."},
    };
    for (const Bad& c : cases) {
        SCOPED_TRACE(c.message);
        core::PublicStuff net = freshNet();
        net.FreshStart = c.freshStart;
        net.MaxSweeps = 100;
        const auto outcome = training::ReadTrainingParameters(net, c.boxes, {});
        ASSERT_TRUE(outcome.problem);
        EXPECT_EQ(outcome.problem->box, c.box);
        EXPECT_EQ(outcome.problem->message, c.message);
        EXPECT_EQ(net.MaxSweeps, 100);
        EXPECT_EQ(net.LearningRate, 0.3);
        EXPECT_EQ(net.PrintSweeps, 3);
        EXPECT_EQ(net.MinError, 0.2);
    }
}

}  // namespace

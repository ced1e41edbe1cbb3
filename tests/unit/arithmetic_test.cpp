#include "core/arithmetic.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "tests/literal_reference.h"
#include "tests/support/network_builder.h"

namespace {

using core::ArithStatus;
using core::PublicStuff;

// A network with the patterns given as x[p-1][i-1] and d[p-1][j-1].
PublicStuff makeNet(const support::Rows& x, const support::Rows& d, double rate) {
    PublicStuff net = support::NetworkFromRows(x, d);
    net.LearningRate = rate;
    return net;
}

std::uint64_t bits(double v) {
    return std::bit_cast<std::uint64_t>(v);
}

// Every value a reader can see, as bits, so that two states compare exactly.
std::vector<std::uint64_t> snapshot(const PublicStuff& net) {
    std::vector<std::uint64_t> s;
    for (int i = 1; i <= net.NumInputs; ++i)
        s.push_back(bits(net.InputUnits[i].Activation));
    for (int j = 1; j <= net.NumOutputs; ++j) {
        const auto& u = net.OutputUnits[j];
        s.insert(s.end(), {bits(u.NetInput), bits(u.Activation), bits(u.Error)});
    }
    for (int i = 1; i <= net.NumInputs; ++i)
        for (int j = 1; j <= net.NumOutputs; ++j)
            s.insert(s.end(), {bits(net.Weights.Weight(j, i)), bits(net.Weights.Change(j, i))});
    return s;
}

bool allFinite(const PublicStuff& net) {
    for (int i = 1; i <= net.NumInputs; ++i) {
        if (!std::isfinite(net.InputUnits[i].Activation))
            return false;
        for (int j = 1; j <= net.NumOutputs; ++j)
            if (!std::isfinite(net.Weights.Weight(j, i)) ||
                !std::isfinite(net.Weights.Change(j, i)))
                return false;
    }
    for (int j = 1; j <= net.NumOutputs; ++j) {
        const auto& u = net.OutputUnits[j];
        if (!std::isfinite(u.NetInput) || !std::isfinite(u.Activation) || !std::isfinite(u.Error))
            return false;
    }
    return true;
}

TEST(Recall, ZeroWeightsGiveTheDesiredOutputsAsErrors) {
    PublicStuff net = makeNet({{1, 0, 1}, {0.5, -2, 3}}, {{1, -1}, {0.25, 4}}, 0.1);
    ASSERT_EQ(core::ComputeResponses(net, 2), ArithStatus::Ok);
    EXPECT_EQ(net.InputUnits[1].Activation, 0.5);
    EXPECT_EQ(net.InputUnits[2].Activation, -2);
    EXPECT_EQ(net.InputUnits[3].Activation, 3);
    for (int j = 1; j <= 2; ++j) {
        EXPECT_EQ(net.OutputUnits[j].NetInput, 0.0);
        EXPECT_EQ(net.OutputUnits[j].Activation, 0.0);
    }
    EXPECT_EQ(net.OutputUnits[1].Error, 0.25);
    EXPECT_EQ(net.OutputUnits[2].Error, 4.0);
    EXPECT_EQ(core::PatternSSE(net), 0.25 * 0.25 + 16.0);
}

// Several patterns in one pass over the weights give ComputeResponses' bits, and stop at
// the first pattern whose recall overflows.
TEST(Recall, ManyPatternsAtOnceMatchOneByOne) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> value(-3.0, 3.0);
    std::vector<std::vector<double>> x(6, std::vector<double>(21));
    std::vector<std::vector<double>> d(6, std::vector<double>(19));
    for (auto& row : x)
        for (double& v : row)
            v = value(random);
    for (auto& row : d)
        for (double& v : row)
            v = value(random);
    PublicStuff net = makeNet(x, d, 0.1);
    for (int i = 1; i <= 21; ++i)
        for (int j = 1; j <= 19; ++j)
            net.Weights.setWeight(j, i, value(random) / 7.0);
    std::vector<double> sums(4 * 20);
    std::vector<double> errors(4 * 20);
    ASSERT_EQ(core::RecallManyInto(net, 3, 4, sums.data(), errors.data()), 4);
    for (int g = 0; g < 4; ++g) {
        ASSERT_EQ(core::ComputeResponses(net, 3 + g), ArithStatus::Ok);
        for (int j = 1; j <= 19; ++j) {
            EXPECT_EQ(bits(sums[g * 20 + j]), bits(net.OutputUnits[j].NetInput));
            EXPECT_EQ(bits(errors[g * 20 + j]), bits(net.OutputUnits[j].Error));
        }
    }
    net.Weights.setWeight(2, 4, 1e300);
    net.InputPatterns(4, 5) = 1e10;
    EXPECT_EQ(core::RecallManyInto(net, 3, 4, sums.data(), errors.data()), 2);
}

TEST(Learning, HebbStepAndDeltaSteps) {
    PublicStuff hebb = makeNet({{1, 0, 1}}, {{1, -1}}, 0.1);
    ASSERT_EQ(core::LearnHebb(hebb, 1), ArithStatus::Ok);
    const double expected[2][3] = {{0.1, 0, 0.1}, {-0.1, 0, -0.1}};
    for (int j = 1; j <= 2; ++j)
        for (int i = 1; i <= 3; ++i)
            EXPECT_EQ(hebb.Weights.Weight(j, i), expected[j - 1][i - 1]);
    EXPECT_EQ(hebb.Weights.Change(1, 2), 0.0);
    EXPECT_EQ(hebb.Weights.Change(2, 2), 0.0);
    EXPECT_EQ(hebb.OutputUnits[2].Activation, -1.0);  // clamped to the desired output

    // From zero weights the errors equal the desired outputs, so Delta matches Hebb.
    PublicStuff delta = makeNet({{1, 0, 1}}, {{1, -1}}, 0.1);
    ASSERT_EQ(core::LearnDelta(delta, 1), ArithStatus::Ok);
    for (int j = 1; j <= 2; ++j) {
        for (int i = 1; i <= 3; ++i) {
            EXPECT_EQ(bits(delta.Weights.Weight(j, i)), bits(hebb.Weights.Weight(j, i)));
            EXPECT_EQ(bits(delta.Weights.Change(j, i)), bits(hebb.Weights.Change(j, i)));
        }
    }

    // Second steps: Delta scales by the new errors (0.8, -0.8); Hebb doubles.
    ASSERT_EQ(core::LearnDelta(delta, 1), ArithStatus::Ok);
    EXPECT_NEAR(delta.OutputUnits[1].Activation, 0.8, 1e-15);
    EXPECT_NEAR(delta.OutputUnits[1].NetInput, 0.2, 1e-15);  // response before the change
    EXPECT_NEAR(delta.Weights.Weight(1, 1), 0.18, 1e-15);
    EXPECT_NEAR(delta.Weights.Weight(2, 3), -0.18, 1e-15);
    EXPECT_EQ(delta.Weights.Weight(1, 2), 0.0);
    ASSERT_EQ(core::LearnHebb(hebb, 1), ArithStatus::Ok);
    EXPECT_EQ(hebb.Weights.Weight(1, 1), 0.2);
}

TEST(Learning, RateZeroChangesNoWeight) {
    PublicStuff net = makeNet({{1, 2}, {3, -4}}, {{1}, {2}}, 0.5);
    ASSERT_EQ(core::LearnDelta(net, 1), ArithStatus::Ok);
    const double before = net.Weights.Weight(1, 2);
    net.LearningRate = 0.0;
    for (int p = 1; p <= 2; ++p) {
        ASSERT_EQ(core::LearnHebb(net, p), ArithStatus::Ok);
        ASSERT_EQ(core::LearnDelta(net, p), ArithStatus::Ok);
    }
    EXPECT_EQ(net.Weights.Weight(1, 2), before);
    EXPECT_EQ(net.Weights.Change(1, 1), 0.0);
    EXPECT_EQ(net.Weights.Change(1, 2), 0.0);
    ASSERT_EQ(core::ZeroWeights(net), ArithStatus::Ok);
    EXPECT_EQ(net.Weights.Weight(1, 2), 0.0);
}

TEST(Guards, RefuseArgumentsOutsideTheArrays) {
    PublicStuff net = makeNet({{1, 0}}, {{1}}, 0.1);
    EXPECT_EQ(core::ComputeResponses(net, 0), ArithStatus::BadArguments);
    EXPECT_EQ(core::LearnHebb(net, 2), ArithStatus::BadArguments);
    // A new problem loaded but the units not yet re-created at its sizes.
    net.NumInputs = 3;
    EXPECT_EQ(core::LearnDelta(net, 1), ArithStatus::BadArguments);
    EXPECT_EQ(core::ZeroWeights(net), ArithStatus::BadArguments);
    PublicStuff empty;
    EXPECT_EQ(core::ComputeResponses(empty, 1), ArithStatus::BadArguments);
    EXPECT_EQ(core::PatternSSE(empty), 0.0);
}

// Runs one training epoch in the order of a training run on both implementations.
void epoch(PublicStuff& net, reference::Net& ref, bool hebb, std::vector<double>& sse,
           std::vector<double>& refSse) {
    for (int p = 1; p <= net.NumPatterns; ++p) {
        ASSERT_EQ(hebb ? core::LearnHebb(net, p) : core::LearnDelta(net, p), ArithStatus::Ok);
        hebb ? ref.LearnHebb(p) : ref.LearnDelta(p);
        ASSERT_EQ(core::ComputeResponses(net, p), ArithStatus::Ok);
        ref.ComputeResponses(p);
        sse.push_back(core::PatternSSE(net));
        refSse.push_back(ref.PatternSSE());
    }
}

std::vector<std::uint64_t> snapshot(const reference::Net& ref) {
    std::vector<std::uint64_t> s;
    for (int i = 1; i <= ref.inputs; ++i)
        s.push_back(bits(ref.inUnits[i].Activation));
    for (int j = 1; j <= ref.outputs; ++j) {
        const auto& u = ref.outUnits[j];
        s.insert(s.end(), {bits(u.NetInput), bits(u.Activation), bits(u.Error)});
    }
    for (int i = 1; i <= ref.inputs; ++i)
        for (int j = 1; j <= ref.outputs; ++j)
            s.insert(s.end(), {bits(ref.w[j][i].Weight), bits(ref.w[j][i].Change)});
    return s;
}

enum class Kind { Binary, Bipolar, Real, Sparse };

TEST(Learning, MatchesTheLiteralArithmeticBitForBit) {
    std::mt19937_64 rng(20021);
    const int sizes[][3] = {{1, 1, 1}, {3, 2, 2}, {7, 5, 3}, {16, 9, 6}, {33, 17, 5}, {64, 64, 8}};
    const double rates[] = {0.0, 0.01, 0.1, 0.37, 1.0, 1.9};
    int problems = 0;
    for (const auto& size : sizes) {
        for (Kind kind : {Kind::Binary, Kind::Bipolar, Kind::Real, Kind::Sparse}) {
            for (double rate : rates) {
                for (bool hebb : {true, false}) {
                    const int in = size[0], out = size[1], pats = size[2];
                    auto value = [&]() -> double {
                        std::uniform_real_distribution<double> real(-3.0, 3.0);
                        switch (kind) {
                            case Kind::Binary:
                                return static_cast<double>(rng() & 1);
                            case Kind::Bipolar:
                                return (rng() & 1) ? 1.0 : -1.0;
                            case Kind::Real:
                                return real(rng);
                            case Kind::Sparse:
                                return (rng() % 4 == 0) ? real(rng) : 0.0;
                        }
                        return 0.0;
                    };
                    std::vector<std::vector<double>> x(pats, std::vector<double>(in));
                    std::vector<std::vector<double>> d(pats, std::vector<double>(out));
                    reference::Net ref(in, out, pats);
                    ref.rate = rate;
                    for (int p = 0; p < pats; ++p) {
                        for (int i = 0; i < in; ++i)
                            ref.x[p + 1][i + 1] = x[p][i] = value();
                        for (int j = 0; j < out; ++j)
                            ref.d[p + 1][j + 1] = d[p][j] = value();
                    }
                    PublicStuff net = makeNet(x, d, rate);
                    std::vector<double> sse, refSse;
                    for (int e = 0; e < 6; ++e)
                        epoch(net, ref, hebb, sse, refSse);
                    SCOPED_TRACE(testing::Message() << in << "x" << out << "x" << pats << " kind "
                                                    << static_cast<int>(kind) << " rate " << rate
                                                    << (hebb ? " Hebb" : " Delta"));
                    ASSERT_EQ(snapshot(net), snapshot(ref));
                    for (std::size_t k = 0; k < sse.size(); ++k)
                        ASSERT_EQ(bits(sse[k]), bits(refSse[k]));
                    ++problems;
                }
            }
        }
    }
    EXPECT_EQ(problems, 6 * 4 * 6 * 2);
}

TEST(Guards, OverflowStopsAndLeavesTheNetworkAsItWas) {
    // Delta with rate 2 on large values diverges within a few steps; the step that
    // overflows, learning or recall, must change nothing.
    PublicStuff net = makeNet({{1e50, -3e49}, {2e49, 1e50}}, {{1e50}, {-1e50}}, 2.0);
    ArithStatus status = ArithStatus::Ok;
    int steps = 0;
    std::vector<std::uint64_t> before;
    while (status == ArithStatus::Ok && steps < 1000) {
        const int p = steps % 2 + 1;
        before = snapshot(net);
        status = core::LearnDelta(net, p);
        if (status == ArithStatus::Ok) {
            before = snapshot(net);
            status = core::ComputeResponses(net, p);
        }
        ++steps;
    }
    ASSERT_EQ(status, ArithStatus::Overflow);
    EXPECT_GT(steps, 1);
    EXPECT_EQ(snapshot(net), before);
    EXPECT_TRUE(allFinite(net));

    // Recall whose sums overflow although every weight is finite.
    PublicStuff sums = makeNet({{1e308, 1e308}}, {{0}}, 1.0);
    sums.Weights.setWeight(1, 1, 1.5);
    sums.Weights.setWeight(1, 2, 1.5);
    const auto unchanged = snapshot(sums);
    EXPECT_EQ(core::ComputeResponses(sums, 1), ArithStatus::Overflow);
    EXPECT_EQ(snapshot(sums), unchanged);
    EXPECT_EQ(core::LearnHebb(sums, 1), ArithStatus::Ok);  // d = 0: no change at all

    // Rate times input already overflows.
    PublicStuff product = makeNet({{1e308}}, {{1}}, 2.0);
    EXPECT_EQ(core::LearnHebb(product, 1), ArithStatus::Overflow);
    EXPECT_TRUE(allFinite(product));
}

TEST(Guards, NearTheLimitFindsNoFalseOverflow) {
    // The quick bound (largest weight + largest change) overflows, but no single sum
    // does: the step must still be taken, exactly as the literal arithmetic takes it.
    PublicStuff net = makeNet({{0, 1e308}}, {{1}}, 1.0);
    net.Weights.setWeight(1, 1, 1.7e308);
    reference::Net ref(2, 1, 1);
    ref.x[1] = {0, 0, 1e308};
    ref.d[1] = {0, 1};
    ref.rate = 1.0;
    ref.w[1][1].Weight = 1.7e308;
    ASSERT_EQ(core::LearnHebb(net, 1), ArithStatus::Ok);
    ref.LearnHebb(1);
    EXPECT_EQ(snapshot(net), snapshot(ref));
    // A second step now overflows connection (1, 2) and must change nothing.
    const auto before = snapshot(net);
    EXPECT_EQ(core::LearnHebb(net, 1), ArithStatus::Overflow);
    EXPECT_EQ(snapshot(net), before);
}

}  // namespace

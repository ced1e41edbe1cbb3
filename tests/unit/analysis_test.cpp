#include "analysis/analysis.h"

#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <Eigen/Eigenvalues>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "analysis/all_eigenvalues.h"
#include "analysis/dense_kernels.h"
#include "analysis/pivoted_cholesky.h"
#include "analysis/span.h"
#include "files/loader.h"
#include "tests/support/network_builder.h"
#include "training/training_run.h"

namespace {

enum class Kind { Binary, Bipolar, Real, Orthonormal, Dependent };

struct Recorder final : training::RunObserver {
    std::vector<double> totals;  // TotalSSE of every epoch
    void printout(const training::Printout& p) override { totals.push_back(p.TotalSSE); }
};

// A small random problem of the given kind: 3 outputs, inputs and patterns as below.
core::PublicStuff makeProblem(Kind kind, unsigned seed) {
    std::mt19937 rng(seed);
    // Eighths, so that every value and sum is exact in the file's text.
    std::uniform_int_distribution<int> eighths(-8, 8);
    auto real = [&](std::mt19937& g) { return eighths(g) / 8.0; };
    const int inputs = kind == Kind::Orthonormal ? 4 : 6;
    const int patterns = kind == Kind::Dependent ? 5 : 4;
    std::string text = "3 0 " + std::to_string(inputs) + " " + std::to_string(patterns);
    std::vector<std::vector<double>> x(static_cast<std::size_t>(patterns),
                                       std::vector<double>(static_cast<std::size_t>(inputs)));
    for (int p = 0; p < patterns; ++p) {
        for (int i = 0; i < inputs; ++i) {
            double& v = x[static_cast<std::size_t>(p)][static_cast<std::size_t>(i)];
            switch (kind) {
                case Kind::Binary:
                    v = static_cast<double>(rng() & 1);
                    break;
                case Kind::Bipolar:
                    v = rng() & 1 ? 1.0 : -1.0;
                    break;
                case Kind::Real:
                case Kind::Dependent:
                    v = real(rng);
                    break;
                case Kind::Orthonormal:  // rows of a 4 x 4 Hadamard matrix, halved
                    v = __builtin_popcount(static_cast<unsigned>(p) & static_cast<unsigned>(i)) %
                                    2 ==
                                0
                            ? 0.5
                            : -0.5;
                    break;
            }
        }
    }
    if (kind == Kind::Dependent) {  // the last pattern is the sum of the first two
        for (int i = 0; i < inputs; ++i) {
            x[4][static_cast<std::size_t>(i)] =
                x[0][static_cast<std::size_t>(i)] + x[1][static_cast<std::size_t>(i)];
        }
    }
    for (const auto& row : x) {
        for (const double v : row) {
            text += " " + std::to_string(v);
        }
    }
    for (int k = 0; k < 3 * patterns; ++k) {
        text += " " + std::to_string(real(rng));
    }
    return support::NetworkFromText(text, "random.net");
}

// Trains from zero weights with a printout every epoch; the reported total per epoch.
std::vector<double> train(core::PublicStuff& net, const char* rule, double rate, int epochs) {
    net.LearningRule = core::RuleNamed(rule).value();
    net.LearningRate = rate;
    net.MaxSweeps = static_cast<std::int16_t>(epochs);
    net.PrintSweeps = 1;
    net.FreshStart = 1;
    (void)core::ZeroWeights(net);
    Recorder recorder;
    training::RunTraining(net, {true, false}, recorder);
    return recorder.totals;
}

double scaleOf(const core::PublicStuff& net) {
    return analysis::RecallSSE(net).value_or(1.0);  // zero weights: the squared targets
}

// Equal to 1e-9 relative; values that are rounding noise next to the targets compare
// against a floor of 1e-15 of them.
void expectClose(double forecast, double trained, double scale) {
    EXPECT_NEAR(forecast, trained, 1e-9 * std::max(std::abs(trained), 1e-6 * scale));
}

const Kind kKinds[] = {Kind::Binary, Kind::Bipolar, Kind::Real, Kind::Orthonormal, Kind::Dependent};

TEST(Analysis, ForecastsAgreeWithTrainingOnEveryKindOfProblem) {
    for (const Kind kind : kKinds) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            SCOPED_TRACE(testing::Message()
                         << "kind " << static_cast<int>(kind) << " seed " << seed);
            core::PublicStuff net = makeProblem(kind, seed);
            const double scale = scaleOf(net);
            const analysis::Prepared prepared = analysis::Prepare(net);
            ASSERT_TRUE(prepared.largestStableRate.has_value());
            if (kind != Kind::Binary) {  // random binary patterns may repeat
                EXPECT_EQ(prepared.facts.rank, 4);
                EXPECT_EQ(prepared.facts.independent, kind != Kind::Dependent);
            }
            EXPECT_EQ(prepared.facts.orthonormal, kind == Kind::Orthonormal);

            // Hebb: the first epoch, and the lowest reported total at the forecast epoch.
            const double hebbRate = 0.075 * *prepared.surelyStableBelow;
            const analysis::HebbForecast hebb = analysis::ForecastHebb(prepared, hebbRate);
            ASSERT_LT(hebb.bestEpoch, 2000);
            const std::vector<double> hebbRun = train(net, "Hebb", hebbRate, hebb.bestEpoch + 5);
            expectClose(hebb.sseEpoch1, hebbRun[0], scale);
            expectClose(hebb.bestSSE, hebbRun[static_cast<std::size_t>(hebb.bestEpoch - 1)], scale);
            EXPECT_EQ(std::min_element(hebbRun.begin(), hebbRun.end()) - hebbRun.begin() + 1,
                      hebb.bestEpoch);

            // Delta below the largest stable rate: the total the run settles at.
            const double deltaRate = 0.6 * *prepared.largestStableRate;
            const analysis::DeltaForecast delta = analysis::ForecastDelta(prepared, deltaRate);
            ASSERT_TRUE(delta.settles);
            const int epochs = std::min(
                30000, static_cast<int>(std::log(1e-15) / std::log(delta.spectralRadius)) + 20);
            const std::vector<double> deltaRun = train(net, "Delta", deltaRate, epochs);
            expectClose(*delta.settledSSE, deltaRun.back(), scale);

            // Just below the largest stable rate it settles, just above it grows.
            for (const double factor : {0.98, 1.02}) {
                const double rate = factor * *prepared.largestStableRate;
                const analysis::DeltaForecast near = analysis::ForecastDelta(prepared, rate);
                EXPECT_EQ(near.settles, factor < 1.0);
                const std::vector<double> run = train(net, "Delta", rate, 6000);
                if (factor < 1.0) {
                    ASSERT_EQ(run.size(), 6000U);
                    EXPECT_LE(std::abs(run.back() - *near.settledSSE),
                              std::abs(run[2999] - *near.settledSSE) + 1e-9 * scale);
                } else {
                    // A run that grows may overflow and stop long before epoch 3000.
                    EXPECT_TRUE(run.size() < 6000 || run.back() > 10.0 * run[2999])
                        << run.back() << " " << run[2999];
                }
            }
        }
    }
}

// Trains on from the current weights, as "Keep Current Weights And Continue Training"
// does; the reported total per epoch.
std::vector<double> trainOn(core::PublicStuff& net, double rate, int epochs) {
    net.LearningRate = rate;
    net.MaxSweeps = static_cast<std::int16_t>(net.SweepCount + epochs);
    net.PrintSweeps = 1;
    net.FreshStart = 0;
    Recorder recorder;
    training::RunTraining(net, {true, false}, recorder);
    return recorder.totals;
}

// Files with at least two more patterns than their rank: 3 inputs and 6 patterns of 0/1 or
// -1/+1, or 6 real patterns mixed from 3.
core::PublicStuff moreThanRank(int kind, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> eighths(-8, 8);
    std::vector<std::vector<double>> x(6, std::vector<double>(kind == 2 ? 5 : 3));
    for (std::size_t p = 0; p < 6; ++p) {
        for (double& v : x[p]) {
            v = kind == 0   ? static_cast<double>(rng() & 1)
                : kind == 1 ? (rng() & 1 ? 1.0 : -1.0)
                : p < 3     ? eighths(rng) / 8.0
                            : 0.0;
        }
    }
    if (kind == 2) {
        for (std::size_t i = 0; i < 5; ++i) {
            x[3][i] = x[0][i] + x[1][i];
            x[4][i] = x[1][i] - x[2][i];
            x[5][i] = x[0][i] + x[2][i] * 2.0;
        }
    }
    std::string text = "2 0 " + std::to_string(x[0].size()) + " 6";
    for (const auto& row : x) {
        for (const double v : row) {
            text += " " + std::to_string(v);
        }
    }
    for (int k = 0; k < 12; ++k) {
        text += " " + std::to_string(eighths(rng) / 4.0);
    }
    return support::NetworkFromText(text, "dependent.net");
}

// The first epoch from which the total stays within 2 % of where the run ends.
double epochsToWithin2Percent(const std::vector<double>& run) {
    std::size_t within = run.size();
    while (within > 0 && std::abs(run[within - 1] - run.back()) <= 0.02 * run.back()) {
        --within;
    }
    return static_cast<double>(within + 1);
}

TEST(Analysis, SettledSSEAndItsTimeAgreeWithTrainingWhenPatternsAreDependent) {
    for (int kind = 0; kind < 3; ++kind) {
        for (unsigned seed = 1; seed <= 5; ++seed) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << " seed " << seed);
            core::PublicStuff net = moreThanRank(kind, seed);
            const analysis::Prepared prepared = analysis::Prepare(net);
            ASSERT_TRUE(prepared.facts.rankKnown && prepared.largestStableRate);
            ASSERT_LE(prepared.facts.rank + 2, 6);
            // Not half the limit: with patterns of one length that zeroes every reported error.
            const double rate = 0.45 * *prepared.largestStableRate;
            const analysis::DeltaForecast delta = analysis::ForecastDelta(prepared, rate);
            ASSERT_TRUE(delta.settles && delta.settledSSE && delta.epochsToSettle);
            const std::vector<double> run = train(net, "Delta", rate, 20000);
            ASSERT_EQ(run.size(), 20000U);
            const double settled = run.back();
            if (prepared.lowestIsZero) {  // every pattern can be recalled exactly
                EXPECT_EQ(*delta.settledSSE, 0.0);
                EXPECT_LT(settled, 1e-20);
                continue;
            }
            ASSERT_LE(std::abs(settled - run[run.size() - 2]), 1e-6 * settled);  // it stopped
            EXPECT_NEAR(*delta.settledSSE, settled, 1e-6 * settled);
            // Against the first epoch from which the total stays within 2 % of it.
            const double epochs = epochsToWithin2Percent(run);
            EXPECT_LE(*delta.epochsToSettle, 2.0 * epochs);
            EXPECT_GE(*delta.epochsToSettle, 0.5 * epochs);
        }
    }
    // A slowly settling file: the total rises from 81,912 at epoch 100 to 544,580.
    core::PublicStuff slow = support::NetworkFromFile(DAM_EXAMPLES "/dependent.net");
    const analysis::DeltaForecast delta = analysis::ForecastDelta(analysis::Prepare(slow), 0.599);
    ASSERT_TRUE(delta.epochsToSettle.has_value());
    const double epochs = epochsToWithin2Percent(train(slow, "Delta", 0.599, 6000));
    EXPECT_LE(*delta.epochsToSettle, 2.0 * epochs);
    EXPECT_GE(*delta.epochsToSettle, 0.5 * epochs);
    EXPECT_EQ(analysis::ForecastLine(analysis::Rule::Delta, {}, delta, {0, 100, std::nullopt}),
              "Delta at 0.599 settles near SSE 544,580 after about 940 epochs, more than the "
              "100 this run trains (stable below 0.5998).");
}

TEST(Analysis, ForecastAfterKeepingTheWeightsStartsFromThem) {
    core::PublicStuff tiny = support::NetworkFromFile(DAM_EXAMPLES "/tiny.net");
    (void)train(tiny, "Hebb", 0.1, 3);
    tiny.FreshStart = 0;
    const analysis::Prepared prepared = analysis::Prepare(tiny);
    EXPECT_TRUE(prepared.fromCurrentWeights);
    const analysis::HebbForecast hebb = analysis::ForecastHebb(prepared, 0.1);
    const std::vector<double> run = trainOn(tiny, 0.1, 10);
    expectClose(hebb.sseEpoch1, run[0], 1.0);
    EXPECT_EQ(std::min_element(run.begin(), run.end()) - run.begin() + 1, hebb.bestEpoch);
    // Epoch 6 of a run from zero is epoch 3 of this one, numbered 6 as the printouts do.
    EXPECT_EQ(analysis::ForecastLine(analysis::Rule::Hebb, hebb, {}, {3, 103, std::nullopt}, true),
              "Hebb at 0.1 from the current weights: lowest SSE 0.2 at epoch 6, then it grows.");
    // Ending before the lowest epoch, and a minimum error below what it reaches. Pattern
    // errors at epoch k are (1 - 0.2 k)^2 and (1 - 0.1 k)^2: 0.4 at epoch 4, 0.2 at 6.
    EXPECT_EQ(analysis::ForecastLine(analysis::Rule::Hebb, hebb, {}, {3, 4, 0.01}, true),
              "Hebb at 0.1 from the current weights: the SSE falls to 0.4 by epoch 4, where the "
              "run ends (lowest 0.2 at epoch 6); the minimum error 0.01 lies below it, so the "
              "run will not stop early.");
}

// Ending the program asks a forecast still at work to stop: it stops before the pairs of
// patterns are factored, so no rank and no stable rate, where unstopped it finds both.
TEST(Analysis, AStopRequestEndsThePreparationEarly) {
    const core::PublicStuff net = makeProblem(Kind::Dependent, 5);
    ASSERT_TRUE(analysis::Prepare(net).largestStableRate.has_value());
    core::Progress stop;
    stop.requestStop();
    analysis::Limits limits;
    limits.stop = &stop;
    const analysis::Prepared stopped = analysis::Prepare(net, limits);
    EXPECT_FALSE(stopped.facts.rankKnown);
    EXPECT_FALSE(stopped.largestStableRate.has_value());
    EXPECT_EQ(stopped.limits.stop, nullptr);  // what is kept outlives the worker's progress
}

TEST(Analysis, SmallExamplesWorkedByHand) {
    // tiny.net: orthogonal patterns of lengths sqrt 2 and 1, targets (1,0) and (0,1).
    core::PublicStuff tiny = support::NetworkFromFile(DAM_EXAMPLES "/tiny.net");
    const analysis::Analysis a = analysis::Analyse(tiny, analysis::Rule::Hebb, 0.1);
    EXPECT_EQ(a.hebb.bestEpoch, 6);
    EXPECT_NEAR(a.hebb.bestSSE, 0.2, 1e-12);
    EXPECT_NEAR(a.hebb.sseEpoch1, 1.45, 1e-12);
    // 2 over the largest squared length, never above it.
    ASSERT_TRUE(a.delta.largestStableRate.has_value());
    EXPECT_LE(*a.delta.largestStableRate, 1.0);
    EXPECT_GE(*a.delta.largestStableRate, 0.999);
    EXPECT_EQ(analysis::ForecastLine(analysis::Rule::Hebb, a.hebb, a.delta),
              "Hebb at 0.1: lowest SSE 0.2 at epoch 6, then it grows.");
    EXPECT_TRUE(a.prepared.facts.orthogonal);
    EXPECT_FALSE(a.prepared.facts.orthonormal);

    // dependent.net: the third pattern is the sum of the others but its target is zero;
    // least squares leaves 1/3 per output.
    core::PublicStuff dependent = support::NetworkFromFile(DAM_EXAMPLES "/dependent.net");
    const analysis::Analysis b = analysis::Analyse(dependent, analysis::Rule::Delta, 1.2);
    EXPECT_NEAR(*b.prepared.lowestRecallSSE, 2.0 / 3.0, 1e-12);
    EXPECT_FALSE(b.prepared.lowestIsZero);
    EXPECT_EQ(b.prepared.facts.rank, 2);
    EXPECT_FALSE(b.delta.settles);
    // The first crossing is 0.6; the limit is shown rounded down from just below it.
    EXPECT_EQ(analysis::GrowthReason(analysis::Rule::Delta, b.hebb, b.delta, 100),
              "At rate 1.2 the Delta rule overshoots on this file; rates below 0.5998 settle.");
    EXPECT_GE(*b.delta.largestStableRate, 0.5994);
    EXPECT_LE(*b.delta.largestStableRate, 0.6);

    const std::string json = analysis::RenderJson(b);
    EXPECT_EQ(
        json.substr(0, 104),
        R"({"inputs":3,"outputs":2,"patterns":3,"input_rank":2,"independent":false,"orthogonal":false,"orthonormal")");
    EXPECT_NE(json.find(R"("hebb":{"rate":1.2,"sse_epoch_1":)"), std::string::npos);
    EXPECT_NE(json.find(R"("settles":false,"largest_stable_rate":0.59)"), std::string::npos);
    EXPECT_NE(json.find(R"("settled_sse":null,"growth_per_epoch":)"), std::string::npos);
    EXPECT_NE(json.find(R"("reported_total_sse":null)"), std::string::npos);
}

TEST(Analysis, PartsAboveTheLimitsAreSkippedWithAReason) {
    core::PublicStuff net = makeProblem(Kind::Real, 7);
    analysis::Limits limits;
    limits.maxSpectrumRank = 3;
    analysis::Analysis a = analysis::Analyse(net, analysis::Rule::Delta, 0.1, limits);
    // Without the spectrum, a rate below the sure bound still settles and one above the
    // bound has no verdict.
    ASSERT_LT(0.1, *a.delta.surelyStableBelow);
    EXPECT_TRUE(a.delta.known && a.delta.settles);
    EXPECT_FALSE(a.delta.radiusKnown);
    EXPECT_TRUE(a.hebb.known);
    ASSERT_EQ(a.prepared.notes.size(), 1u);
    EXPECT_NE(a.prepared.notes[0].find("rank 4, above the 3"), std::string::npos);
    EXPECT_NE(analysis::RenderJson(a).find(R"("spectral_radius":null,"settles":true)"),
              std::string::npos);
    limits.maxEpochMapWork = 10;
    const double beyond = 1.5 * *a.delta.surelyStableBelow;
    a = analysis::Analyse(net, analysis::Rule::Delta, beyond, limits);
    EXPECT_FALSE(a.delta.known);
    EXPECT_NE(analysis::RenderJson(a).find(R"("spectral_radius":null,"settles":null)"),
              std::string::npos);
    limits.maxEpochMapWork = analysis::Limits{}.maxEpochMapWork;

    limits.maxBasisWork = 10;
    limits.maxRecallWork = 10;
    limits.maxPairWork = 10;
    a = analysis::Analyse(net, analysis::Rule::Hebb, 0.1, limits);
    EXPECT_FALSE(a.hebb.known);
    EXPECT_FALSE(a.currentRecallSSE.has_value());
    EXPECT_EQ(a.prepared.notes.size(), 4u);
    EXPECT_NE(RenderJson(a).find(R"("input_rank":null)"), std::string::npos);
}

core::PublicStuff loadData(const char* name) {
    return support::NetworkFromFile(std::string(DAM_TEST_DATA "/analysis/") + name);
}

// Whether a run of `epochs` Delta epochs ran to the end with its total's change over 100
// epochs shrinking between the middle and the end. A settling total may approach from
// below, and near a crossing it may settle far above where it began.
bool settlesInTraining(core::PublicStuff& net, double rate, int epochs) {
    const std::vector<double> run = train(net, "Delta", rate, epochs);
    if (run.size() != static_cast<std::size_t>(epochs)) {
        return false;
    }
    const std::size_t half = run.size() / 2;
    const double middle = std::abs(run[half] - run[half - 100]);
    const double end = std::abs(run.back() - run[run.size() - 101]);
    return end <= middle + 1e-12 * std::max(1.0, run.back());
}

bool growsInTraining(core::PublicStuff& net, double rate, int epochs) {
    const std::vector<double> run = train(net, "Delta", rate, epochs);
    return run.size() < static_cast<std::size_t>(epochs) || run.back() > 10.0 * run[run.size() / 2];
}

void expectPlainNumbers(const std::string& text) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* word : {"inf", "nan", "-0 "}) {
        EXPECT_EQ(lower.find(word), std::string::npos) << word << " in\n" << text;
    }
}

TEST(Analysis, StableRatesThatAreNotOneInterval) {
    // A band of rates that grow lies below a band that settles again.
    core::PublicStuff net = loadData("band_below_settling.net");
    const analysis::Prepared prepared = analysis::Prepare(net);
    ASSERT_TRUE(prepared.largestStableRate && prepared.stableRateHigh);
    const double limit = *prepared.largestStableRate;
    EXPECT_LE(*prepared.stableRateHigh, limit * 1.001);
    EXPECT_TRUE(settlesInTraining(net, limit * 0.999, 20000));
    EXPECT_TRUE(growsInTraining(net, limit * 1.003, 20000));

    // 2 / 1.58 = 1.26582...: shown as 1.265, and 1.2659 grows.
    core::PublicStuff single = loadData("rounds_up.net");
    const analysis::Analysis a = analysis::Analyse(single, analysis::Rule::Delta, 1.2659);
    EXPECT_NE(analysis::RenderText(a).find("Largest stable rate: 1.265 "), std::string::npos);
    EXPECT_FALSE(a.delta.settles);
    EXPECT_TRUE(growsInTraining(single, 1.2659, 30000));
}

TEST(Analysis, ShownLimitIsNeverAboveTheFirstCrossing) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        core::PublicStuff net = makeProblem(seed % 2 == 0 ? Kind::Real : Kind::Dependent, seed);
        const analysis::Prepared prepared = analysis::Prepare(net);
        ASSERT_TRUE(prepared.largestStableRate && prepared.surelyStableBelow);
        const double low = *prepared.surelyStableBelow;
        const double limit = *prepared.largestStableRate;
        for (int k = 0; k <= 24; ++k) {
            const double rate = k == 24 ? limit * 0.9995 : low + (limit - low) * k / 24.0;
            EXPECT_TRUE(settlesInTraining(net, rate, 4000)) << "rate " << rate;
        }
    }
}

TEST(Analysis, StatementsTrainingBearsOut) {
    // Desired outputs at right angles to the patterns: the Hebb total never changes.
    core::PublicStuff still = loadData("hebb_orthogonal_targets.net");
    const analysis::Analysis h = analysis::Analyse(still, analysis::Rule::Hebb, 0.1);
    EXPECT_EQ(h.hebb.bestEpoch, 1);
    EXPECT_FALSE(h.hebb.growsAfterBest);
    const std::vector<double> hebbRun = train(still, "Hebb", 0.1, 40);
    EXPECT_NEAR(hebbRun.back(), hebbRun.front(), 1e-15);

    // A 1e-13 change to a dependent file: one rank, one verdict, and training agrees.
    core::PublicStuff nearly = loadData("nearly_dependent.net");
    const analysis::Analysis n = analysis::Analyse(nearly, analysis::Rule::Delta, 0.1);
    EXPECT_EQ(n.prepared.facts.rank, 2);
    ASSERT_TRUE(n.delta.settles && !n.delta.slow);
    EXPECT_LT(n.delta.spectralRadius, 0.99);
    expectClose(*n.delta.settledSSE, train(nearly, "Delta", 0.1, 1000).back(), 2.0);

    // A consistent dependent file: what is zero within rounding is 0.
    core::PublicStuff zero = loadData("resolved_zero.net");
    const analysis::Analysis z = analysis::Analyse(zero, analysis::Rule::Delta, 0.5);
    EXPECT_EQ(*z.prepared.lowestRecallSSE, 0.0);
    EXPECT_EQ(*z.delta.settledSSE, 0.0);
    EXPECT_NE(analysis::RenderText(z).find("over all weights: 0\n"), std::string::npos);

    // (1, 0) and (0, 10) with targets 1 and 0: the second input's weight stays at 0, so
    // at 0.1 the run settles although that direction alone would grow (1 - 0.1 * 100)^2.
    core::PublicStuff idle = loadData("unexcited_growth.net");
    const analysis::Analysis u = analysis::Analyse(idle, analysis::Rule::Delta, 0.1);
    EXPECT_TRUE(u.delta.settles);
    ASSERT_TRUE(u.delta.idleGrowthPerEpoch.has_value());
    EXPECT_NEAR(*u.delta.idleGrowthPerEpoch, 81.0, 1e-9);
    EXPECT_LT(train(idle, "Delta", 0.1, 400).back(), 1e-20);

    // Rate 0 changes nothing and prints as 0.
    const analysis::Analysis r0 = analysis::Analyse(idle, analysis::Rule::Hebb, -0.0);
    EXPECT_EQ(analysis::ForecastLine(analysis::Rule::Hebb, r0.hebb, r0.delta),
              "Hebb at 0: the SSE stays at 1.");
    EXPECT_TRUE(r0.delta.neverChanges);
}

TEST(Analysis, MagnitudesNearTheEndsOfTheDoubleRange) {
    for (const char* name :
         {"huge_values.net", "tiny_values.net", "mixed_magnitudes.net", "identical_huge.net"}) {
        SCOPED_TRACE(name);
        core::PublicStuff net = loadData(name);
        for (const double rate : {0.1, 1e308}) {
            const analysis::Analysis a = analysis::Analyse(net, analysis::Rule::Delta, rate);
            expectPlainNumbers(analysis::RenderText(a));
            for (const double length : a.prepared.facts.lengths) {
                EXPECT_TRUE(std::isfinite(length) && length > 0.0);
            }
        }
    }
    // (1e200, 1e-200) and (1, 1) meet at 45 degrees; two equal patterns of 1e155 are one.
    const analysis::Prepared mixed = analysis::Prepare(loadData("mixed_magnitudes.net"));
    EXPECT_NEAR(*mixed.facts.largestCosine, std::sqrt(0.5), 1e-12);
    EXPECT_FALSE(mixed.facts.orthogonal);
    const analysis::Prepared same = analysis::Prepare(loadData("identical_huge.net"));
    EXPECT_EQ(*same.facts.largestCosine, 1.0);
    EXPECT_EQ(same.facts.rank, 1);
    EXPECT_NEAR(same.facts.lengths[0], std::sqrt(2.0) * 1e155, 1e141);
    // Stable rates of about 1e-310 are no double's: no rate is claimed, a note says why.
    const analysis::Analysis huge =
        analysis::Analyse(loadData("huge_values.net"), analysis::Rule::Delta, 0.1);
    EXPECT_FALSE(huge.delta.largestStableRate.has_value());
    EXPECT_FALSE(huge.delta.settles);
    EXPECT_NE(analysis::RenderJson(huge).find(R"("notes":["The Delta rule's largest stable)"),
              std::string::npos);
}

}  // namespace

// Every path's build of the dense kernels against plain products, on panels inside larger
// matrices (leading dimensions above their heights).
TEST(Analysis, DenseKernelsAgreeWithPlainProducts) {
    std::mt19937 rng(31);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    auto random = [&](Eigen::Index rows, Eigen::Index cols) {
        return Eigen::MatrixXd(
            Eigen::MatrixXd::NullaryExpr(rows, cols, [&] { return value(rng); }));
    };
    for (const core::CpuPath path : core::CpuPaths()) {
        const analysis::DenseKernels* kernels = &analysis::DenseKernelsFor(path);
        SCOPED_TRACE(kernels->name);
        const Eigen::Index n = 37;
        const Eigen::MatrixXd c = random(n, 12);
        const Eigen::MatrixXd t = random(5, 5).triangularView<Eigen::Upper>();
        Eigen::MatrixXd v = random(n + 4, 11);  // the top n rows take part
        Eigen::MatrixXd expected = v;
        const auto run = c.middleCols(3, 5);
        expected.topRows(n) -= run * (t * (run.transpose() * v.topRows(n)));
        kernels->applyRun(c.col(3).data(), n, n, 5, t.data(), v.data(), v.rows(), v.cols());
        EXPECT_LT((v - expected).norm(), 1e-13 * expected.norm());

        Eigen::MatrixXd g = Eigen::MatrixXd::Zero(12, 12);
        kernels->gramColumns(c.data(), n, 12, n, 2, 4, g.data(), 12);
        const Eigen::MatrixXd gram = c.transpose() * c;
        EXPECT_LT((g.block(2, 2, 10, 4) - gram.block(2, 2, 10, 4)).norm(), 1e-13 * gram.norm());
    }
}

TEST(Analysis, AllEigenvaluesOfKnownMatrices) {
    Eigen::MatrixXd pairAndReal(3, 3);  // eigenvalues 2i, -2i and 0.5
    pairAndReal << 0, -2, 0, 2, 0, 0, 0, 0, 0.5;
    std::optional<Eigen::VectorXcd> values = analysis::AllEigenvalues(pairAndReal);
    ASSERT_TRUE(values.has_value());
    std::vector<std::complex<double>> found(values->begin(), values->end());
    std::sort(found.begin(), found.end(), [](auto a, auto b) {
        return a.imag() < b.imag() || (a.imag() == b.imag() && a.real() < b.real());
    });
    const std::vector<std::complex<double>> exact = {{0, -2}, {0.5, 0}, {0, 2}};
    for (std::size_t i = 0; i < exact.size(); ++i) {
        EXPECT_LT(std::abs(found[i] - exact[i]), 1e-14) << i;
    }
    Eigen::MatrixXd empty(0, 0);
    EXPECT_EQ(analysis::AllEigenvalues(empty)->size(), 0);
    Eigen::MatrixXd wide(2, 3);
    wide.setOnes();
    EXPECT_FALSE(analysis::AllEigenvalues(wide).has_value());
}

TEST(Analysis, EpochMapDeterminantIsTheProductOverPatterns) {
    // det M = prod (1 - r |c_p|^2) with dependent patterns too, and the first rate it
    // proves growth at has a radius above 1.
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> eighths(-8, 8);
    for (const Kind kind : {Kind::Binary, Kind::Real, Kind::Dependent}) {
        SCOPED_TRACE(static_cast<int>(kind));
        Eigen::MatrixXd x(12, kind == Kind::Dependent ? 16 : 10);
        for (Eigen::Index k = 0; k < x.size(); ++k) {
            x(k) = kind == Kind::Binary ? (eighths(rng) > 0) : eighths(rng) / 8.0;
        }
        const Eigen::MatrixXd gram = x.transpose() * x;
        analysis::PivotedCholesky factor =
            analysis::FactorPivotedCholesky(gram, 1e-9 * gram.diagonal().maxCoeff());
        const analysis::EpochMap map =
            analysis::MakeEpochMap(factor.factor, std::move(factor.nullBasis), gram);
        auto dense = [&](double rate) {
            Eigen::MatrixXd m = Eigen::MatrixXd::Identity(map.rank(), map.rank());
            analysis::ApplyEpochMap(map, rate, m);
            return m;
        };
        for (const double share : {0.5, 1.0, 1.3}) {
            const double rate = share * map.surelyStable;
            double product = 1.0;
            for (Eigen::Index p = 0; p < x.cols(); ++p) {
                product *= 1.0 - rate * x.col(p).squaredNorm();
            }
            EXPECT_NEAR(dense(rate).determinant(), product, 1e-10 * std::max(1.0, product));
        }
        const double grows = map.determinantGrows;
        ASSERT_TRUE(grows > map.surelyStable && grows <= map.surelyGrows);
        const Eigen::VectorXcd values = dense(grows).eigenvalues();
        EXPECT_GT(values.cwiseAbs().maxCoeff(), 1.0);
    }
}

namespace {

analysis::EpochMap mapOf(const Eigen::MatrixXd& x) {
    const Eigen::MatrixXd gram = x.transpose() * x;
    analysis::PivotedCholesky factor =
        analysis::FactorPivotedCholesky(gram, 1e-9 * gram.diagonal().maxCoeff());
    return analysis::MakeEpochMap(factor.factor, std::move(factor.nullBasis), gram);
}

// The radius from the product of the factors I - r c c' formed densely.
double denseRadius(const analysis::EpochMap& map, double rate) {
    Eigen::MatrixXd m = Eigen::MatrixXd::Identity(map.rank(), map.rank());
    for (Eigen::Index p = 0; p < map.patterns(); ++p) {
        m -= rate * (m * map.c.col(p)) * map.c.col(p).transpose();
    }
    return m.eigenvalues().cwiseAbs().maxCoeff();
}

// The search's bracket against a scan of 2000 rates up to where the determinant proves
// growth.
void expectDenseScanAgrees(const Eigen::MatrixXd& x) {
    const analysis::EpochMap map = mapOf(x);
    auto radius = [&](double rate) { return denseRadius(map, rate); };
    const analysis::Crossing crossing = analysis::FirstCrossing(map);
    ASSERT_TRUE(crossing.found);
    const double top = std::min(map.surelyGrows, map.determinantGrows);
    double settled = map.surelyStable;
    for (int k = 1; k <= 2000; ++k) {
        const double rate = map.surelyStable + (top - map.surelyStable) * k / 2000.0;
        if (radius(rate) > 1.0 + 1e-12) {
            EXPECT_LT(crossing.low, rate);
            break;
        }
        settled = rate;
    }
    EXPECT_GE(crossing.low, settled * (1.0 - 1e-3));
    EXPECT_GE(crossing.high, crossing.low);
}

}  // namespace

TEST(Analysis, FirstCrossingAgreesWithADenseScan) {
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> eighths(-8, 8);
    for (const Kind kind : {Kind::Binary, Kind::Bipolar, Kind::Real, Kind::Dependent}) {
        SCOPED_TRACE(static_cast<int>(kind));
        Eigen::MatrixXd x(kind == Kind::Dependent ? 20 : 60, 30);
        for (Eigen::Index k = 0; k < x.size(); ++k) {
            const int v = eighths(rng);
            x(k) = kind == Kind::Binary ? (v > 0) : kind == Kind::Bipolar ? (v > 0 ? 1 : -1) : v;
        }
        expectDenseScanAgrees(x);
    }
    // Patterns whose rates grow in a band below rates that settle again: a step across the
    // band would report the settling rates above it.
    Eigen::MatrixXd narrow(3, 2);
    narrow << 4, -7, -4, 7, -1, 8;
    expectDenseScanAgrees(narrow);
    const std::vector<int> values = {-7, -6, -1, 0, -7, 0,  -2, -4, -3, 2, -4, -3, 5,
                                     -1, 2,  -2, 3, 4,  -3, 4,  -4, -1, 6, 5,  6};
    expectDenseScanAgrees(Eigen::Map<const Eigen::MatrixXi>(values.data(), 5, 5).cast<double>());
    // Lengths within the bracket's width of each other: the bounds alone bracket it.
    Eigen::MatrixXd close(2, 2);
    close << 1, 0, 0, 1.0000001;
    expectDenseScanAgrees(close);
}

// Small random files, about one in eighty with a band that grows below rates that settle:
// no rate scanned between the sure bound and the reported limit grows, and at the top of
// the bracket the radius has reached 1 within the solver's error.
TEST(Analysis, NoRateBelowTheLimitGrowsOnSmallRandomFiles) {
    std::mt19937 rng(21);
    for (int file = 0; file < 300; ++file) {
        Eigen::MatrixXd x(2 + rng() % 5, 2 + rng() % 5);
        for (Eigen::Index k = 0; k < x.size(); ++k) {
            x(k) = static_cast<int>(rng() % 17) - 8;
        }
        if (x.colwise().squaredNorm().minCoeff() == 0.0) {
            continue;
        }
        SCOPED_TRACE(::testing::Message() << "file " << file << "\n" << x);
        const analysis::EpochMap map = mapOf(x);
        const analysis::Crossing crossing = analysis::FirstCrossing(map);
        ASSERT_TRUE(crossing.found);
        for (int k = 0; k <= 200; ++k) {
            const double rate = map.surelyStable + (crossing.low - map.surelyStable) * k / 200.0;
            ASSERT_LT(denseRadius(map, rate), 1.0 + 1e-9) << "rate " << rate;
        }
        EXPECT_GT(denseRadius(map, crossing.high), 1.0 - 1e-6);
    }
}

namespace {

// Twice as many inputs as patterns, each input from `input`; one output, 1 for every third
// pattern and -0.5 for the others.
template <class Input>
core::PublicStuff wideNetwork(int patterns, Input input) {
    support::Rows inputs(static_cast<std::size_t>(patterns));
    support::Rows outputs;
    for (int p = 1; p <= patterns; ++p) {
        for (int i = 1; i <= 2 * patterns; ++i) {
            inputs[static_cast<std::size_t>(p - 1)].push_back(input());
        }
        outputs.push_back({p % 3 == 0 ? 1.0 : -0.5});
    }
    return support::NetworkFromRows(inputs, outputs);
}

}  // namespace

TEST(Analysis, LargestStableRateAmongEigenvaluesCrowdingTheCircle) {
    // Rank 96, binary: near the crossing dozens of eigenvalues lie within 1e-5 of the
    // circle. Rank 128, values +-1, +-1.125, +-1.25: a pair below 1 lies next to a larger
    // eigenvalue above it, which an iterative solver can settle on instead.
    std::mt19937 rng(3);
    for (const bool binary : {true, false}) {
        core::PublicStuff net = wideNetwork(binary ? 96 : 128, [&] {
            const double sign = rng() & 1U ? 1.0 : -1.0;
            return binary ? (sign + 1.0) / 2.0
                          : sign * (1.0 + static_cast<double>(rng() % 3) / 8.0);
        });
        const analysis::Prepared prepared = analysis::Prepare(net, analysis::Limits::none());
        ASSERT_TRUE(prepared.stableRateLow && prepared.stableRateHigh);
        const double low = *prepared.stableRateLow;
        const double high = *prepared.stableRateHigh;
        EXPECT_GE(low, high * (1.0 - 1e-3));
        // Values of at most 1.25 are scaled by 2^0: the map's rates are the file's.
        const analysis::EpochMap& map = prepared.span->live;
        for (int k = 0; k <= 20; ++k) {
            const double rate = map.surelyStable + (low - map.surelyStable) * k / 20.0;
            EXPECT_LT(denseRadius(map, rate), 1.0) << "rate " << rate;
        }
        EXPECT_GT(denseRadius(map, high * (1.0 + 1e-3)), 1.0);
        const analysis::DeltaForecast below = analysis::ForecastDelta(prepared, 0.99 * low);
        EXPECT_TRUE(below.settles && below.radiusKnown);
        EXPECT_NEAR(below.spectralRadius, denseRadius(map, 0.99 * low), below.radiusError);
    }
}

// Above the page's rank limit the first crossing is only bracketed by the bounds, and a
// rate between them gets no verdict; the batch trainer's search has no such limit.
TEST(Analysis, AboveTheRankLimitTheBoundsAreNamed) {
    const int patterns = 64;
    std::mt19937 rng(5);
    core::PublicStuff net = wideNetwork(patterns, [&] { return static_cast<double>(rng() & 1U); });
    analysis::Limits limits;
    limits.maxSpectrumRank = 60;
    const analysis::Prepared prepared = analysis::Prepare(net, limits);
    ASSERT_EQ(prepared.facts.rank, patterns);
    EXPECT_FALSE(prepared.largestStableRate.has_value());
    ASSERT_TRUE(prepared.stableRateLow && prepared.stableRateHigh && prepared.surelyStableBelow);
    EXPECT_EQ(*prepared.stableRateLow, *prepared.surelyStableBelow);
    EXPECT_GT(*prepared.stableRateHigh, *prepared.stableRateLow);
    ASSERT_EQ(prepared.notes.size(), 1u);
    EXPECT_NE(prepared.notes[0].find("rank 64, above the 60 whose epoch map"), std::string::npos)
        << prepared.notes[0];
    // The bounds named in the note are rounded outward, so that the claim stays true.
    const std::string& note = prepared.notes[0];
    const std::size_t between = note.find("It lies between ");
    ASSERT_NE(between, std::string::npos) << note;
    char* end = nullptr;
    const double shownLow = std::strtod(note.c_str() + between + 16, &end);
    ASSERT_EQ(std::string(end, 5), " and ") << note;
    const double shownHigh = std::strtod(end + 5, &end);
    ASSERT_EQ(std::string(end), ".") << note;
    EXPECT_LE(shownLow, *prepared.stableRateLow);
    EXPECT_GE(shownHigh, *prepared.stableRateHigh);
    EXPECT_NEAR(shownHigh, *prepared.stableRateHigh, 1e-3 * *prepared.stableRateHigh);
    // The upper end is a rate that surely grows, checked on the map formed densely.
    EXPECT_GT(denseRadius(prepared.span->live, *prepared.stableRateHigh * (1.0 + 1e-9)), 1.0);

    const double middleRate = 0.5 * (*prepared.stableRateLow + *prepared.stableRateHigh);
    const analysis::DeltaForecast middle = analysis::ForecastDelta(prepared, middleRate);
    EXPECT_FALSE(middle.known || middle.radiusKnown);
    ASSERT_EQ(middle.notes.size(), 1u);
    EXPECT_NE(middle.notes[0].find("distmem-batch --diagnose works it out"), std::string::npos);
    const analysis::DeltaForecast safe =
        analysis::ForecastDelta(prepared, 0.5 * *prepared.stableRateLow);
    EXPECT_TRUE(safe.known && safe.settles);

    const analysis::Prepared batch = analysis::Prepare(net, analysis::Limits::none());
    ASSERT_TRUE(batch.largestStableRate.has_value());
    EXPECT_GE(*batch.largestStableRate, *prepared.stableRateLow);
    EXPECT_LE(*batch.largestStableRate, *prepared.stableRateHigh);
}

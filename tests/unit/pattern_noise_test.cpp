#include <gtest/gtest.h>

#include "views/own_pattern.h"
#include "views/pattern_noise.h"

namespace {

core::PatternTable onePattern(std::initializer_list<double> values) {
    core::PatternTable table(static_cast<int>(values.size()), 1);
    int i = 1;
    for (const double v : values) {
        table(i++, 1) = v;
    }
    return table;
}

std::vector<double> withUnused(std::initializer_list<double> values) {
    std::vector<double> v{0.0};
    v.insert(v.end(), values);
    return v;
}

// Expected values worked out with a separate implementation of the 64-bit Mersenne
// Twister (checked against the standard's 10000th output, 9981545732273789042).
TEST(PatternNoise, FixedSeedFlipsOrNegatesTheSameInputs) {
    const auto binary = onePattern({1, 0, 1, 1, 0, 0, 1, 0, 1, 0});
    ASSERT_EQ(views::ClassifyInputs(binary), views::InputKind::Binary);
    EXPECT_EQ(views::DamagePattern(binary, 1, views::InputKind::Binary, 30, 41),
              withUnused({1, 0, 1, 1, 0, 0, 0, 1, 0, 0}));

    const auto bipolar = onePattern({1, -1, 1, 1, -1, -1, 1, -1, 1, -1});
    ASSERT_EQ(views::ClassifyInputs(bipolar), views::InputKind::Bipolar);
    EXPECT_EQ(views::DamagePattern(bipolar, 1, views::InputKind::Bipolar, 30, 41),
              withUnused({1, -1, 1, 1, -1, -1, -1, 1, -1, -1}));

    EXPECT_EQ(views::DamagePattern(bipolar, 1, views::InputKind::Bipolar, 0, 41),
              withUnused({1, -1, 1, 1, -1, -1, 1, -1, 1, -1}));
    EXPECT_EQ(views::DamagePattern(binary, 1, views::InputKind::Binary, 100, 3),
              withUnused({0, 1, 0, 0, 1, 1, 0, 1, 0, 1}));
}

TEST(PatternNoise, OtherValuesGetGaussianNoiseOfThePatternsRms) {
    const auto real = onePattern({0.5, -1.5, 2.0, 0.0, 1.0});  // rms sqrt(1.5)
    ASSERT_EQ(views::ClassifyInputs(real), views::InputKind::Real);
    const std::vector<double> all = views::DamagePattern(real, 1, views::InputKind::Real, 100, 7);
    const std::vector<double> expected{0.0,
                                       0.7923558840751219,
                                       0.7793285741983147,
                                       1.9748176406618718,
                                       -0.7542318427388086,
                                       1.9271934286308126};
    ASSERT_EQ(all.size(), expected.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        // Within a few ulp: log and cos may differ in the last bit between libraries.
        EXPECT_DOUBLE_EQ(all[i], expected[i]) << "input " << i;
    }
    const std::vector<double> some = views::DamagePattern(real, 1, views::InputKind::Real, 40, 7);
    EXPECT_EQ(some[1], 0.5);
    EXPECT_EQ(some[2], -1.5);
    EXPECT_DOUBLE_EQ(some[3], 2.369783740475262);
}

TEST(OwnPattern, TypedValuesAreReadLikeATrainingFile) {
    const views::TypedPattern ok = views::ParseTypedPattern(" 1,-0.5\t2e1\r\n0 ", 4);
    EXPECT_EQ(ok.problem, "");
    EXPECT_EQ(ok.values, withUnused({1, -0.5, 20, 0}));

    EXPECT_EQ(views::ParseTypedPattern("1 2 3", 2).problem,
              "There are more numbers than input units. Type 2 numbers, one for each input "
              "unit, separated by commas, blanks or tabs as in a .net file.");
    EXPECT_EQ(views::ParseTypedPattern("1", 2).problem,
              "Type 2 numbers, one for each input unit, separated by commas, blanks or tabs as "
              "in a .net file; 1 was typed.");
    EXPECT_EQ(views::ParseTypedPattern("1 x", 2).problem,
              "\"x\" is not a number. Type 2 numbers, one for each input unit, separated by "
              "commas, blanks or tabs as in a .net file.");
    EXPECT_TRUE(views::ParseTypedPattern("1 x", 2).values.empty());
}

}  // namespace

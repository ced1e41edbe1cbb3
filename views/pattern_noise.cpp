#include "views/pattern_noise.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace views {

namespace {

constexpr double kTwoTo53 = 9007199254740992.0;

std::uint64_t draw53(std::mt19937_64& rng) {
    return rng() >> 11;
}

}  // namespace

InputKind ClassifyInputs(const core::PatternTable& inputs) {
    bool binary = true;
    bool bipolar = true;
    for (int p = 1; p <= inputs.patterns() && (binary || bipolar); ++p) {
        const double* x = inputs.pattern(p);
        for (int i = 1; i <= inputs.units(); ++i) {
            binary = binary && (x[i] == 0.0 || x[i] == 1.0);
            bipolar = bipolar && (x[i] == -1.0 || x[i] == 1.0);
        }
    }
    if (binary) {
        return InputKind::Binary;
    }
    return bipolar ? InputKind::Bipolar : InputKind::Real;
}

std::vector<double> DamagePattern(const core::PatternTable& inputs, int p, InputKind kind,
                                  int percent, std::uint64_t seed) {
    const int n = inputs.units();
    const double* x = inputs.pattern(p);
    std::vector<double> damaged(x, x + n + 1);
    damaged[0] = 0.0;
    double rms = 0.0;
    if (kind == InputKind::Real) {
        double squares = 0.0;
        for (int i = 1; i <= n; ++i) {
            squares += x[i] * x[i];
        }
        rms = std::sqrt(squares / static_cast<double>(n));
    }
    std::mt19937_64 rng(seed);
    const std::uint64_t threshold = static_cast<std::uint64_t>(std::clamp(percent, 0, 100)) << 53U;
    for (int i = 1; i <= n; ++i) {
        if (draw53(rng) * 100U >= threshold) {
            continue;
        }
        double& v = damaged[static_cast<std::size_t>(i)];
        switch (kind) {
            case InputKind::Binary:
                v = v == 0.0 ? 1.0 : 0.0;
                break;
            case InputKind::Bipolar:
                v = -v;
                break;
            case InputKind::Real: {
                const double a = static_cast<double>(draw53(rng) + 1) / kTwoTo53;
                const double b = static_cast<double>(draw53(rng)) / kTwoTo53;
                v += rms * (std::sqrt(-2.0 * std::log(a)) * std::cos(2.0 * std::numbers::pi * b));
                break;
            }
        }
    }
    return damaged;
}

}  // namespace views

#include "core/probe_block.h"

#include <cmath>
#include <utility>

#include "core/number_text.h"
#include "core/own_pattern.h"
#include "core/pattern_noise.h"

namespace core {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void appendValue(std::string& out, double v, const NumberSeparators& seps) {
    out += FormatSigned2(v, seps);
    out += '\t';
}

}  // namespace

std::optional<long long> ParseWholeNumber(std::string_view text, long long lo, long long hi,
                                          const NumberSeparators& seps) {
    const ParsedNumber parsed = ParseNumber(text, seps);
    if (parsed.error != NumberTextError::None || parsed.value != std::floor(parsed.value) ||
        parsed.value < static_cast<double>(lo) || parsed.value > static_cast<double>(hi)) {
        return std::nullopt;
    }
    return static_cast<long long>(parsed.value);
}

std::optional<int> ParsePatternNumber(std::string_view text, int numPatterns,
                                      const NumberSeparators& seps) {
    const ParsedNumber parsed = ParseNumber(text, seps);
    if (parsed.error != NumberTextError::None || parsed.value != std::floor(parsed.value) ||
        parsed.value < 1.0 || parsed.value > static_cast<double>(numPatterns)) {
        return std::nullopt;
    }
    return static_cast<int>(parsed.value);
}

namespace {

// The six lines after a recall of input values x (element 0 unused) whose desired output
// is pattern p's: "Pattern: " + name, x, 15 hyphens + hyphenNote, the units' responses, p's
// desired outputs and the units' errors, 45 equals signs.
std::string writeBlock(const PublicStuff& net, std::string_view name, const double* x, int p,
                       std::string_view hyphenNote, const NumberSeparators& seps) {
    std::string out = "Pattern: ";
    out += name;
    out += '\t';
    for (int i = 1; i <= net.NumInputs; ++i) {
        appendValue(out, x[i], seps);
    }
    out += kLineEnd;
    out += "---------------";
    out += hyphenNote;
    out += kLineEnd;

    const auto unit = [&net](int j) -> const UnitRecord& {
        return net.OutputUnits[static_cast<std::size_t>(j)];
    };
    out += "Response (A):\t";
    for (int j = 1; j <= net.NumOutputs; ++j) {
        appendValue(out, unit(j).Activation, seps);
    }
    out += kLineEnd;
    out += "Desired  (D):\t";
    for (int j = 1; j <= net.NumOutputs; ++j) {
        appendValue(out, net.DesiredOutputs(j, p), seps);
    }
    out += kLineEnd;
    out += "Error  (D-A):\t";
    for (int j = 1; j <= net.NumOutputs; ++j) {
        appendValue(out, unit(j).Error, seps);
    }
    out += kLineEnd;
    out += "=============================================";
    out += kLineEnd;
    return out;
}

}  // namespace

ArithStatus ProbePattern(PublicStuff& net, int p, std::string_view shownText,
                         const NumberSeparators& seps, std::string* block) {
    const ArithStatus status = ComputeResponses(net, p);
    if (status != ArithStatus::Ok) {
        return status;
    }
    *block = writeBlock(net, shownText, net.InputPatterns.pattern(p), p, {}, seps);
    return ArithStatus::Ok;
}

ArithStatus ProbeDamagedPattern(PublicStuff& net, int p, std::string_view shownText,
                                const Noise& noise, const NumberSeparators& seps,
                                std::string* block) {
    if (noise.percent <= 0) {
        return ProbePattern(net, p, shownText, seps, block);
    }
    if (!net.NetworkMatchesProblem() || p < 1 || p > net.NumPatterns) {
        return ArithStatus::BadArguments;
    }
    const std::vector<double> x = DamagePattern(
        net.InputPatterns, p, ClassifyInputs(net.InputPatterns), noise.percent, noise.seed);
    const ArithStatus status = ComputeResponsesTo(net, x.data(), p);
    if (status != ArithStatus::Ok) {
        return status;
    }
    std::string name(shownText);
    name += ", " + std::to_string(noise.percent) + "% noise, seed " + std::to_string(noise.seed);
    *block = writeBlock(net, name, x.data(), p, {}, seps);
    return ArithStatus::Ok;
}

ArithStatus ProbeOwnPattern(PublicStuff& net, const std::vector<double>& x,
                            const NumberSeparators& seps, std::string* block) {
    if (!net.NetworkMatchesProblem() || net.NumPatterns < 1 ||
        x.size() != static_cast<std::size_t>(net.NumInputs) + 1) {
        return ArithStatus::BadArguments;
    }
    // The errors need the nearest pattern, which needs the response: recall, choose, and
    // recall again against the chosen pattern (the same sums, so the same response).
    ArithStatus status = ComputeResponsesTo(net, x.data(), 1);
    if (status != ArithStatus::Ok) {
        return status;
    }
    std::vector<double> response(static_cast<std::size_t>(net.NumOutputs) + 1, 0.0);
    for (int j = 1; j <= net.NumOutputs; ++j) {
        response[static_cast<std::size_t>(j)] =
            net.OutputUnits[static_cast<std::size_t>(j)].Activation;
    }
    const int nearest = NearestStoredPattern(net, response.data());
    status = ComputeResponsesTo(net, x.data(), nearest);
    if (status != ArithStatus::Ok) {
        return status;
    }
    *block = writeBlock(net, "own", x.data(), nearest,
                        " nearest stored pattern: " + std::to_string(nearest), seps);
    return ArithStatus::Ok;
}

}  // namespace core

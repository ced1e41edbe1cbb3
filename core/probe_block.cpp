#include "core/probe_block.h"

#include <cmath>
#include <utility>

#include "core/number_text.h"

namespace core {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void appendValue(std::string& out, double v, const NumberSeparators& seps) {
    out += FormatSigned2(v, seps);
    out += '\t';
}

}  // namespace

std::optional<int> ParsePatternNumber(std::string_view text, int numPatterns,
                                      const NumberSeparators& seps) {
    const ParsedNumber parsed = ParseNumber(text, seps);
    if (parsed.error != NumberTextError::None || parsed.value != std::floor(parsed.value) ||
        parsed.value < 1.0 || parsed.value > static_cast<double>(numPatterns)) {
        return std::nullopt;
    }
    return static_cast<int>(parsed.value);
}

ArithStatus ProbePattern(PublicStuff& net, int p, std::string_view shownText,
                         const NumberSeparators& seps, std::string* block) {
    const ArithStatus status = ComputeResponses(net, p);
    if (status != ArithStatus::Ok) {
        return status;
    }
    std::string out = "Pattern: ";
    out += shownText;
    out += '\t';
    for (int i = 1; i <= net.NumInputs; ++i) {
        appendValue(out, net.InputPatterns(i, p), seps);
    }
    out += kLineEnd;
    out += "---------------";
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

    *block = std::move(out);
    return ArithStatus::Ok;
}

}  // namespace core

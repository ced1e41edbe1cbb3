#include "views/probe_block.h"

#include <cmath>
#include <utility>

#include "text/number_text.h"
#include "views/own_pattern.h"
#include "views/pattern_noise.h"

namespace views {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void appendValue(std::string& out, double v, const text::NumberSeparators& seps) {
    out += text::FormatSigned2(v, seps);
    out += '\t';
}

}  // namespace

namespace {

// The six lines after a recall of input values x (element 0 unused) whose desired output
// is d (element 0 unused): "Pattern: " + name, x, 15 hyphens + hyphenNote, the units'
// responses, d and the errors d - response, 45 equals signs.
std::string writeBlock(const core::PublicStuff& net, std::string_view name, const double* x,
                       const double* d, std::string_view hyphenNote,
                       const text::NumberSeparators& seps) {
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

    const auto unit = [&net](int j) -> const core::UnitRecord& {
        return net.OutputUnits[static_cast<std::size_t>(j)];
    };
    out += "Response (A):\t";
    for (int j = 1; j <= net.NumOutputs; ++j) {
        appendValue(out, unit(j).Activation, seps);
    }
    out += kLineEnd;
    out += "Desired  (D):\t";
    for (int j = 1; j <= net.NumOutputs; ++j) {
        appendValue(out, d[j], seps);
    }
    out += kLineEnd;
    out += "Error  (D-A):\t";
    for (int j = 1; j <= net.NumOutputs; ++j) {
        // The subtraction a recall makes for the units' Error.
        appendValue(out, d[j] - unit(j).Activation, seps);
    }
    out += kLineEnd;
    out += "=============================================";
    out += kLineEnd;
    return out;
}

}  // namespace

core::ArithStatus ProbePattern(core::PublicStuff& net, int p, std::string_view shownText,
                               const text::NumberSeparators& seps, std::string* block) {
    const core::ArithStatus status = core::ComputeResponses(net, p);
    if (status != core::ArithStatus::Ok) {
        return status;
    }
    *block = writeBlock(net, shownText, net.InputPatterns.pattern(p), net.DesiredOutputs.pattern(p),
                        {}, seps);
    return core::ArithStatus::Ok;
}

core::ArithStatus ProbeDamagedPattern(core::PublicStuff& net, int p, std::string_view shownText,
                                      const Noise& noise, const text::NumberSeparators& seps,
                                      std::string* block) {
    if (noise.percent <= 0) {
        return ProbePattern(net, p, shownText, seps, block);
    }
    if (!net.NetworkMatchesProblem() || p < 1 || p > net.NumPatterns) {
        return core::ArithStatus::BadArguments;
    }
    const std::vector<double> x = DamagePattern(
        net.InputPatterns, p, ClassifyInputs(net.InputPatterns), noise.percent, noise.seed);
    const core::ArithStatus status = core::ComputeResponsesTo(net, x.data(), p);
    if (status != core::ArithStatus::Ok) {
        return status;
    }
    std::string name(shownText);
    name += ", " + std::to_string(noise.percent) + "% noise, seed " + std::to_string(noise.seed);
    *block = writeBlock(net, name, x.data(), net.DesiredOutputs.pattern(p), {}, seps);
    return core::ArithStatus::Ok;
}

core::ArithStatus ProbeOwnPattern(core::PublicStuff& net, const std::vector<double>& x,
                                  const text::NumberSeparators& seps, std::string* block) {
    if (!net.NetworkMatchesProblem() || net.NumPatterns < 1 ||
        x.size() != static_cast<std::size_t>(net.NumInputs) + 1) {
        return core::ArithStatus::BadArguments;
    }
    // The errors need the nearest pattern, which needs the response: recall, choose, and
    // recall again against the chosen pattern (the same sums, so the same response).
    core::ArithStatus status = core::ComputeResponsesTo(net, x.data(), 1);
    if (status != core::ArithStatus::Ok) {
        return status;
    }
    std::vector<double> response(static_cast<std::size_t>(net.NumOutputs) + 1, 0.0);
    for (int j = 1; j <= net.NumOutputs; ++j) {
        response[static_cast<std::size_t>(j)] =
            net.OutputUnits[static_cast<std::size_t>(j)].Activation;
    }
    const std::vector<int> nearestPatterns = NearestStoredPatterns(net, response.data());
    const int nearest = nearestPatterns.front();
    status = core::ComputeResponsesTo(net, x.data(), nearest);
    if (status != core::ArithStatus::Ok) {
        return status;
    }
    *block = writeBlock(net, "own", x.data(), net.DesiredOutputs.pattern(nearest),
                        " " + NearestPatternsText(nearestPatterns), seps);
    return core::ArithStatus::Ok;
}

core::ArithStatus ProbeTestPattern(core::PublicStuff& net, const core::Problem& tests, int t,
                                   bool recalled, std::string_view fileName,
                                   const text::NumberSeparators& seps, std::string* block) {
    if (!net.NetworkMatchesProblem() || net.NumPatterns < 1 || t < 1 || t > tests.NumPatterns ||
        tests.NumInputs != net.NumInputs || tests.NumOutputs != net.NumOutputs) {
        return core::ArithStatus::BadArguments;
    }
    const double* x = tests.InputPatterns.pattern(t);
    const core::ArithStatus status = core::ComputeResponsesTo(net, x, 1);
    if (status != core::ArithStatus::Ok) {
        return status;
    }
    const std::string name = "test " + std::to_string(t) + " of " + std::string(fileName);
    *block = writeBlock(net, name, x, tests.DesiredOutputs.pattern(t),
                        recalled ? " recalled" : " not recalled", seps);
    return core::ArithStatus::Ok;
}

}  // namespace views

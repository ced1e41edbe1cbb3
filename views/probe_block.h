#pragma once

// What the probe page shows for one pattern: the pattern number read from its box, and the
// six-line block of inputs, response, desired output and error.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/arithmetic.h"
#include "core/network_state.h"
#include "text/number_format.h"

namespace views {

// Recalls pattern p and returns its block: "Pattern: " + shownText, the inputs, 15 hyphens,
// the responses, the desired outputs, the errors, 45 equals signs. Every value is written
// "+###.00;-###.00" and followed by a TAB; every line ends with CR LF.
// Writes only what ComputeResponses writes. Returns its status; on failure *block is
// untouched. p must have come from text::ParsePatternNumber.
[[nodiscard]] core::ArithStatus ProbePattern(core::PublicStuff& net, int p,
                                             std::string_view shownText,
                                             const text::NumberSeparators& seps,
                                             std::string* block);

// How much damage a probe does to its pattern (see core/pattern_noise.h).
struct Noise {
    int percent = 0;  // 0..100
    std::uint64_t seed = 0;
};

// Pattern p with noise.percent % of its inputs damaged: the first line reads
// "Pattern: " + shownText + ", 20% noise, seed 41" and holds the damaged values; the
// response is to them; desired output and error are pattern p's. With percent 0 exactly
// ProbePattern's block. Throws std::bad_alloc.
[[nodiscard]] core::ArithStatus ProbeDamagedPattern(core::PublicStuff& net, int p,
                                                    std::string_view shownText, const Noise& noise,
                                                    const text::NumberSeparators& seps,
                                                    std::string* block);

// The student's own input values x (NumInputs + 1, element 0 unused): the first line reads
// "Pattern: own", desired output and error are those of the stored pattern nearest to the
// response (the lowest-numbered of NearestStoredPatterns), named after the hyphens:
// "--------------- nearest stored pattern: 2", or with several different desired outputs
// equally near "--------------- nearest stored patterns: 2 and 5, equally near".
// Throws std::bad_alloc.
[[nodiscard]] core::ArithStatus ProbeOwnPattern(core::PublicStuff& net,
                                                const std::vector<double>& x,
                                                const text::NumberSeparators& seps,
                                                std::string* block);

// Test pattern t of `tests` (a file with net's numbers of inputs and outputs) through net's
// weights: the first line reads "Pattern: test 3 of extra.net" and holds its inputs, the
// hyphens are marked " recalled" or " not recalled" as `recalled` says (the recall rule of
// views/recall_rule.h); desired output and error are the test pattern's own. Throws
// std::bad_alloc.
[[nodiscard]] core::ArithStatus ProbeTestPattern(core::PublicStuff& net, const core::Problem& tests,
                                                 int t, bool recalled, std::string_view fileName,
                                                 const text::NumberSeparators& seps,
                                                 std::string* block);

}  // namespace views

#pragma once

// What the probe page shows for one pattern: the pattern number read from its box, and the
// six-line block of inputs, response, desired output and error.

#include <optional>
#include <string>
#include <string_view>

#include "core/arithmetic.h"
#include "core/network_state.h"
#include "core/number_format.h"

namespace core {

// The pattern number typed into a box: a whole number from 1 to numPatterns, written as
// ParseNumber reads it (blanks around it, "+2" and "2.0" are fine). Empty otherwise.
std::optional<int> ParsePatternNumber(std::string_view text, int numPatterns,
                                      const NumberSeparators& seps = {});

// Recalls pattern p and returns its block: "Pattern: " + shownText, the inputs, 15 hyphens,
// the responses, the desired outputs, the errors, 45 equals signs. Every value is written
// "+###.00;-###.00" and followed by a TAB; every line ends with CR LF.
// Writes only what ComputeResponses writes. Returns its status; on failure *block is
// untouched. p must have come from ParsePatternNumber.
[[nodiscard]] ArithStatus ProbePattern(PublicStuff& net, int p, std::string_view shownText,
                                       const NumberSeparators& seps, std::string* block);

}  // namespace core

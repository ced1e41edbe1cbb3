#pragma once

// Where a slider of hundredths sits for the number typed into its box.

#include <optional>
#include <string_view>

#include "text/number_format.h"

namespace views {

// The position minimum..maximum of a slider whose position is the value times 100, for the
// number in `text`: rounded half to even, at the slider's end for a number beyond it.
// Empty when `text` is no number, so the slider stays where it is while the student types.
std::optional<int> SliderPositionFor(std::string_view text, const text::NumberSeparators& seps,
                                     int minimum, int maximum);

}  // namespace views

#pragma once

// The one way a text goes into JSON here: a quoted JSON string that is always valid UTF-8.

#include <string>
#include <string_view>

namespace text {

// `value` as a JSON string with its quotes: ill-formed UTF-8 as U+FFFD (text::ValidUtf8),
// '"' and '\' escaped, every control character (below U+0020) as \u00XX.
std::string JsonString(std::string_view value);

}  // namespace text

#pragma once

// Text from outside the program (file names, dates typed on the command line) made into
// valid UTF-8 before it goes into XML, where one bad byte makes a reader refuse the file.

#include <string>
#include <string_view>

namespace text {

// `bytes` with every ill-formed sequence replaced by U+FFFD: stray continuation bytes,
// truncated sequences, overlong forms, surrogates and code points past U+10FFFF. Each
// maximal ill-formed part becomes one U+FFFD, as Unicode recommends; valid text comes back
// unchanged.
std::string ValidUtf8(std::string_view bytes);

}  // namespace text

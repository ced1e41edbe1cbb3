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

// A file name or path from outside (a training file's, an attribute of a network file) as
// the program shows it on a terminal, a page or paper: ill-formed UTF-8 and control
// characters (C0, DEL, C1: newlines and escape sequences among them) each as U+FFFD, cut at
// a character boundary to at most `limit` bytes, and "(no name)" for an empty name.
inline constexpr std::size_t ShownNameLimit = 255;
std::string ShownName(std::string_view name, std::size_t limit = ShownNameLimit);

}  // namespace text

#pragma once

// The file name of a path, as the program names files in messages.

#include <string>
#include <string_view>

namespace files {

// The last part of a path: "tiny.net" of "/a/b/tiny.net"; the whole path when it has no
// slash; "" when it ends in one.
std::string FileNameOf(std::string_view path);

}  // namespace files

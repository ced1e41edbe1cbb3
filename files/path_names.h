#pragma once

// The parts of a path, as the program names files in messages and finds their folders.

#include <string>
#include <string_view>

namespace files {

// The last part of a path: "tiny.net" of "/a/b/tiny.net"; the whole path when it has no
// slash; "" when it ends in one.
std::string FileNameOf(std::string_view path);

// The folder a path names a file in: "/a/b" of "/a/b/tiny.net", "/" of "/tiny.net", and
// "." when the path has no slash.
std::string FolderOf(std::string_view path);

}  // namespace files

#pragma once

// Whether two file names given to the program are one file, so that writing one cannot
// destroy the other. POSIX only.

#include <string>

namespace files {

// True when `a` and `b` name the same file. Names of files that exist are compared by
// device and inode, so a symbolic link, "./" or another hard link is the same file as its
// target. Names that do not exist yet are compared by their folder, resolved to its
// canonical path, plus the name ("out.txt" and "./out.txt"). A name that exists and one
// that does not are different files; so are two names whose folders cannot be resolved,
// unless they are the same text.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace files

#pragma once

// A file's bytes read and written whole, with no translation of line ends.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace support {

// The file's bytes; empty when it cannot be read.
inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace support

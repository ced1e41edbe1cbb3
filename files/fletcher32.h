#pragma once

// HDF5's Fletcher-32 checksum of a chunk, worked out here so that a network file's chunks
// can be read straight from the file and checked without HDF5's filter pipeline and its
// copies. The same value as the library's: 16-bit big-endian words, sums folded with end-
// around carry, the second sum in the high half.

#include <cstddef>
#include <cstdint>

namespace files {

std::uint32_t Fletcher32(const unsigned char* data, std::size_t bytes);

// Whether `bytes` of data followed by their stored checksum (4 bytes, little-endian, as
// HDF5 appends it) agree. HDF5 also accepts the checksum of early writers that swapped the
// two bytes of each half; so does this.
bool Fletcher32Matches(const unsigned char* data, std::size_t bytes);

}  // namespace files

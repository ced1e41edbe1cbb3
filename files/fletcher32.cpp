#include "files/fletcher32.h"

namespace files {

namespace {

// The folded form of a sum: 0 for 0, else its remainder by 65535 in 1..65535, which is what
// repeated (s & 0xffff) + (s >> 16) leaves of a positive sum.
std::uint32_t folded(std::uint64_t sum) {
    return sum == 0 ? 0 : static_cast<std::uint32_t>((sum - 1) % 65535 + 1);
}

// Sums of the words w_1..w_n: s1 = sum w_k, s2 = sum (n - k + 1) w_k = (n + 1) s1 - sum k w_k.
// 64-bit sums hold a block of 2^20 words without overflow; blocks are combined folded, each
// later block adding the earlier s1 once per word.
void sums(const unsigned char* data, std::size_t words, std::uint64_t& s1, std::uint64_t& s2) {
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    std::uint64_t total1 = 0;
    std::uint64_t total2 = 0;
    for (std::size_t start = 0; start < words; start += kBlock) {
        const std::size_t n = words - start < kBlock ? words - start : kBlock;
        const unsigned char* p = data + 2 * start;
        std::uint64_t plain = 0;
        std::uint64_t indexed = 0;
        for (std::size_t k = 0; k < n; ++k) {
            const std::uint32_t word = (std::uint32_t{p[2 * k]} << 8) | p[2 * k + 1];
            plain += word;
            indexed += static_cast<std::uint64_t>(k + 1) * word;
        }
        const std::uint64_t block2 = (n + 1) * plain - indexed;
        total2 = folded(total2) + folded(static_cast<std::uint64_t>(n) % 65535 * folded(total1)) +
                 folded(block2);
        total1 = folded(total1) + folded(plain);
    }
    s1 = total1;
    s2 = total2;
}

}  // namespace

std::uint32_t Fletcher32(const unsigned char* data, std::size_t bytes) {
    std::uint64_t s1 = 0;
    std::uint64_t s2 = 0;
    sums(data, bytes / 2, s1, s2);
    if (bytes % 2 != 0) {
        s1 += std::uint32_t{data[bytes - 1]} << 8;
        s2 += s1;
    }
    return (folded(s2) << 16) | folded(s1);
}

bool Fletcher32Matches(const unsigned char* data, std::size_t bytes) {
    const unsigned char* stored = data + bytes;
    const std::uint32_t expected = std::uint32_t{stored[0]} | (std::uint32_t{stored[1]} << 8) |
                                   (std::uint32_t{stored[2]} << 16) |
                                   (std::uint32_t{stored[3]} << 24);
    const std::uint32_t sum = Fletcher32(data, bytes);
    // Writers before HDF5 1.6.3 stored the two bytes of each half the other way round.
    const std::uint32_t swapped = ((sum & 0x00ff00ffU) << 8) | ((sum >> 8) & 0x00ff00ffU);
    return sum == expected || swapped == expected;
}

}  // namespace files

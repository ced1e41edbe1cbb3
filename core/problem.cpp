#include "core/problem.h"

#include <cstring>

namespace core {

namespace {

std::size_t extent(int count) {
    return static_cast<std::size_t>(count) + 1;
}

}  // namespace

PatternTable::PatternTable(int units, int patterns)
    : m_units(units),
      m_patterns(patterns),
      m_stride(extent(units)),
      m_values(extent(units) * extent(patterns)) {}

bool Problem::Complete() const {
    return NumInputs >= 1 && NumOutputs >= 1 && NumPatterns >= 1 && NumInputs <= MaxCount &&
           NumOutputs <= MaxCount && NumPatterns <= MaxCount &&
           InputPatterns.units() == NumInputs && InputPatterns.patterns() == NumPatterns &&
           DesiredOutputs.units() == NumOutputs && DesiredOutputs.patterns() == NumPatterns;
}

namespace {

// One 64-bit word into the hash: a multiply-xorshift mix, a word at a time.
std::uint64_t mixIn(std::uint64_t hash, std::uint64_t word) {
    hash ^= word + 0x9e3779b97f4a7c15ULL + (hash << 6) + (hash >> 2);
    hash *= 0xbf58476d1ce4e5b9ULL;
    return hash ^ (hash >> 31);
}

std::uint64_t mixTable(std::uint64_t hash, const PatternTable& table, int units, int patterns) {
    if (!table.exists() || table.units() < units || table.patterns() < patterns) {
        return mixIn(hash, 0);
    }
    for (int p = 1; p <= patterns; ++p) {
        const double* values = table.pattern(p);
        for (int u = 1; u <= units; ++u) {
            std::uint64_t bits = 0;
            std::memcpy(&bits, values + u, sizeof bits);
            hash = mixIn(hash, bits);
        }
    }
    return hash;
}

}  // namespace

std::uint64_t ProblemKey(const Problem& problem) {
    std::uint64_t hash = 0x51ed270b27a4f3c1ULL;
    for (const int count : {problem.NumInputs, problem.NumOutputs, problem.NumPatterns}) {
        hash = mixIn(hash, static_cast<std::uint64_t>(static_cast<std::uint32_t>(count)));
    }
    hash = mixTable(hash, problem.InputPatterns, problem.NumInputs, problem.NumPatterns);
    return mixTable(hash, problem.DesiredOutputs, problem.NumOutputs, problem.NumPatterns);
}

}  // namespace core

#pragma once

// The training problem: the numbers of units and patterns, the input patterns and the
// desired outputs, as loaded from a training file. Nothing changes it once it is loaded;
// a file of test patterns is a problem too. Units and patterns are numbered from 1;
// element 0 of every dimension exists and is unused.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/large_page_allocator.h"

namespace core {

// Every count of units or patterns, and every epoch and history counter, fits a 16-bit
// signed integer; larger counts are refused before any loop runs.
inline constexpr int MaxCount = 32767;

// Values of one kind of unit for every pattern, read as Table(unit, pattern).
// Stored pattern by pattern, so one pattern's values are contiguous.
class PatternTable {
  public:
    PatternTable() = default;
    // Zero-filled, units 0..units and patterns 0..patterns. Throws std::bad_alloc.
    PatternTable(int units, int patterns);

    double operator()(int unit, int pattern) const { return m_values[index(unit, pattern)]; }
    double& operator()(int unit, int pattern) { return m_values[index(unit, pattern)]; }
    // Element 0 of pattern p; elements 1..units() follow it.
    const double* pattern(int p) const { return m_values.data() + index(0, p); }

    int units() const { return m_units; }
    int patterns() const { return m_patterns; }
    // Distance from one pattern's element 0 to the next one's.
    std::size_t stride() const { return m_stride; }
    bool exists() const { return !m_values.empty(); }

  private:
    std::size_t index(int unit, int pattern) const {
        return static_cast<std::size_t>(pattern) * m_stride + static_cast<std::size_t>(unit);
    }

    int m_units = 0;
    int m_patterns = 0;
    std::size_t m_stride = 0;
    ZeroedDoubles m_values;
};

struct Problem {
    std::string TrainingFileName;
    std::int32_t NumOutputs = 0;
    std::int32_t SecondHeaderValue = 0;
    std::int32_t NumInputs = 0;
    std::int32_t NumPatterns = 0;
    PatternTable InputPatterns;   // (input unit, pattern)
    PatternTable DesiredOutputs;  // (output unit, pattern)

    // Whether the counts are within 1..MaxCount and both tables have them.
    bool Complete() const;
};

// The problem by its content: the numbers of units and patterns and the bits of every
// input and desired value, hashed. Two problems with one key are the same problem with
// overwhelming likelihood, whatever their files are called.
std::uint64_t ProblemKey(const Problem& problem);

}  // namespace core

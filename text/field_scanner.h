#pragma once

// Finds the fields of a training file: runs of bytes other than the separators space,
// comma, tab, carriage return and line feed. Bytes are classified 64 at a time into a
// bit mask, so finding the next field costs a few bit operations instead of a test per
// byte, and the position of one field never waits for the reading of the one before.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace text {

class FieldScanner {
  public:
    struct Span {
        std::size_t start;  // == text size when no field is left
        std::size_t end;
    };

    explicit FieldScanner(std::string_view text) : m_text(text) {}

    static bool isSeparator(char c) {
        return c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\n';
    }

    // The first field that starts at or after `pos`.
    Span find(std::size_t pos) {
        const std::size_t size = m_text.size();
        // Skip separators, a window at a time.
        std::uint64_t fieldBits = 0;
        for (;;) {
            if (pos >= size) {
                return {size, size};
            }
            moveTo(pos);
            fieldBits = ~m_separators & (~std::uint64_t{0} << (pos - m_base));
            if (fieldBits != 0) {
                break;
            }
            pos = m_base + Window;
        }
        const std::size_t start = m_base + static_cast<std::size_t>(std::countr_zero(fieldBits));
        // The field ends at the next separator, which may lie in a later window.
        std::size_t from = start;
        for (;;) {
            const std::uint64_t ends = m_separators & (~std::uint64_t{0} << (from - m_base));
            if (ends != 0) {
                return {start, m_base + static_cast<std::size_t>(std::countr_zero(ends))};
            }
            from = m_base + Window;
            if (from >= size) {
                return {start, size};
            }
            moveTo(from);
        }
    }

    static constexpr std::size_t Window = 64;

    // Bit k set when byte base + k of `text` is a separator; bytes past the end count as
    // separators.
    static std::uint64_t separatorBits(std::string_view text, std::size_t base) {
        const std::size_t size = text.size();
        if (base + Window <= size) {
            return classifyWhole(text.data() + base);
        }
        if (base >= size) {
            return ~std::uint64_t{0};
        }
        char padded[Window];
        std::memset(padded, ' ', Window);
        std::memcpy(padded, text.data() + base, size - base);
        return classifyWhole(padded);
    }

  private:
    // Makes the window hold `pos`.
    void moveTo(std::size_t pos) {
        const std::size_t base = pos & ~(Window - 1);
        if (base != m_base || !m_valid) {
            m_base = base;
            m_separators = separatorBits(m_text, base);
            m_valid = true;
        }
    }

    static std::uint64_t classifyWhole(const char* bytes) {
        std::uint64_t bits = 0;
#if defined(__SSE2__)
        const __m128i space = _mm_set1_epi8(' ');
        const __m128i comma = _mm_set1_epi8(',');
        const __m128i tab = _mm_set1_epi8('\t');
        const __m128i cr = _mm_set1_epi8('\r');
        const __m128i lf = _mm_set1_epi8('\n');
        for (std::size_t k = 0; k < Window; k += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + k));
            const __m128i hit = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(v, space), _mm_cmpeq_epi8(v, comma)),
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_cmpeq_epi8(v, cr)),
                             _mm_cmpeq_epi8(v, lf)));
            bits |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(hit))) << k;
        }
#else
        for (std::size_t k = 0; k < Window; ++k) {
            bits |= static_cast<std::uint64_t>(isSeparator(bytes[k])) << k;
        }
#endif
        return bits;
    }

    std::string_view m_text;
    std::size_t m_base = 0;
    std::uint64_t m_separators = 0;
    bool m_valid = false;
};

}  // namespace text

#pragma once

// The fields of a training file, read in order: from bytes in memory, or from a file through
// a ChunkReader as they are needed. Internal to the loader.
//
// A field is a run of bytes between blanks, tabs, commas and line ends (text/field_scanner.h);
// a UTF-8 byte order mark at the start is skipped. Besides the next field, the reader
// reads runs of short decimals 64 bytes at a time, says where the last field stood for
// messages, and looks at what follows the fields read (at most kTailLook bytes of it).

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "files/chunk_reader.h"
#include "files/loader.h"
#include "text/field_scanner.h"
#include "text/short_decimal.h"

namespace files {

class TrainingFields {
  public:
    TrainingFields(std::string_view bytes, std::string_view name) : m_bytes(bytes), m_name(name) {
        skipByteOrderMark();
    }
    // Reading from a file as the fields are needed.
    TrainingFields(ChunkReader& reader, std::string_view name,
                   std::string_view kind = "training file")
        : m_name(name), m_kind(kind), m_reader(&reader) {
        refill();
        skipByteOrderMark();
    }

    // The fields still to read: a reader makes room for their text.
    void expectFields(long long fields) {
        if (m_reader != nullptr) {
            m_reader->expectFields(fields);
            setBytes(m_reader->complete());
        }
    }

    // errno of a failed read, 0 when the file was read to its end or as far as needed.
    int readFailure() const { return m_reader != nullptr ? m_reader->failure() : 0; }

    // The next field, or nullopt at the end of the file.
    // Inline: the loader calls it for every field that is no short decimal.
    std::optional<std::string_view> next() {
        text::FieldScanner::Span field = m_scanner.find(m_pos);
        while (field.start == m_bytes.size() && refill()) {
            field = m_scanner.find(m_pos);
        }
        m_pos = field.end;
        if (field.start == m_bytes.size()) {
            return std::nullopt;
        }
        m_fieldStart = field.start;
        return m_bytes.substr(field.start, field.end - field.start);
    }

    // Reads up to `count` fields that are short plain decimals (see text/short_decimal.h),
    // passing each value to `sink`, and stops before the first field of any other kind,
    // which next() and text::ReadDecimalField() then read the careful way. Returns how many it
    // read. The fields are found 64 bytes at a time, so no field waits for the one before it.
    template <class Sink>
    long long readShortDecimals(long long count, Sink&& sink) {
        constexpr std::size_t window = text::FieldScanner::Window;
        const std::size_t size = m_bytes.size();
        long long done = 0;
        std::size_t pos = m_pos;
        std::size_t laterBase = size;  // the window `later` describes, when one does
        std::uint64_t later = 0;
        while (done < count && pos < size) {
            const std::size_t base = pos & ~(window - 1);
            const std::uint64_t separators =
                base == laterBase ? later : text::FieldScanner::separatorBits(m_bytes, base);
            laterBase = base + window;
            later = text::FieldScanner::separatorBits(m_bytes, laterBase);
            // `pos` is never inside a field, so the byte before it counts as a separator.
            const std::uint64_t from = ~std::uint64_t{0} << (pos - base);
            std::uint64_t starts = ~separators & ((separators << 1) | (from & -from)) & from;
            const auto there = static_cast<unsigned>(std::countr_zero(later));
            std::size_t lastEnd = base + window;
            for (; starts != 0 && done < count; starts &= starts - 1) {
                const auto startBit = static_cast<unsigned>(__builtin_ctzll(starts));
                const std::size_t start = base + startBit;
                // The next separator, here or in the next window (64 when there is none);
                // a field longer than that is no short decimal, and is refused below.
                const auto here = static_cast<unsigned>(std::countr_zero(separators >> startBit));
                const std::size_t end = start + (here != 64 ? here : window - startBit + there);
                double value = 0.0;
                if (!text::ReadShortDecimal(m_bytes, start, end, value)) {
                    m_pos = start;
                    return done;
                }
                sink(value);
                ++done;
                m_fieldStart = start;
                lastEnd = end;
            }
            // On past this window, or past its last field when that runs into the next;
            // exactly past the last field when enough were read.
            pos = done == count ? lastEnd : std::max(base + window, lastEnd);
        }
        m_pos = std::min(pos, size);
        return done;
    }

    // Number of fields from here to the end of the file.
    long long countRemaining();

    // Most fields that the rest of the file could hold: each needs a character and, but
    // for the last, a separator.
    long long maxRemaining() const {
        const std::size_t size = m_reader != nullptr ? m_reader->fileSize() : m_bytes.size();
        return static_cast<long long>((std::max(size, m_pos) - m_pos + 1) / 2);
    }

    // "line L, column C" of the field last returned by next().
    std::string place() const;

    // "The training file "NAME" " (or what the file was called instead), the start of every
    // message about the file.
    std::string prefix() const;

    // What follows the fields read so far, looking at no more than kTailLook bytes of it.
    FileTail tail();

  private:
    void skipByteOrderMark() {
        if (m_bytes.substr(0, 3) == "\xEF\xBB\xBF") {
            m_pos = 3;
        }
    }

    void setBytes(std::string_view bytes) {
        m_bytes = bytes;
        m_scanner = text::FieldScanner(m_bytes);
    }

    // More whole fields from the reader; false when there are none.
    bool refill();

    std::string_view m_bytes;
    std::string_view m_name;
    std::string_view m_kind = "training file";  // what messages call the file
    ChunkReader* m_reader = nullptr;
    text::FieldScanner m_scanner{m_bytes};
    std::size_t m_pos = 0;
    std::size_t m_fieldStart = 0;
};

}  // namespace files

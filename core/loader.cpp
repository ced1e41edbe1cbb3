#include "core/loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>

#include "core/field_scanner.h"
#include "core/number_format.h"

namespace core {

namespace {

std::string quoted(std::string_view s) {
    return "\"" + std::string(s) + "\"";
}

// A field shown in a message: at most 40 characters, unprintable bytes as '?'.
std::string printableField(std::string_view field) {
    std::string out;
    const std::size_t shown = std::min<std::size_t>(field.size(), 40);
    for (std::size_t k = 0; k < shown; ++k) {
        const auto c = static_cast<unsigned char>(field[k]);
        out += (c >= 0x20 && c < 0x7f) || c >= 0x80 ? static_cast<char>(c) : '?';
    }
    if (shown < field.size()) {
        out += "...";
    }
    return quoted(out);
}

enum class Field { Ok, NotANumber, TooLarge, NotFinite };

// Decimal exponent of a syntactically valid number that from_chars found out of range:
// positive for overflow, negative for underflow.
long long roughExponent(std::string_view text) {
    std::size_t k = 0;
    if (k < text.size() && (text[k] == '+' || text[k] == '-')) {
        ++k;
    }
    long long integerDigits = 0;
    bool seenNonZero = false;
    for (; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k) {
        seenNonZero |= text[k] != '0';
        integerDigits += seenNonZero ? 1 : 0;
    }
    long long fractionZeros = 0;
    if (k < text.size() && text[k] == '.') {
        for (++k; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k) {
            if (!seenNonZero && text[k] == '0') {
                ++fractionZeros;
            } else {
                seenNonZero = true;
            }
        }
    }
    long long exponent = 0;
    if (k < text.size() && (text[k] == 'e' || text[k] == 'E')) {
        ++k;
        const bool negative = k < text.size() && text[k] == '-';
        if (k < text.size() && (text[k] == '+' || text[k] == '-')) {
            ++k;
        }
        for (; k < text.size() && exponent < 1'000'000'000; ++k) {
            exponent = exponent * 10 + (text[k] - '0');
        }
        exponent = negative ? -exponent : exponent;
    }
    return integerDigits > 0 ? exponent + integerDigits - 1 : exponent - fractionZeros - 1;
}

// The common short field, such as "-0.25" or "1": at most 15 digits and no exponent, so
// the digits form an integer below 2^53 and the scale is a power of ten up to 10^22, both
// exact doubles; one correctly rounded division then gives the same double as any
// correct conversion. Returns false for anything else.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool parseShortDecimal(std::string_view text, double& value) {
    const char* p = text.data();
    const char* const end = p + text.size();
    const bool negative = p != end && *p == '-';
    if (p != end && (*p == '-' || *p == '+')) {
        ++p;
    }
    std::uint64_t mantissa = 0;
    int digits = 0;
    int decimals = 0;
    bool point = false;
    for (; p != end; ++p) {
        const char c = *p;
        if (c >= '0' && c <= '9') {
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
            ++digits;
            decimals += point ? 1 : 0;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (digits == 0 || digits > 15) {
        return false;
    }
    const double magnitude = static_cast<double>(mantissa) / kPowersOfTen[decimals];
    value = negative ? -magnitude : magnitude;
    return true;
}

// Reads one whole field as a decimal number: optional sign, digits with an optional
// decimal point, optional exponent. Underflow gives a signed zero.
Field parseField(std::string_view text, double& value) {
    if (parseShortDecimal(text, value)) {
        return Field::Ok;
    }
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
        if (!digits.empty() && digits.front() == '-') {
            return Field::NotANumber;
        }
    }
    if (digits.empty()) {
        return Field::NotANumber;
    }
    // from_chars also reads "inf", "nan" and "infinity"; those are refused as not finite.
    const char* first = digits.data();
    const char* last = first + digits.size();
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (end != last) {
        return Field::NotANumber;
    }
    if (ec == std::errc::result_out_of_range) {
        if (roughExponent(digits) > 0) {
            return Field::TooLarge;
        }
        value = digits.front() == '-' ? -0.0 : 0.0;
        return Field::Ok;
    }
    if (ec != std::errc()) {
        return Field::NotANumber;
    }
    return std::isfinite(value) ? Field::Ok : Field::NotFinite;
}

// Reads a training file a chunk at a time, so that no more of it is held than the fields
// the header announces need: what follows them is never read.
//
// complete() is the part of the file read so far that ends just after a separator (or the
// whole part read, at the end of the file), so every field in it is whole. A field that
// runs on for more than kLongestField bytes ends the reading there with a '?' appended,
// which makes it no number: a file of one endless field (or no separators at all) costs
// that much memory and no more.
class ChunkReader {
  public:
    static constexpr std::size_t kFirstChunk = 65536;
    static constexpr std::size_t kLongestField = std::size_t{1} << 20;
    // Bytes of text allowed per announced field before the buffer grows by doubling.
    static constexpr std::size_t kBytesPerField = 64;

    // Reads at most this much per read() when someone watches the progress.
    static constexpr std::size_t kWatchedRead = std::size_t{4} << 20;

    ChunkReader(int fd, std::size_t fileSize, LoadProgress* progress)
        : m_fd(fd), m_fileSize(fileSize), m_progress(progress) {}
    ChunkReader(const ChunkReader&) = delete;
    ChunkReader& operator=(const ChunkReader&) = delete;
    ~ChunkReader() {
        if (m_bytes != nullptr) {
            m_allocator.deallocate(m_bytes, m_capacity);
        }
    }

    std::string_view complete() const { return {m_bytes, m_complete}; }
    std::size_t fileSize() const { return std::max(m_fileSize, m_size); }
    int failure() const { return m_failure; }
    bool cancelled() const { return m_cancelled; }
    LoadProgress* progress() const { return m_progress; }

    // Reads on until complete() grows; false at the end of the file or on a read error
    // (failure() then holds errno). Throws std::bad_alloc.
    bool more() {
        while (!m_ended) {
            if (m_capacity - m_size <= 1) {
                grow(std::max(kFirstChunk, m_capacity * 2));
            }
            if (m_progress != nullptr && m_progress->cancel.load(std::memory_order_relaxed)) {
                m_cancelled = true;
                m_ended = true;
                return false;
            }
            // One byte is kept for the '?' that cuts an endless field.
            std::size_t room = m_capacity - 1 - m_size;
            if (m_progress != nullptr) {
                room = std::min(room, kWatchedRead);
            }
            const ssize_t got = ::read(m_fd, m_bytes + m_size, room);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got > 0 && m_progress != nullptr) {
                m_progress->bytesRead.fetch_add(got, std::memory_order_relaxed);
            }
            if (got <= 0) {
                m_failure = got < 0 ? errno : 0;
                m_ended = true;
                const bool grew = m_size > m_complete;
                m_complete = m_size;
                return grew;
            }
            const std::size_t before = m_size;
            m_size += static_cast<std::size_t>(got);
            std::size_t end = m_size;
            while (end > before && !FieldScanner::isSeparator(m_bytes[end - 1])) {
                --end;
            }
            if (end > before) {
                m_complete = end;
                return true;
            }
            if (m_size - m_complete > kLongestField) {
                m_bytes[m_size++] = '?';
                m_ended = true;
                m_complete = m_size;
                return true;
            }
        }
        return false;
    }

    // Room for the text of `fields` more fields, within the file's size, read at once.
    void expectFields(long long fields) {
        const std::size_t wanted =
            m_size +
            std::min<std::size_t>(m_fileSize + 2,
                                  kFirstChunk + static_cast<std::size_t>(fields) * kBytesPerField);
        if (wanted > m_capacity) {
            grow(wanted);
        }
    }

  private:
    void grow(std::size_t capacity) {
        char* bigger = m_allocator.allocate(capacity);
        if (m_bytes != nullptr) {
            std::memcpy(bigger, m_bytes, m_size);
            m_allocator.deallocate(m_bytes, m_capacity);
        }
        m_bytes = bigger;
        m_capacity = capacity;
    }

    int m_fd;
    std::size_t m_fileSize;
    LargePageAllocator<char> m_allocator;
    char* m_bytes = nullptr;
    std::size_t m_capacity = 0;
    std::size_t m_size = 0;
    std::size_t m_complete = 0;
    bool m_ended = false;
    bool m_cancelled = false;
    int m_failure = 0;
    LoadProgress* m_progress;
};

class Parser {
  public:
    Parser(std::string_view bytes, std::string_view name) : m_bytes(bytes), m_name(name) {
        skipByteOrderMark();
    }
    // Reading from a file as the fields are needed.
    Parser(ChunkReader& reader, std::string_view name) : m_name(name), m_reader(&reader) {
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
    std::optional<std::string_view> next() {
        FieldScanner::Span field = m_scanner.find(m_pos);
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

    // Reads up to `count` fields that are short plain decimals (see parseShortDecimal),
    // passing each value to `sink`, and stops before the first field of any other kind,
    // which next() and parseField() then read the careful way. Returns how many it read.
    // The fields are found 64 bytes at a time, so no field waits for the one before it.
    template <class Sink>
    long long readShortDecimals(long long count, Sink&& sink) {
        constexpr std::size_t window = FieldScanner::Window;
        const std::size_t size = m_bytes.size();
        long long done = 0;
        std::size_t pos = m_pos;
        std::size_t laterBase = size;  // the window `later` describes, when one does
        std::uint64_t later = 0;
        while (done < count && pos < size) {
            const std::size_t base = pos & ~(window - 1);
            const std::uint64_t separators =
                base == laterBase ? later : FieldScanner::separatorBits(m_bytes, base);
            laterBase = base + window;
            later = FieldScanner::separatorBits(m_bytes, laterBase);
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
                if (!readShortDecimal(start, end, value)) {
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
    long long countRemaining() {
        long long count = 0;
        while (next()) {
            ++count;
        }
        return count;
    }

    // Most fields that the rest of the file could hold: each needs a character and, but
    // for the last, a separator.
    long long maxRemaining() const {
        const std::size_t size = m_reader != nullptr ? m_reader->fileSize() : m_bytes.size();
        return static_cast<long long>((std::max(size, m_pos) - m_pos + 1) / 2);
    }

    // "line L, column C" of the field last returned by next().
    std::string place() const {
        long long line = 1;
        std::size_t lineStart = 0;
        for (std::size_t k = 0; k < m_fieldStart; ++k) {
            if (m_bytes[k] == '\n') {
                ++line;
                lineStart = k + 1;
            }
        }
        return "line " + FormatInteger(line) + ", column " +
               FormatInteger(static_cast<long long>(m_fieldStart - lineStart) + 1);
    }

    std::string prefix() const { return "The training file " + quoted(m_name) + " "; }

  private:
    void skipByteOrderMark() {
        if (m_bytes.substr(0, 3) == "\xEF\xBB\xBF") {
            m_pos = 3;
        }
    }

    void setBytes(std::string_view bytes) {
        m_bytes = bytes;
        m_scanner = FieldScanner(m_bytes);
    }

    // More whole fields from the reader; false when there are none.
    bool refill() {
        if (m_reader == nullptr) {
            return false;
        }
        if (LoadProgress* progress = m_reader->progress(); progress != nullptr) {
            progress->bytesParsed.store(static_cast<long long>(m_pos), std::memory_order_relaxed);
        }
        if (!m_reader->more()) {
            return false;
        }
        setBytes(m_reader->complete());
        return true;
    }

    // The field [start, end) when it is a short plain decimal.
    bool readShortDecimal(std::size_t start, std::size_t end, double& value) const {
        const bool negative = m_bytes[start] == '-';
        const std::size_t first = start + (negative ? 1 : 0);
        // Eight bytes at a time where that cannot read past the end of the text.
        const std::optional<Digits> read = first + std::size_t{16} <= m_bytes.size()
                                               ? readDigitsEightWide(first, end)
                                               : readDigitsOneByOne(first, end);
        if (!read) {
            return false;
        }
        // Below 2^53, so the signed conversion is exact and needs no care for large values.
        const double magnitude = static_cast<double>(static_cast<std::int64_t>(read->mantissa)) /
                                 kPowersOfTen[read->decimals];
        // The sign bit set without a branch: signs of data are as good as random.
        value = std::bit_cast<double>(std::bit_cast<std::uint64_t>(magnitude) |
                                      (static_cast<std::uint64_t>(negative) << 63));
        return true;
    }

    // A short plain decimal's digits as one integer, and the count of digits after its
    // point.
    struct Digits {
        std::uint64_t mantissa;
        int decimals;
    };

    // The bytes [k, end) as digits with an optional point among them: at most 15 digits,
    // at least one; nullopt otherwise.
    std::optional<Digits> readDigitsOneByOne(std::size_t k, std::size_t end) const {
        std::uint64_t mantissa = 0;
        int digits = 0;
        int decimals = 0;
        bool point = false;
        for (; k < end; ++k) {
            const auto c = static_cast<unsigned char>(m_bytes[k]);
            const unsigned digit = c - static_cast<unsigned char>('0');
            if (digit < 10) {
                mantissa = mantissa * 10 + digit;
                ++digits;
                decimals += point ? 1 : 0;
            } else if (c == '.' && !point) {
                point = true;
            } else {
                return std::nullopt;
            }
        }
        if (digits == 0 || digits > 15) {
            return std::nullopt;
        }
        return Digits{mantissa, decimals};
    }

    // The same, eight bytes at a time, for at most eight digits; longer runs go one byte at
    // a time. Needs 16 bytes of text from `k` on.
    std::optional<Digits> readDigitsEightWide(std::size_t k, std::size_t end) const {
        const char* p = m_bytes.data() + k;
        const std::size_t length = end - k;
        const std::uint64_t head = loadEight(p);
        const int wholeDigits = leadingDigits(head);
        if (static_cast<std::size_t>(wholeDigits) == length) {
            if (wholeDigits == 0) {
                return std::nullopt;
            }
            return Digits{digitValue(head, wholeDigits), 0};
        }
        if (wholeDigits == 8) {
            return readDigitsOneByOne(k, end);
        }
        if (p[wholeDigits] != '.') {
            return std::nullopt;
        }
        // The digits with the point taken out: those before it, then those after it.
        const std::uint64_t before = (std::uint64_t{1} << (8 * wholeDigits)) - 1;
        const std::uint64_t digits = (head & before) | (loadEight(p + 1) & ~before);
        const int count = leadingDigits(digits);
        if (static_cast<std::size_t>(count) + 1 != length) {
            // Eight digits and more to come go one byte at a time; anything else after
            // the digits is no short decimal.
            return count == 8 ? readDigitsOneByOne(k, end) : std::nullopt;
        }
        if (count == 0) {
            return std::nullopt;
        }
        return Digits{digitValue(digits, count), count - wholeDigits};
    }

    static std::uint64_t loadEight(const char* p) {
        std::uint64_t word = 0;
        std::memcpy(&word, p, sizeof word);
        if constexpr (std::endian::native == std::endian::big) {
            word = __builtin_bswap64(word);
        }
        return word;  // the first character in the lowest byte
    }

    // How many of the eight characters, first one first, are digits before another byte.
    static int leadingDigits(std::uint64_t word) {
        constexpr std::uint64_t ones = 0x0101010101010101;
        // A byte's top bit ends up set when it is below '0' or above '9' (or not ASCII).
        const std::uint64_t notDigit =
            ((word + ones * (0x80 - 10 - '0')) | (word - ones * '0') | word) & (ones * 0x80);
        return notDigit == 0 ? 8 : __builtin_ctzll(notDigit) / 8;
    }

    // The value of the first `count` (0..8) digits of the word.
    static std::uint64_t digitValue(std::uint64_t word, int count) {
        if (count == 0) {
            return 0;
        }
        constexpr std::uint64_t ones = 0x0101010101010101;
        // Digit values, the last digit in the top byte and zeros before the first.
        std::uint64_t v = (word - ones * '0') << (8 * (8 - count));
        v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FF;
        v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFF;
        v = (v * 10000 + (v >> 32)) & 0x00000000FFFFFFFF;
        return v;
    }

    std::string_view m_bytes;
    std::string_view m_name;
    ChunkReader* m_reader = nullptr;
    FieldScanner m_scanner{m_bytes};
    std::size_t m_pos = 0;
    std::size_t m_fieldStart = 0;
};

std::string fieldProblem(Field problem, const Parser& parser, std::string_view field,
                         const std::string& where) {
    std::string text = parser.prefix() + "has " + printableField(field) + " at " + parser.place() +
                       " (" + where + ")";
    switch (problem) {
        case Field::NotANumber:
            return text + ", where a number was expected.";
        case Field::TooLarge:
            return text + ", a number too large for double precision.";
        case Field::NotFinite:
            return text + ", which is not a finite number.";
        case Field::Ok:
            break;
    }
    return text + ".";
}

std::string endsEarly(const Parser& parser, const char* block, long long announced,
                      const std::string& madeOf, long long found) {
    return parser.prefix() + "ends early: the " + block + " should hold " +
           FormatInteger(announced) + " numbers" + madeOf + ", but only " + FormatInteger(found) +
           (found == 1 ? " was" : " were") + " found.";
}

std::string countsOf(long long patterns, long long units, const char* unitName) {
    return " (" + FormatInteger(patterns) + " patterns of " + FormatInteger(units) + " " +
           unitName + ")";
}

}  // namespace

namespace {

bool load(PublicStuff& net, Parser& parser, std::string* error) {
    auto fail = [error](std::string message) {
        if (error != nullptr) {
            *error = std::move(message);
        }
        return false;
    };

    // Header: four whole numbers.
    static constexpr std::array<const char*, 4> kHeaderNames = {
        "the number of output units", "the second header value", "the number of input units",
        "the number of patterns"};
    std::array<long long, 4> header{};
    for (std::size_t k = 0; k < header.size(); ++k) {
        const auto field = parser.next();
        if (!field) {
            return fail(endsEarly(parser, "header", 4, "", static_cast<long long>(k)));
        }
        double value = 0.0;
        const Field problem = parseField(*field, value);
        if (problem != Field::Ok) {
            return fail(fieldProblem(problem, parser, *field, kHeaderNames[k]));
        }
        if (value != std::trunc(value)) {
            return fail(parser.prefix() + "gives " + printableField(*field) + " as " +
                        kHeaderNames[k] + " at " + parser.place() + "; it must be a whole number.");
        }
        const bool isCount = k != 1;
        const double low = isCount ? 1.0 : std::numeric_limits<std::int32_t>::min();
        const double high = isCount ? MaxCount : std::numeric_limits<std::int32_t>::max();
        if (value < low || value > high) {
            return fail(parser.prefix() + "gives " + printableField(*field) + " as " +
                        kHeaderNames[k] + " at " + parser.place() + "; it must lie between " +
                        FormatInteger(static_cast<long long>(low)) + " and " +
                        FormatInteger(static_cast<long long>(high)) + ".");
        }
        header[k] = static_cast<long long>(value);
    }
    const auto outputs = static_cast<int>(header[0]);
    const auto inputs = static_cast<int>(header[2]);
    const auto patterns = static_cast<int>(header[3]);
    const long long inputCount = header[3] * header[2];
    const long long outputCount = header[3] * header[0];

    // A header may announce far more numbers than the file holds: find that out from the
    // file's size before allocating anything for the announced sizes.
    if (inputCount + outputCount > parser.maxRemaining()) {
        const long long found = parser.countRemaining();
        if (found < inputCount) {
            return fail(endsEarly(parser, "input patterns", inputCount,
                                  countsOf(patterns, inputs, "input units"), found));
        }
        if (found < inputCount + outputCount) {
            return fail(endsEarly(parser, "desired outputs", outputCount,
                                  countsOf(patterns, outputs, "output units"), found - inputCount));
        }
    }

    PatternTable inputTable;
    PatternTable outputTable;
    try {
        parser.expectFields(inputCount + outputCount);
        inputTable = PatternTable(inputs, patterns);
        outputTable = PatternTable(outputs, patterns);
    } catch (const std::bad_alloc&) {
        return fail(parser.prefix() + "needs more memory than is available for " +
                    FormatInteger(patterns) + " patterns of " + FormatInteger(inputs) +
                    " input and " + FormatInteger(outputs) + " output units.");
    }

    auto readBlock = [&](PatternTable& table, int units, const char* block, const char* unitName,
                         std::string* message) {
        const long long announced = static_cast<long long>(patterns) * units;
        long long read = 0;
        int p = 1;
        int u = 1;
        // Values go to the table pattern by pattern, skipping each pattern's element 0.
        double* out = &table(1, 1);
        auto store = [&](double value) {
            *out = value;
            if (++u > units) {
                u = 1;
                ++p;
                out += 2;
            } else {
                ++out;
            }
        };
        while (read < announced) {
            read += parser.readShortDecimals(announced - read, store);
            if (read == announced) {
                break;
            }
            // A field of any other kind, read the careful way.
            const auto field = parser.next();
            if (!field) {
                *message =
                    endsEarly(parser, block, announced, countsOf(patterns, units, unitName), read);
                return false;
            }
            double value = 0.0;
            const Field problem = parseField(*field, value);
            if (problem != Field::Ok) {
                *message = fieldProblem(problem, parser, *field,
                                        std::string(block) + ", pattern " + FormatInteger(p) +
                                            ", unit " + FormatInteger(u));
                return false;
            }
            store(value);
            ++read;
        }
        return true;
    };
    std::string message;
    if (!readBlock(inputTable, inputs, "input patterns", "input units", &message) ||
        !readBlock(outputTable, outputs, "desired outputs", "output units", &message)) {
        return fail(std::move(message));
    }

    net.NumOutputs = outputs;
    net.SecondHeaderValue = static_cast<std::int32_t>(header[1]);
    net.NumInputs = inputs;
    net.NumPatterns = patterns;
    net.InputPatterns = std::move(inputTable);
    net.DesiredOutputs = std::move(outputTable);
    net.TrainedOnProblem = false;  // whatever the weights are, they were not trained on this
    return true;
}

}  // namespace

bool LoadTrainingData(PublicStuff& net, std::string_view bytes, std::string_view name,
                      std::string* error) {
    Parser parser(bytes, name);
    return load(net, parser, error);
}

void TakeLoadedProblem(PublicStuff& net, PublicStuff& loaded) {
    net.NumOutputs = loaded.NumOutputs;
    net.SecondHeaderValue = loaded.SecondHeaderValue;
    net.NumInputs = loaded.NumInputs;
    net.NumPatterns = loaded.NumPatterns;
    net.InputPatterns = std::move(loaded.InputPatterns);
    net.DesiredOutputs = std::move(loaded.DesiredOutputs);
    net.TrainedOnProblem = false;
}

bool LoadTrainingFile(PublicStuff& net, const std::string& path, std::string* error) {
    return LoadTrainingFile(net, path, error, nullptr);
}

bool LoadTrainingFile(PublicStuff& net, const std::string& path, std::string* error,
                      LoadProgress* progress) {
    auto fail = [&](const char* what, int code) {
        if (error != nullptr) {
            *error = std::string(what) + " the training file " + quoted(path) + ": " +
                     std::strerror(code) + ".";
        }
        return false;
    };
    auto notRegular = [&] {
        if (error != nullptr) {
            *error = "The training file " + quoted(path) +
                     " is not a regular file (a device, FIFO or socket, or a link to one), so "
                     "it is not read. Choose a training file (.net).";
        }
        return false;
    };
    // Looked at before it is opened: opening a FIFO or a device can wait or act.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return fail("Cannot open", errno);
    }
    if (S_ISDIR(info.st_mode)) {
        return fail("Cannot read", EISDIR);
    }
    if (!S_ISREG(info.st_mode)) {
        return notRegular();
    }
    // Non-blocking, in case the name was changed to a FIFO in between.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return fail("Cannot open", errno);
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &info) != 0) {
        return fail("Cannot read", errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return S_ISDIR(info.st_mode) ? fail("Cannot read", EISDIR) : notRegular();
    }

    try {
        const auto size = static_cast<std::size_t>(std::max<off_t>(info.st_size, 0));
        if (progress != nullptr) {
            progress->fileSize.store(static_cast<long long>(size), std::memory_order_relaxed);
        }
        ChunkReader reader(fd, size, progress);
        Parser parser(reader, path);
        const bool loaded = load(net, parser, error);
        if (reader.cancelled()) {
            if (error != nullptr) {
                *error = "Loading the training file " + quoted(path) + " was cancelled.";
            }
            return false;
        }
        if (loaded && progress != nullptr) {
            progress->bytesParsed.store(progress->bytesRead.load(std::memory_order_relaxed),
                                        std::memory_order_relaxed);
        }
        if (!loaded && reader.failure() != 0) {
            return fail("Cannot read", reader.failure());
        }
        return loaded;
    } catch (const std::bad_alloc&) {
        return fail("Cannot read", ENOMEM);
    }
}

}  // namespace core

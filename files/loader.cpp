#include "files/loader.h"

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

#include "files/chunk_reader.h"
#include "text/decimal_field.h"
#include "text/field_scanner.h"
#include "text/number_format.h"
#include "text/short_decimal.h"

namespace files {

namespace {

std::string quoted(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    out += '"';
    out += s;
    out += '"';
    return out;
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

// True when `bytes` has a comma with a digit on either side, as a decimal comma would.
bool hasCommaBetweenDigits(std::string_view bytes) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    for (std::size_t k = bytes.find(','); k != std::string_view::npos; k = bytes.find(',', k + 1)) {
        if (k > 0 && k + 1 < bytes.size() && digit(bytes[k - 1]) && digit(bytes[k + 1])) {
            return true;
        }
    }
    return false;
}

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
        return "line " + text::FormatInteger(line) + ", column " +
               text::FormatInteger(static_cast<long long>(m_fieldStart - lineStart) + 1);
    }

    std::string prefix() const { return "The training file " + quoted(m_name) + " "; }

    // What follows the fields read so far, looking at no more than kTailLook bytes of it.
    FileTail tail() {
        const std::size_t from = m_pos;
        if (m_reader != nullptr) {
            m_reader->stopAt(from + kTailLook);
            while (m_bytes.size() < from + kTailLook && refill()) {
            }
        }
        FileTail found;
        const std::size_t end = std::min(m_bytes.size(), from + kTailLook);
        found.pastLook = m_bytes.size() > end || (m_reader != nullptr && m_reader->cutShort());
        const std::string_view look = m_bytes.substr(0, end);
        text::FieldScanner scanner(look);
        for (auto field = scanner.find(from); field.start < end; field = scanner.find(field.end)) {
            if (field.end == end && found.pastLook) {
                break;  // cut at the edge of the look: it may go on into anything
            }
            double value = 0.0;
            if (text::ReadDecimalField(look.substr(field.start, field.end - field.start), value) ==
                text::DecimalField::Ok) {
                ++found.numbers;
            } else {
                found.text = true;
            }
        }
        if (found.numbers > 0) {
            found.decimalComma = hasCommaBetweenDigits(m_bytes.substr(0, from));
        }
        return found;
    }

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

    std::string_view m_bytes;
    std::string_view m_name;
    ChunkReader* m_reader = nullptr;
    text::FieldScanner m_scanner{m_bytes};
    std::size_t m_pos = 0;
    std::size_t m_fieldStart = 0;
};

std::string fieldProblem(text::DecimalField problem, const Parser& parser, std::string_view field,
                         const std::string& where) {
    std::string text = parser.prefix() + "has " + printableField(field) + " at " + parser.place() +
                       " (" + where + ")";
    switch (problem) {
        case text::DecimalField::NotANumber:
            return text + ", where a number was expected.";
        case text::DecimalField::TooLarge:
            return text + ", a number too large for double precision.";
        case text::DecimalField::NotFinite:
            return text + ", which is not a finite number.";
        case text::DecimalField::Ok:
            break;
    }
    return text + ".";
}

std::string endsEarly(const Parser& parser, const char* block, long long announced,
                      const std::string& madeOf, long long found) {
    return parser.prefix() + "ends early: the " + block + " should hold " +
           text::FormatInteger(announced) + " numbers" + madeOf + ", but only " +
           text::FormatInteger(found) + (found == 1 ? " was" : " were") + " found.";
}

std::string countsOf(long long patterns, long long units, const char* unitName) {
    return " (" + text::FormatInteger(patterns) + " patterns of " + text::FormatInteger(units) +
           " " + unitName + ")";
}

}  // namespace

namespace {

bool load(core::PublicStuff& net, Parser& parser, std::string& error, FileTail* tail) {
    auto fail = [&error](std::string message) {
        error = std::move(message);
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
        const text::DecimalField problem = text::ReadDecimalField(*field, value);
        if (problem != text::DecimalField::Ok) {
            return fail(fieldProblem(problem, parser, *field, kHeaderNames[k]));
        }
        if (value != std::trunc(value)) {
            return fail(parser.prefix() + "gives " + printableField(*field) + " as " +
                        kHeaderNames[k] + " at " + parser.place() + "; it must be a whole number.");
        }
        const bool isCount = k != 1;
        const double low = isCount ? 1.0 : std::numeric_limits<std::int32_t>::min();
        const double high = isCount ? core::MaxCount : std::numeric_limits<std::int32_t>::max();
        if (value < low || value > high) {
            return fail(parser.prefix() + "gives " + printableField(*field) + " as " +
                        kHeaderNames[k] + " at " + parser.place() + "; it must lie between " +
                        text::FormatInteger(static_cast<long long>(low)) + " and " +
                        text::FormatInteger(static_cast<long long>(high)) + ".");
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

    core::PatternTable inputTable;
    core::PatternTable outputTable;
    try {
        parser.expectFields(inputCount + outputCount);
        inputTable = core::PatternTable(inputs, patterns);
        outputTable = core::PatternTable(outputs, patterns);
    } catch (const std::bad_alloc&) {
        return fail(parser.prefix() + "needs more memory than is available for " +
                    text::FormatInteger(patterns) + " patterns of " + text::FormatInteger(inputs) +
                    " input and " + text::FormatInteger(outputs) + " output units.");
    }

    auto readBlock = [&](core::PatternTable& table, int units, const char* block,
                         const char* unitName, std::string* message) {
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
            const text::DecimalField problem = text::ReadDecimalField(*field, value);
            if (problem != text::DecimalField::Ok) {
                *message = fieldProblem(problem, parser, *field,
                                        std::string(block) + ", pattern " + text::FormatInteger(p) +
                                            ", unit " + text::FormatInteger(u));
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
    if (tail != nullptr) {
        *tail = parser.tail();
    }

    net.NumOutputs = outputs;
    net.SecondHeaderValue = static_cast<std::int32_t>(header[1]);
    net.NumInputs = inputs;
    net.NumPatterns = patterns;
    net.InputPatterns = std::move(inputTable);
    net.DesiredOutputs = std::move(outputTable);
    net.TrainedOnProblem = false;  // whatever the weights are, they were not trained on this
    net.UntrainableReason.clear();
    return true;
}

}  // namespace

bool LoadTrainingData(core::PublicStuff& net, std::string_view bytes, std::string_view name,
                      std::string& error) {
    Parser parser(bytes, name);
    return load(net, parser, error, nullptr);
}

bool LoadTrainingData(core::PublicStuff& net, std::string_view bytes, std::string_view name,
                      std::string& error, FileTail& tail) {
    Parser parser(bytes, name);
    return load(net, parser, error, &tail);
}

std::string TailNote(const FileTail& tail) {
    if (tail.text) {
        return "Text after the last desired output was not read.";
    }
    if (tail.numbers == 0) {
        return {};
    }
    const bool one = tail.numbers == 1;
    std::string note = std::string(tail.pastLook ? "At least " : "") +
                       text::FormatInteger(tail.numbers) +
                       (one ? " more number" : " more numbers") +
                       " after the last desired output " + (one ? "was" : "were") + " not read.";
    if (tail.decimalComma) {
        note += " A comma separates numbers (so \"0,5\" is read as 0 and 5).";
    }
    return note;
}

void TakeLoadedProblem(core::PublicStuff& net, core::PublicStuff& loaded) {
    net.NumOutputs = loaded.NumOutputs;
    net.SecondHeaderValue = loaded.SecondHeaderValue;
    net.NumInputs = loaded.NumInputs;
    net.NumPatterns = loaded.NumPatterns;
    net.InputPatterns = std::move(loaded.InputPatterns);
    net.DesiredOutputs = std::move(loaded.DesiredOutputs);
    net.TrainedOnProblem = false;
    net.UntrainableReason.clear();
}

bool LoadTrainingFile(core::PublicStuff& net, const std::string& path, std::string& error) {
    return LoadTrainingFile(net, path, error, nullptr);
}

bool LoadTrainingFile(core::PublicStuff& net, const std::string& path, std::string& error,
                      LoadProgress* progress) {
    return LoadTrainingFile(net, path, error, progress, nullptr);
}

bool LoadTrainingFile(core::PublicStuff& net, const std::string& path, std::string& error,
                      LoadProgress* progress, FileTail* tail) {
    auto fail = [&](const char* what, int code) {
        error = std::string(what) + " the training file " + quoted(path) + ": " +
                std::strerror(code) + ".";
        return false;
    };
    auto notRegular = [&] {
        error = "The training file " + quoted(path) +
                " is not a regular file (a device, FIFO or socket, or a link to one), so "
                "it is not read. Choose a training file (.net).";
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
        const bool loaded = load(net, parser, error, tail);
        if (reader.cancelled()) {
            error = "Loading the training file " + quoted(path) + " was cancelled.";
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

}  // namespace files

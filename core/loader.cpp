#include "core/loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>

#include "core/number_format.h"

namespace core {

namespace {

constexpr std::array<bool, 256> makeSeparatorTable() {
    std::array<bool, 256> table{};
    table[static_cast<unsigned char>(' ')] = true;
    table[static_cast<unsigned char>(',')] = true;
    table[static_cast<unsigned char>('\t')] = true;
    table[static_cast<unsigned char>('\r')] = true;
    table[static_cast<unsigned char>('\n')] = true;
    return table;
}
constexpr std::array<bool, 256> kSeparator = makeSeparatorTable();

bool isSeparator(char c) {
    return kSeparator[static_cast<unsigned char>(c)];
}

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

class Parser {
  public:
    Parser(std::string_view bytes, std::string_view name) : m_bytes(bytes), m_name(name) {
        if (m_bytes.substr(0, 3) == "\xEF\xBB\xBF") {
            m_pos = 3;
        }
    }

    // The next field, or nullopt at the end of the file.
    std::optional<std::string_view> next() {
        const std::size_t size = m_bytes.size();
        while (m_pos < size && isSeparator(m_bytes[m_pos])) {
            ++m_pos;
        }
        if (m_pos == size) {
            return std::nullopt;
        }
        const std::size_t start = m_pos;
        while (m_pos < size && !isSeparator(m_bytes[m_pos])) {
            ++m_pos;
        }
        m_fieldStart = start;
        return m_bytes.substr(start, m_pos - start);
    }

    // The next field when it is a short plain decimal (see parseShortDecimal), read in the
    // same sweep that finds its end; false, with nothing consumed but separators, for
    // anything else, which next() and parseField() then read the careful way.
    bool nextShortDecimal(double& value) {
        const std::size_t size = m_bytes.size();
        while (m_pos < size && isSeparator(m_bytes[m_pos])) {
            ++m_pos;
        }
        std::size_t k = m_pos;
        const bool negative = k < size && m_bytes[k] == '-';
        k += negative ? 1 : 0;
        std::uint64_t mantissa = 0;
        int digits = 0;
        int decimals = 0;
        bool point = false;
        for (; k < size; ++k) {
            const auto c = static_cast<unsigned char>(m_bytes[k]);
            const unsigned digit = c - static_cast<unsigned char>('0');
            if (digit < 10) {
                mantissa = mantissa * 10 + digit;
                ++digits;
                decimals += point ? 1 : 0;
            } else if (c == '.' && !point) {
                point = true;
            } else {
                break;
            }
        }
        if (digits == 0 || digits > 15 || (k < size && !isSeparator(m_bytes[k]))) {
            return false;
        }
        const double magnitude = static_cast<double>(mantissa) / kPowersOfTen[decimals];
        value = negative ? -magnitude : magnitude;
        m_fieldStart = m_pos;
        m_pos = k;
        return true;
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
        return static_cast<long long>((m_bytes.size() - m_pos + 1) / 2);
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
               FormatInteger(static_cast<long long>(m_fieldStart - lineStart + 1));
    }

    std::string prefix() const { return "The training file " + quoted(m_name) + " "; }

  private:
    std::string_view m_bytes;
    std::string_view m_name;
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

bool LoadTrainingData(PublicStuff& net, std::string_view bytes, std::string_view name,
                      std::string* error) {
    auto fail = [error](std::string message) {
        if (error != nullptr) {
            *error = std::move(message);
        }
        return false;
    };
    Parser parser(bytes, name);

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
        for (int p = 1; p <= patterns; ++p) {
            for (int u = 1; u <= units; ++u, ++read) {
                if (parser.nextShortDecimal(table(u, p))) {
                    continue;
                }
                const auto field = parser.next();
                if (!field) {
                    *message = endsEarly(parser, block, announced,
                                         countsOf(patterns, units, unitName), read);
                    return false;
                }
                const Field problem = parseField(*field, table(u, p));
                if (problem != Field::Ok) {
                    *message = fieldProblem(problem, parser, *field,
                                            std::string(block) + ", pattern " + FormatInteger(p) +
                                                ", unit " + FormatInteger(u));
                    return false;
                }
            }
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
    return true;
}

bool LoadTrainingFile(PublicStuff& net, const std::string& path, std::string* error) {
    auto fail = [&](const char* what, int code) {
        if (error != nullptr) {
            *error = std::string(what) + " the training file " + quoted(path) + ": " +
                     std::strerror(code) + ".";
        }
        return false;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return fail("Cannot open", errno);
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return fail("Cannot read", errno);
    }
    if (S_ISDIR(info.st_mode)) {
        return fail("Cannot read", EISDIR);
    }

    // Read the whole file at once; its size may change while it is read, so read on to
    // the end of the file whatever fstat said.
    std::size_t capacity = info.st_size > 0 ? static_cast<std::size_t>(info.st_size) + 1 : 65536;
    std::unique_ptr<char[]> buffer;
    std::size_t size = 0;
    try {
        buffer = std::make_unique_for_overwrite<char[]>(capacity);
        for (;;) {
            if (size == capacity) {
                auto bigger = std::make_unique_for_overwrite<char[]>(capacity * 2);
                std::memcpy(bigger.get(), buffer.get(), size);
                buffer = std::move(bigger);
                capacity *= 2;
            }
            const ssize_t got = ::read(fd, buffer.get() + size, capacity - size);
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return fail("Cannot read", errno);
            }
            if (got == 0) {
                break;
            }
            size += static_cast<std::size_t>(got);
        }
    } catch (const std::bad_alloc&) {
        return fail("Cannot read", ENOMEM);
    }
    return LoadTrainingData(net, std::string_view(buffer.get(), size), path, error);
}

}  // namespace core

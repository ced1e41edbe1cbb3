#include "files/loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "files/chunk_reader.h"
#include "files/training_fields.h"
#include "text/decimal_field.h"
#include "text/number_format.h"
#include "text/utf8.h"

namespace files {

namespace {

// A path or name in a message, as text::ShownName shows it.
std::string quoted(std::string_view s) {
    return '"' + text::ShownName(s, PATH_MAX) + '"';
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

std::string fieldProblem(text::DecimalField problem, const TrainingFields& parser,
                         std::string_view field, const std::string& where) {
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

std::string endsEarly(const TrainingFields& parser, const char* block, long long announced,
                      const std::string& madeOf, long long found) {
    return parser.prefix() + "ends early: the " + block + " should hold " +
           text::FormatInteger(announced) + " numbers" + madeOf + ", but only " +
           text::FormatInteger(found) + (found == 1 ? " was" : " were") + " found.";
}

std::string countsOf(long long patterns, long long units, const char* unitName) {
    return " (" + text::FormatInteger(patterns) +
           (patterns == 1 ? " pattern of " : " patterns of ") + text::FormatInteger(units) + " " +
           std::string(unitName).substr(0, std::strlen(unitName) - (units == 1 ? 1 : 0)) + ")";
}

}  // namespace

namespace {

bool load(core::Problem& loaded, TrainingFields& parser, std::string& error, FileTail* tail) {
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

    loaded.NumOutputs = outputs;
    loaded.SecondHeaderValue = static_cast<std::int32_t>(header[1]);
    loaded.NumInputs = inputs;
    loaded.NumPatterns = patterns;
    loaded.InputPatterns = std::move(inputTable);
    loaded.DesiredOutputs = std::move(outputTable);
    return true;
}

}  // namespace

bool LoadTrainingData(core::Problem& problem, std::string_view bytes, std::string_view name,
                      std::string& error) {
    TrainingFields parser(bytes, name);
    return load(problem, parser, error, nullptr);
}

bool LoadTrainingData(core::Problem& problem, std::string_view bytes, std::string_view name,
                      std::string& error, FileTail& tail) {
    TrainingFields parser(bytes, name);
    return load(problem, parser, error, &tail);
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

void TakeLoadedProblem(core::PublicStuff& net, core::Problem& loaded) {
    net.NumOutputs = loaded.NumOutputs;
    net.SecondHeaderValue = loaded.SecondHeaderValue;
    net.NumInputs = loaded.NumInputs;
    net.NumPatterns = loaded.NumPatterns;
    net.InputPatterns = std::move(loaded.InputPatterns);
    net.DesiredOutputs = std::move(loaded.DesiredOutputs);
    net.TrainedOnProblem = false;  // whatever the weights are, they were not trained on this
    net.UntrainableReason.clear();
}

bool LoadTrainingFile(core::PublicStuff& net, const std::string& path, std::string& error) {
    core::Problem loaded;
    if (!LoadTrainingFile(loaded, path, error)) {
        return false;
    }
    TakeLoadedProblem(net, loaded);
    return true;
}

bool LoadTrainingData(core::PublicStuff& net, std::string_view bytes, std::string_view name,
                      std::string& error) {
    core::Problem loaded;
    if (!LoadTrainingData(loaded, bytes, name, error)) {
        return false;
    }
    TakeLoadedProblem(net, loaded);
    return true;
}

bool LoadTrainingFile(core::Problem& problem, const std::string& path, std::string& error) {
    return LoadTrainingFile(problem, path, error, nullptr);
}

bool LoadTrainingFile(core::Problem& problem, const std::string& path, std::string& error,
                      core::Progress* progress) {
    return LoadTrainingFile(problem, path, error, progress, nullptr);
}

bool LoadTrainingFile(core::Problem& problem, const std::string& path, std::string& error,
                      core::Progress* progress, FileTail* tail, const char* kind) {
    auto fail = [&](const char* what, int code) {
        error = std::string(what) + " the " + kind + " " + quoted(path) + ": " +
                std::strerror(code) + ".";
        return false;
    };
    auto notRegular = [&] {
        error = std::string("The ") + kind + " " + quoted(path) +
                " is not a regular file (a device, FIFO or socket, or a link to one), so "
                "it is not read. Choose a " +
                kind + " (.net).";
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
            progress->setTotal(static_cast<long long>(size));
        }
        ChunkReader reader(fd, size, progress);
        TrainingFields parser(reader, path, kind);
        const bool loaded = load(problem, parser, error, tail);
        if (reader.cancelled()) {
            error = std::string("Loading the ") + kind + " " + quoted(path) + " was cancelled.";
            return false;
        }
        if (loaded && progress != nullptr) {
            progress->setDone(progress->staged());
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

#include "files/network_file_checks.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "text/number_format.h"
#include "text/utf8.h"

namespace files {

namespace {

constexpr std::array<NamedNumber, 11> kNumbers = {{
    {"format_version", &NetworkFileHeader::formatVersion, true},
    {"second_header_value", &NetworkFileHeader::secondHeaderValue, true},
    {"learning_rate", &NetworkFileHeader::learningRate, false},
    {"epochs_trained", &NetworkFileHeader::epochsTrained, true},
    {"total_sse", &NetworkFileHeader::totalSSE, false},
    {"max_epochs", &NetworkFileHeader::maxEpochs, true},
    {"epochs_box", &NetworkFileHeader::epochsBox, true},
    {"printout_interval", &NetworkFileHeader::printoutInterval, true},
    {"min_error", &NetworkFileHeader::minError, false},
    {"max_epochs_rule", &NetworkFileHeader::maxEpochsRule, true},
    {"min_error_rule", &NetworkFileHeader::minErrorRule, true},
}};

constexpr std::array<NamedText, 6> kTexts = {{
    {"format", &NetworkFileHeader::format},
    {"training_file", &NetworkFileHeader::trainingFile},
    {"learning_rule", &NetworkFileHeader::learningRule},
    {"saved_at", &NetworkFileHeader::savedAt},
    {"program_version", &NetworkFileHeader::programVersion},
    {"run_parts", &NetworkFileHeader::runParts},
}};

constexpr std::array<NamedDataset, 4> kDatasets = {{
    {"weights", &NetworkFileHeader::weights},
    {"input_patterns", &NetworkFileHeader::inputPatterns},
    {"desired_outputs", &NetworkFileHeader::desiredOutputs},
    {"sse_history", &NetworkFileHeader::sseHistory},
}};

// A text from the file in a message, as text::ShownName shows it.
std::string quoted(const std::string& s) {
    return '"' + text::ShownName(s) + '"';
}

std::string number(double v) {
    return text::FormatGeneral(v);
}

std::string count(std::uint64_t v) {
    return text::FormatInteger(static_cast<long long>(v));
}

bool isWhole(double v) {
    return std::isfinite(v) && v == std::trunc(v);
}

// "" when the attribute is a whole number in low..high.
std::string wholeIn(const NumberAttribute& a, const char* name, double low, double high) {
    if (isWhole(a.value) && a.value >= low && a.value <= high) {
        return "";
    }
    return "has " + std::string(name) + " = " + number(a.value) +
           "; it must be a whole number from " + number(low) + " to " + number(high) + ".";
}

std::string finiteFrom(const NumberAttribute& a, const char* name, double low) {
    if (std::isfinite(a.value) && a.value >= low) {
        return "";
    }
    return "has " + std::string(name) + " = " + number(a.value) + "; it must be a finite number" +
           (low > -std::numeric_limits<double>::max() ? " of " + number(low) + " or more" : "") +
           ".";
}

std::string checkFormat(const NetworkFileHeader& h) {
    if (!h.format.present) {
        return "has no \"format\" attribute, so it is no network saved by distmem.";
    }
    if (!h.format.isText || h.format.value != NetworkFormatName) {
        return "is no distmem network: its \"format\" attribute is " +
               (h.format.isText ? quoted(h.format.value) : std::string("not a text")) + ", not \"" +
               NetworkFormatName + "\".";
    }
    if (!h.formatVersion.present || !h.formatVersion.isNumber) {
        return "has no \"format_version\" number, so its layout is unknown.";
    }
    const double version = h.formatVersion.value;
    if (isWhole(version) && version > NetworkFormatVersion) {
        return "was saved by a newer distmem (format version " + number(version) +
               "; this one reads version " + count(NetworkFormatVersion) +
               "). Open it with a newer version of the program.";
    }
    if (!isWhole(version) || version < OldestNetworkFormatVersion) {
        return "has format version " + number(version) + ", which no distmem writes.";
    }
    return "";
}

std::string checkPresence(const NetworkFileHeader& h) {
    for (const NamedNumber& n : kNumbers) {
        const NumberAttribute& a = h.*n.member;
        if (!a.present) {
            return "has no \"" + std::string(n.name) + "\" attribute, which the network needs.";
        }
        if (!a.isNumber) {
            return "has an attribute \"" + std::string(n.name) + "\" that is not a number.";
        }
    }
    for (const NamedText& t : kTexts) {
        const TextAttribute& a = h.*t.member;
        const bool optional = t.member == &NetworkFileHeader::savedAt ||
                              t.member == &NetworkFileHeader::programVersion ||
                              t.member == &NetworkFileHeader::runParts;
        if (!a.present && !optional) {
            return "has no \"" + std::string(t.name) + "\" attribute, which the network needs.";
        }
        if (a.present && !a.isText) {
            return "has an attribute \"" + std::string(t.name) +
                   "\" that is not a text of at most " + count(MaxAttributeText) + " bytes.";
        }
    }
    return "";
}

std::string checkSettings(const NetworkFileHeader& h) {
    if (h.trainingFile.value.empty()) {
        return "has an empty \"training_file\" attribute; it names the file the network was "
               "trained on.";
    }
    if (h.learningRule.value != "Hebb" && h.learningRule.value != "Delta") {
        return "has learning_rule = " + quoted(h.learningRule.value) +
               "; it must be \"Hebb\" or \"Delta\".";
    }
    constexpr double int16Low = std::numeric_limits<std::int16_t>::min();
    constexpr double lowest = -std::numeric_limits<double>::max();
    const std::string problems[] = {
        wholeIn(h.secondHeaderValue, "second_header_value",
                std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()),
        finiteFrom(h.learningRate, "learning_rate", 0.0),
        wholeIn(h.epochsTrained, "epochs_trained", 1, core::MaxCount),
        finiteFrom(h.totalSSE, "total_sse", 0.0),
        wholeIn(h.maxEpochs, "max_epochs", 0, core::MaxCount),
        wholeIn(h.maxEpochsRule, "max_epochs_rule", 0, 1),
        wholeIn(h.minErrorRule, "min_error_rule", 0, 1),
        // Continue adds the box to the epochs trained, so a ticked rule needs a box of 1 or more.
        wholeIn(h.epochsBox, "epochs_box", h.maxEpochsRule.value == 1 ? 1 : 0, core::MaxCount),
        wholeIn(h.printoutInterval, "printout_interval", int16Low, core::MaxCount),
        finiteFrom(h.minError, "min_error", lowest),
    };
    for (const std::string& problem : problems) {
        if (!problem.empty()) {
            return problem;
        }
    }
    if (h.runParts.present) {
        std::vector<core::TrainedPart> parts;
        long long epochs = 0;
        const bool read = ParseTrainedParts(h.runParts.value, parts);
        for (const core::TrainedPart& part : parts) {
            epochs += part.epochs;
        }
        if (!read || epochs != static_cast<long long>(h.epochsTrained.value)) {
            return "has run_parts = " + quoted(h.runParts.value) +
                   ", which are not parts (rule, rate, epochs) adding up to the epochs trained.";
        }
    }
    return "";
}

std::string checkDatasetKind(const NetworkFileHeader& h) {
    for (const NamedDataset& d : kDatasets) {
        const DatasetFacts& f = h.*d.member;
        const std::string name = quoted(d.name);
        if (!f.present) {
            return "has no dataset " + name + ".";
        }
        if (!f.isDataset) {
            return "has " + name +
                   " as something other than a dataset in this file (a group, or a link to "
                   "another place).";
        }
        if (!f.float64) {
            return "holds " + name + " in a type other than 64-bit floating point.";
        }
        if (!f.plainStorage) {
            return "stores " + name +
                   " compressed, filtered or in other files; only plain datasets (with "
                   "Fletcher-32 checksums or none) are read.";
        }
        if (f.rank != 2) {
            return "has " + name + " with " + count(static_cast<std::uint64_t>(f.rank)) +
                   " dimensions; it must have 2.";
        }
    }
    return "";
}

std::string shape(const DatasetFacts& f) {
    return count(f.rows) + " by " + count(f.columns);
}

bool isCount(std::uint64_t v) {
    return v >= 1 && v <= static_cast<std::uint64_t>(core::MaxCount);
}

std::string checkShapes(const NetworkFileHeader& h) {
    const DatasetFacts& w = h.weights;
    if (!isCount(w.rows) || !isCount(w.columns)) {
        return "has \"weights\" of " + shape(w) +
               " (output units by input units); each count must lie between 1 and 32767.";
    }
    const DatasetFacts& in = h.inputPatterns;
    if (!isCount(in.rows) || in.columns != w.columns) {
        return "has \"input_patterns\" of " + shape(in) +
               " (patterns by input units), but \"weights\" has " + count(w.columns) +
               " input units; patterns must number between 1 and 32767.";
    }
    const DatasetFacts& out = h.desiredOutputs;
    if (out.rows != in.rows || out.columns != w.rows) {
        return "has \"desired_outputs\" of " + shape(out) + " (patterns by output units), but " +
               count(in.rows) + " patterns and " + count(w.rows) + " output units call for " +
               count(in.rows) + " by " + count(w.rows) + ".";
    }
    const DatasetFacts& history = h.sseHistory;
    if (history.columns != 2 || history.rows > static_cast<std::uint64_t>(core::SSEHistoryRows)) {
        return "has \"sse_history\" of " + shape(history) + "; it must have 2 columns (epoch, " +
               "total SSE) and at most " + count(core::SSEHistoryRows) + " rows.";
    }
    return "";
}

std::string checkBytes(const NetworkFileHeader& h) {
    std::uint64_t total = 0;
    for (const NamedDataset& d : kDatasets) {
        const DatasetFacts& f = h.*d.member;
        const std::uint64_t needed = f.rows * f.columns * sizeof(double);  // <= 8 * 32767^2
        if (!f.allChunksWritten) {
            return "has parts of " + quoted(d.name) +
                   " that were never written: it is truncated or damaged.";
        }
        if (f.storedBytes < needed) {
            return "claims " + count(needed) + " bytes of values for " + quoted(d.name) +
                   ", but holds only " + count(f.storedBytes) + ": it is truncated or damaged.";
        }
        total += needed;
    }
    if (total > h.fileBytes) {
        return "claims " + count(total) + " bytes of values in a file of " + count(h.fileBytes) +
               " bytes: it is truncated or damaged.";
    }
    return "";
}

}  // namespace

std::span<const NamedNumber> NumberAttributes() {
    return kNumbers;
}
std::span<const NamedText> TextAttributes() {
    return kTexts;
}
std::span<const NamedDataset> Datasets() {
    return kDatasets;
}

std::string CheckNetworkHeader(const NetworkFileHeader& header) {
    for (auto* check :
         {checkFormat, checkPresence, checkSettings, checkDatasetKind, checkShapes, checkBytes}) {
        if (std::string problem = check(header); !problem.empty()) {
            return problem;
        }
    }
    return "";
}

NetworkFileHeader DescribeNetwork(const core::PublicStuff& net, const std::string& savedAt,
                                  const std::string& version) {
    NetworkFileHeader h;
    const auto num = [](double v) { return NumberAttribute{true, true, v}; };
    const auto txt = [](const std::string& v) {
        return TextAttribute{true, v.size() <= MaxAttributeText, v};
    };
    h.format = txt(NetworkFormatName);
    h.formatVersion = num(NetworkFormatVersion);
    h.trainingFile = txt(net.TrainingFileName);
    h.secondHeaderValue = num(net.SecondHeaderValue);
    h.learningRule = txt(std::string(core::RuleName(net.LearningRule)));
    h.learningRate = num(net.LearningRate);
    h.epochsTrained = num(net.SweepCount);
    h.totalSSE = num(net.TotalSSE);
    h.maxEpochs = num(net.MaxSweeps);
    h.epochsBox = num(net.SweepsBoxValue);
    h.printoutInterval = num(net.PrintSweeps);
    h.minError = num(net.MinError);
    h.maxEpochsRule = num(net.MaxSweepsRule ? 1 : 0);
    h.minErrorRule = num(net.MinErrorRule ? 1 : 0);
    h.savedAt = txt(savedAt);
    h.programVersion = txt(version);
    // Kept when they fit an attribute; a run of very many parts goes without them.
    if (std::string parts = FormatTrainedParts(net.TrainedParts);
        !parts.empty() && parts.size() <= MaxAttributeText) {
        h.runParts = txt(parts);
    }

    const auto dataset = [&h](std::int64_t rows, std::int64_t columns) {
        DatasetFacts f{true,
                       true,
                       true,
                       true,
                       true,
                       2,
                       static_cast<std::uint64_t>(std::max<std::int64_t>(rows, 0)),
                       static_cast<std::uint64_t>(std::max<std::int64_t>(columns, 0)),
                       0};
        f.storedBytes = f.rows * f.columns * sizeof(double);
        h.fileBytes += f.storedBytes;
        return f;
    };
    h.weights = dataset(net.NumOutputs, net.NumInputs);
    h.inputPatterns = dataset(net.NumPatterns, net.NumInputs);
    h.desiredOutputs = dataset(net.NumPatterns, net.NumOutputs);
    h.sseHistory = dataset(net.SSEHistoryCount, 2);
    return h;
}

void ApplyNetworkHeader(const NetworkFileHeader& header, core::PublicStuff& net) {
    const auto i16 = [](const NumberAttribute& a) { return static_cast<std::int16_t>(a.value); };
    net.NumOutputs = static_cast<std::int32_t>(header.weights.rows);
    net.NumInputs = static_cast<std::int32_t>(header.weights.columns);
    net.NumPatterns = static_cast<std::int32_t>(header.inputPatterns.rows);
    net.SecondHeaderValue = static_cast<std::int32_t>(header.secondHeaderValue.value);
    net.TrainingFileName = header.trainingFile.value;
    net.LearningRule = core::RuleNamed(header.learningRule.value).value_or(core::Rule::Delta);
    net.LearningRate = header.learningRate.value;
    net.SweepCount = i16(header.epochsTrained);
    net.TotalSSE = header.totalSSE.value;
    net.MaxSweeps = i16(header.maxEpochs);
    net.SweepsBoxValue = i16(header.epochsBox);
    net.PrintSweeps = i16(header.printoutInterval);
    net.MinError = header.minError.value;
    net.MaxSweepsRule = header.maxEpochsRule.value == 1;
    net.MinErrorRule = header.minErrorRule.value == 1;
    net.SSEHistoryCount = static_cast<std::int16_t>(header.sseHistory.rows);
    net.FreshStart = 0;  // an opened network trains on from its epochs
    net.TrainedOnProblem = true;
    net.TrainedParts.clear();
    if (header.runParts.present) {
        (void)ParseTrainedParts(header.runParts.value, net.TrainedParts);
    }
}

std::string FormatTrainedParts(const std::vector<core::TrainedPart>& parts) {
    std::string out;
    for (const core::TrainedPart& part : parts) {
        char rate[40];
        const auto end = std::to_chars(rate, rate + sizeof rate, part.rate).ptr;
        out += (out.empty() ? "" : ";") + std::string(core::RuleName(part.rule)) + " " +
               std::string(rate, end) + " " + std::to_string(part.epochs);
    }
    return out;
}

bool ParseTrainedParts(const std::string& text, std::vector<core::TrainedPart>& parts) {
    parts.clear();
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(';', at);
        end = end == std::string::npos ? text.size() : end;
        const std::string piece = text.substr(at, end - at);
        const std::size_t first = piece.find(' ');
        const std::size_t second = piece.find(' ', first + 1);
        if (first == std::string::npos || second == std::string::npos) {
            return false;
        }
        core::TrainedPart part;
        const std::optional<core::Rule> rule = core::RuleNamed(piece.substr(0, first));
        part.rule = rule.value_or(core::Rule::Delta);
        const char* rateEnd = piece.data() + second;
        const auto rate = std::from_chars(piece.data() + first + 1, rateEnd, part.rate);
        const auto epochs =
            std::from_chars(piece.data() + second + 1, piece.data() + piece.size(), part.epochs);
        if (!rule || rate.ptr != rateEnd || rate.ec != std::errc() || !std::isfinite(part.rate) ||
            part.rate < 0.0 || epochs.ptr != piece.data() + piece.size() ||
            epochs.ec != std::errc() || part.epochs < 1 || part.epochs > core::MaxCount) {
            parts.clear();
            return false;
        }
        parts.push_back(part);
        at = end + 1;
    }
    return true;
}

std::string CheckFinitePiece(const char* dataset, std::span<const double> values,
                             std::uint64_t columns, std::uint64_t firstRow,
                             std::uint64_t firstColumn) {
    for (std::size_t k = 0; k < values.size(); ++k) {
        if (!std::isfinite(values[k])) {
            const std::uint64_t row = firstRow + k / columns + 1;
            const std::uint64_t column = firstColumn + k % columns + 1;
            return "has a value that is not a finite number in " + quoted(dataset) + " at row " +
                   count(row) + ", column " + count(column) + ".";
        }
    }
    return "";
}

std::string CheckHistory(std::span<const double> rows, int epochsTrained) {
    double previous = -1.0;
    for (std::size_t k = 0; k + 1 < rows.size(); k += 2) {
        const double epoch = rows[k];
        const double sse = rows[k + 1];
        const std::string row = "has \"sse_history\" row " + count(k / 2 + 1);
        if (!isWhole(epoch) || epoch < 0 || epoch > epochsTrained) {
            return row + " at epoch " + number(epoch) +
                   "; epochs are whole numbers from 0 to the " +
                   count(static_cast<std::uint64_t>(epochsTrained)) + " trained.";
        }
        if (epoch <= previous) {
            return row + " at epoch " + number(epoch) + ", not after the row before it (epoch " +
                   number(previous) + ").";
        }
        if (!std::isfinite(sse) || sse < 0) {
            return row + " with a total SSE of " + number(sse) +
                   "; it must be a finite number of 0 or more.";
        }
        previous = epoch;
    }
    return "";
}

}  // namespace files

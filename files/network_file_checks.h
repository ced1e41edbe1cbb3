#pragma once

// What a network file (.h5) must say about itself before the program takes it, as plain
// values: the opener reads each attribute and dataset shape through HDF5 into a
// NetworkFileHeader, and each piece of values into a buffer, and these functions decide.
// No HDF5 here, so the checks can be fuzzed and tested without a file.
//
// The file: the root group holds the datasets "weights" (outputs x inputs, row j is output
// unit j), "input_patterns" (patterns x inputs), "desired_outputs" (patterns x outputs) and
// "sse_history" (rows x 2: epoch, total SSE), all float64 and row-major, and the attributes
// listed in NumberAttributes() and TextAttributes().

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "core/network_state.h"

namespace files {

inline constexpr const char* NetworkFormatName = "distmem network";
// Version 2 checksums the file's metadata (HDF5 1.10 format bounds) and every chunk of
// values (Fletcher-32); version 1 files, without them, still open.
inline constexpr int NetworkFormatVersion = 2;
inline constexpr int OldestNetworkFormatVersion = 1;
// Longest text attribute taken (the training file's name among them).
inline constexpr std::size_t MaxAttributeText = 4096;

struct NumberAttribute {
    bool present = false;
    bool isNumber = false;  // an integer or floating-point scalar
    double value = 0.0;
};

struct TextAttribute {
    bool present = false;
    bool isText = false;  // a string scalar of at most MaxAttributeText bytes
    std::string value;
};

struct DatasetFacts {
    bool present = false;    // the root group has a member of that name
    bool isDataset = false;  // a dataset in this file (not a group, not a link elsewhere)
    bool float64 = false;    // 64-bit IEEE floating point, either byte order
    // Contiguous, chunked or compact, in this file, with no filter but Fletcher-32 checksums.
    bool plainStorage = false;
    bool allChunksWritten = true;  // chunked: every chunk the shape needs is in the file
    int rank = 0;
    std::uint64_t rows = 0;
    std::uint64_t columns = 0;
    std::uint64_t storedBytes = 0;  // the bytes of values the file holds for it
};

struct NetworkFileHeader {
    std::uint64_t fileBytes = 0;

    TextAttribute format;
    NumberAttribute formatVersion;
    TextAttribute trainingFile;
    NumberAttribute secondHeaderValue;
    TextAttribute learningRule;
    NumberAttribute learningRate;
    NumberAttribute epochsTrained;
    NumberAttribute totalSSE;
    NumberAttribute maxEpochs;
    NumberAttribute epochsBox;
    NumberAttribute printoutInterval;
    NumberAttribute minError;
    NumberAttribute maxEpochsRule;
    NumberAttribute minErrorRule;
    TextAttribute savedAt;
    TextAttribute programVersion;
    TextAttribute runParts;  // "Delta 0.1 200;Hebb 0.1 100", optional

    DatasetFacts weights;
    DatasetFacts inputPatterns;
    DatasetFacts desiredOutputs;
    DatasetFacts sseHistory;
};

// The attributes by name, for the writer and the reader to walk through the same list.
struct NamedNumber {
    const char* name;
    NumberAttribute NetworkFileHeader::*member;
    bool integer;  // written as a 32-bit integer
};
struct NamedText {
    const char* name;
    TextAttribute NetworkFileHeader::*member;
};
struct NamedDataset {
    const char* name;
    DatasetFacts NetworkFileHeader::*member;
};
std::span<const NamedNumber> NumberAttributes();
std::span<const NamedText> TextAttributes();
std::span<const NamedDataset> Datasets();

// What is wrong with the header, as the end of a sentence that starts with the file's name
// ("has no attribute ..."), or "" when the program can take it. Checked in this order: the
// format and its version, every attribute the state needs, then the dataset shapes against
// each other, against 32767, and against the bytes the file holds.
std::string CheckNetworkHeader(const NetworkFileHeader& header);

// The header a save writes for `net` (the datasets' shapes as they will be stored;
// fileBytes and storedBytes as large as the values need). `savedAt` and `version` go in
// as given.
NetworkFileHeader DescribeNetwork(const core::PublicStuff& net, const std::string& savedAt,
                                  const std::string& version);

// The parts of a run as the run_parts attribute holds them: "Delta 0.1 200;Hebb 0.1 100",
// each rate the shortest text that reads back as it; and back, false for any other text.
std::string FormatTrainedParts(const std::vector<core::TrainedPart>& parts);
bool ParseTrainedParts(const std::string& text, std::vector<core::TrainedPart>& parts);

// Sets in `net` what the header gives: the counts, the file name, the training settings,
// the epoch count and total, SSEHistoryCount; FreshStart 0 and TrainedOnProblem true. The
// arrays are left alone. Only for a header CheckNetworkHeader accepted.
void ApplyNetworkHeader(const NetworkFileHeader& header, core::PublicStuff& net);

// The first value of a piece that is infinite or NaN, as "has a value that is not a finite
// number in "weights" at row R, column C (...)", or "". The piece holds `rows` x `columns`
// values row by row, the first at (firstRow, firstColumn) of the dataset; rows and columns
// are counted from 1 in the message.
std::string CheckFinitePiece(const char* dataset, std::span<const double> values,
                             std::uint64_t columns, std::uint64_t firstRow,
                             std::uint64_t firstColumn);

// The SSE history's rows (epoch, total SSE, row by row): epochs whole numbers from 0 to
// `epochsTrained`, rising; totals finite and not negative. "" when they are.
std::string CheckHistory(std::span<const double> rows, int epochsTrained);

}  // namespace files

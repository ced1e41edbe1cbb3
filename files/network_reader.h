#pragma once

// Network files are read in a process of their own (distmem-network-reader), so that a crash
// inside HDF5 on a file no checksum caught ends that process and not the program: the
// program then says the file is damaged and nothing was opened.
//
// The reader writes records to its standard output, which the program reads through a pipe:
// the header, then every piece of every dataset in file order, then "done"; or a refusal. A
// piece's values go through shared memory (descriptor 3 of the reader): two slots of one
// piece each, piece n in slot n % 2, the reader waiting for the program's acknowledgement
// of piece n - 2 (a byte on the reader's standard input) before it fills that slot again.
// The program takes the values from the slot straight into its own arrays, so no second
// copy of the weights is made, and it checks all of it again: a reader that misbehaves is
// refused like a damaged file.

#include <cstdint>
#include <string>
#include <string_view>

#include "files/network_file_checks.h"

namespace files::reader {

enum class RecordType : char { Header = 'H', Piece = 'P', Refusal = 'E', Done = 'D' };

// The position of one piece: dataset index in file order (weights, input_patterns,
// desired_outputs, sse_history), first row and column, rows and columns.
struct PiecePlace {
    std::uint64_t dataset = 0;  // 64 bits: the record is written as it is, with no padding
    std::uint64_t row = 0;
    std::uint64_t column = 0;
    std::uint64_t rows = 0;
    std::uint64_t columns = 0;
};

// The header as bytes and back; Parse is false for bytes no Serialize made.
std::string SerializeHeader(const NetworkFileHeader& header);
bool ParseHeader(std::string_view bytes, NetworkFileHeader& header);

// Writing and reading records on a descriptor, whole, across short reads and writes and
// interruptions. False when the other end went away or an error came.
bool WriteRecord(int fd, RecordType type, std::string_view payload);
bool WritePiece(int fd, const PiecePlace& place);
bool ReadRecordType(int fd, RecordType& type);
bool ReadPayload(int fd, std::string& payload, std::size_t most);
bool ReadPiecePlace(int fd, PiecePlace& place);
bool WriteAcknowledgement(int fd);  // on a socket

bool ReadAcknowledgement(int fd);

// The shared slots: each holds PieceValues doubles, the most one piece has.
inline constexpr std::uint64_t PieceValues = 131072;
inline constexpr std::uint64_t SlotBytes = PieceValues * sizeof(double);
inline constexpr int SharedSlotsDescriptor = 3;

// The reader program's work: reads the network file at `path` in this process and writes
// its records to `out`. Returns the exit status (0 also after a refusal, which is a record).
int WriteNetworkRecords(const std::string& path, int out);

// The reader program's path: $DAM_NETWORK_READER when set (the tests set it), else
// distmem-network-reader beside the running program (the build tree), else
// ../libexec/distmem/distmem-network-reader from the program's folder (installed).
std::string ReaderPath();

}  // namespace files::reader

#include "files/network_reader.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace files::reader {

namespace {

void put(std::string& out, const void* data, std::size_t bytes) {
    out.append(static_cast<const char*>(data), bytes);
}
template <class T>
void put(std::string& out, T value) {
    put(out, &value, sizeof value);
}

class Cursor {
  public:
    explicit Cursor(std::string_view bytes) : m_bytes(bytes) {}
    template <class T>
    bool take(T& value) {
        if (m_bytes.size() - m_at < sizeof value) {
            return false;
        }
        std::memcpy(&value, m_bytes.data() + m_at, sizeof value);
        m_at += sizeof value;
        return true;
    }
    bool take(std::string& text, std::size_t length) {
        if (m_bytes.size() - m_at < length) {
            return false;
        }
        text.assign(m_bytes.substr(m_at, length));
        m_at += length;
        return true;
    }
    bool atEnd() const { return m_at == m_bytes.size(); }

  private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
};

// Moves `bytes` with `move` (::read or ::write) across short counts and interruptions.
template <class Byte, class Move>
bool moveAll(int fd, Byte* at, std::size_t bytes, Move move) {
    while (bytes > 0) {
        const ssize_t n = move(fd, at, bytes);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        at += n;
        bytes -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeAll(int fd, const void* data, std::size_t bytes) {
    return moveAll(fd, static_cast<const char*>(data), bytes, ::write);
}

bool readAll(int fd, void* data, std::size_t bytes) {
    return moveAll(fd, static_cast<char*>(data), bytes, ::read);
}

}  // namespace

std::string SerializeHeader(const NetworkFileHeader& header) {
    std::string out;
    put(out, header.fileBytes);
    for (const NamedText& t : TextAttributes()) {
        const TextAttribute& a = header.*t.member;
        put(out, static_cast<std::uint8_t>(a.present));
        put(out, static_cast<std::uint8_t>(a.isText));
        put(out, static_cast<std::uint32_t>(a.value.size()));
        put(out, a.value.data(), a.value.size());
    }
    for (const NamedNumber& n : NumberAttributes()) {
        const NumberAttribute& a = header.*n.member;
        put(out, static_cast<std::uint8_t>(a.present));
        put(out, static_cast<std::uint8_t>(a.isNumber));
        put(out, a.value);
    }
    for (const NamedDataset& d : Datasets()) {
        const DatasetFacts& f = header.*d.member;
        for (const bool flag :
             {f.present, f.isDataset, f.float64, f.plainStorage, f.allChunksWritten}) {
            put(out, static_cast<std::uint8_t>(flag));
        }
        put(out, static_cast<std::int32_t>(f.rank));
        put(out, f.rows);
        put(out, f.columns);
        put(out, f.storedBytes);
    }
    return out;
}

bool ParseHeader(std::string_view bytes, NetworkFileHeader& header) {
    Cursor in(bytes);
    header = {};
    std::uint8_t a = 0;
    std::uint8_t b = 0;
    if (!in.take(header.fileBytes)) {
        return false;
    }
    for (const NamedText& t : TextAttributes()) {
        TextAttribute& attribute = header.*t.member;
        std::uint32_t length = 0;
        if (!in.take(a) || !in.take(b) || !in.take(length) || length > MaxAttributeText + 1 ||
            !in.take(attribute.value, length)) {
            return false;
        }
        attribute.present = a != 0;
        attribute.isText = b != 0;
    }
    for (const NamedNumber& n : NumberAttributes()) {
        NumberAttribute& attribute = header.*n.member;
        if (!in.take(a) || !in.take(b) || !in.take(attribute.value)) {
            return false;
        }
        attribute.present = a != 0;
        attribute.isNumber = b != 0;
    }
    for (const NamedDataset& d : Datasets()) {
        DatasetFacts& f = header.*d.member;
        bool* flags[] = {&f.present, &f.isDataset, &f.float64, &f.plainStorage,
                         &f.allChunksWritten};
        for (bool* flag : flags) {
            if (!in.take(a)) {
                return false;
            }
            *flag = a != 0;
        }
        std::int32_t rank = 0;
        if (!in.take(rank) || !in.take(f.rows) || !in.take(f.columns) || !in.take(f.storedBytes)) {
            return false;
        }
        f.rank = rank;
    }
    return in.atEnd();
}

bool WriteRecord(int fd, RecordType type, std::string_view payload) {
    const auto length = static_cast<std::uint64_t>(payload.size());
    return writeAll(fd, &type, 1) && writeAll(fd, &length, sizeof length) &&
           writeAll(fd, payload.data(), payload.size());
}

bool WritePiece(int fd, const PiecePlace& place) {
    const RecordType type = RecordType::Piece;
    return writeAll(fd, &type, 1) && writeAll(fd, &place, sizeof place);
}

bool WriteAcknowledgement(int fd) {
    // A socket, so that a reader gone ends in an error here and not in SIGPIPE, which would
    // end the window.
    const char byte = 'A';
    ssize_t sent = 0;
    do {
        sent = ::send(fd, &byte, 1, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent == 1;
}

bool ReadAcknowledgement(int fd) {
    char byte = 0;
    return readAll(fd, &byte, 1) && byte == 'A';
}

bool ReadRecordType(int fd, RecordType& type) {
    char byte = 0;
    if (!readAll(fd, &byte, 1)) {
        return false;
    }
    type = static_cast<RecordType>(byte);
    return true;
}

bool ReadPayload(int fd, std::string& payload, std::size_t most) {
    std::uint64_t length = 0;
    if (!readAll(fd, &length, sizeof length) || length > most) {
        return false;
    }
    payload.resize(static_cast<std::size_t>(length));
    return readAll(fd, payload.data(), payload.size());
}

bool ReadPiecePlace(int fd, PiecePlace& place) {
    return readAll(fd, &place, sizeof place);
}

std::string ReaderPath() {
    if (const char* given = std::getenv("DAM_NETWORK_READER"); given != nullptr && *given != '\0') {
        return given;
    }
    // Beside the program in the build tree; installed, under the library folder next to the
    // program's folder, whatever the prefix.
    std::error_code failed;
    const std::filesystem::path folder =
        std::filesystem::read_symlink("/proc/self/exe", failed).parent_path();
    const std::filesystem::path beside = folder / "distmem-network-reader";
    if (!failed && std::filesystem::exists(beside, failed)) {
        return beside.string();
    }
    return (folder / ".." / "libexec" / "distmem" / "distmem-network-reader").string();
}

}  // namespace files::reader

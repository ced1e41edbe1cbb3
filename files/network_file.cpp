#include "files/network_file.h"

#include <fcntl.h>
#include <hdf5.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "files/fletcher32.h"
#include "files/network_file_checks.h"
#include "files/network_reader.h"
#include "text/run_parts.h"
#include "text/utf8.h"

#ifndef DAM_PROGRAM_VERSION
#define DAM_PROGRAM_VERSION "unknown"
#endif

namespace files {

namespace {

// Chunks go to and from the file as they are in memory: the file's doubles are little-endian.
static_assert(std::endian::native == std::endian::little);

// Values per piece: 1 MB of doubles, a slot of the reader's shared memory.
constexpr std::uint64_t kPieceValues = 131072;
static_assert(kPieceValues == reader::PieceValues);

// A path or name in a message, as text::ShownName shows it.
std::string quoted(const std::string& s) {
    return '"' + text::ShownName(s, PATH_MAX) + '"';
}

// HDF5 is entered by one call of ours at a time; its error stack never reaches the terminal,
// and it never loads filter plugins a crafted file could name.
std::unique_lock<std::mutex> enterLibrary() {
    static std::mutex mutex;
    std::unique_lock<std::mutex> lock(mutex);
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    static const bool quiet = [] {
        H5PLset_loading_state(0);
        return true;
    }();
    (void)quiet;
    return lock;
}

// An HDF5 id closed by its own close function.
class Id {
  public:
    using Close = herr_t (*)(hid_t);
    Id(hid_t id, Close close) : m_id(id), m_close(close) {}
    Id(const Id&) = delete;
    Id& operator=(const Id&) = delete;
    Id(Id&& other) noexcept : m_id(std::exchange(other.m_id, -1)), m_close(other.m_close) {}
    Id& operator=(Id&& other) noexcept {
        if (this != &other) {
            release();
            m_id = std::exchange(other.m_id, -1);
            m_close = other.m_close;
        }
        return *this;
    }
    ~Id() { release(); }
    // Closes now; false when HDF5 reports a failure (for a file: its last writes failed).
    bool release() {
        const bool ok = m_id < 0 || m_close(m_id) >= 0;
        m_id = -1;
        return ok;
    }
    hid_t get() const { return m_id; }
    bool ok() const { return m_id >= 0; }

  private:
    hid_t m_id;
    Close m_close;
};

// A file access list: lock the file where the file system can, go on where it cannot. For
// writing, the format of HDF5 1.10 on, which checksums the superblock, every object header
// and the chunk index, so that damage reads as an error.
Id fileAccess(bool forWriting = false) {
    Id fapl(H5Pcreate(H5P_FILE_ACCESS), H5Pclose);
    if (fapl.ok()) {
        H5Pset_file_locking(fapl.get(), 1, 1);
        if (forWriting) {
            H5Pset_libver_bounds(fapl.get(), H5F_LIBVER_V110, H5F_LIBVER_LATEST);
        }
    }
    return fapl;
}

struct Pieces {
    std::uint64_t rows = 0;
    std::uint64_t columns = 0;
    std::uint64_t pieceRows = 0;
    std::uint64_t pieceColumns = 0;
};

// About 1 MB per piece and chunk; rows come in whole blocks of eight output units.
Pieces piecesOf(std::uint64_t rows, std::uint64_t columns) {
    Pieces p{rows, columns, 0, 0};
    p.pieceColumns = std::max<std::uint64_t>(1, std::min(columns, kPieceValues / 8));
    const std::uint64_t blockRows = kPieceValues / p.pieceColumns / 8 * 8;
    p.pieceRows = std::max<std::uint64_t>(1, std::min(rows, std::max<std::uint64_t>(8, blockRows)));
    return p;
}

// Calls piece(firstRow, firstColumn, rows, columns) for every piece in file order; stops at
// the first that returns false.
template <class Piece>
bool forEachPiece(const Pieces& p, Piece&& piece) {
    for (std::uint64_t r = 0; r < p.rows; r += p.pieceRows) {
        for (std::uint64_t c = 0; c < p.columns; c += p.pieceColumns) {
            if (!piece(r, c, std::min(p.pieceRows, p.rows - r),
                       std::min(p.pieceColumns, p.columns - c))) {
                return false;
            }
        }
    }
    return true;
}

// Selects rows x columns at (row, column) of the dataset's space, and a memory space of as
// many values.
struct Selection {
    Id file{-1, H5Sclose};
    Id memory{-1, H5Sclose};
};
bool select(hid_t dataset, std::uint64_t row, std::uint64_t column, std::uint64_t rows,
            std::uint64_t columns, Selection& s) {
    s.file = Id(H5Dget_space(dataset), H5Sclose);
    const std::array<hsize_t, 2> start = {row, column};
    const std::array<hsize_t, 2> count = {rows, columns};
    // The same shape as the piece: HDF5 then moves a whole chunk without walking it.
    s.memory = Id(H5Screate_simple(2, count.data(), nullptr), H5Sclose);
    return s.file.ok() && s.memory.ok() &&
           H5Sselect_hyperslab(s.file.get(), H5S_SELECT_SET, start.data(), nullptr, count.data(),
                               nullptr) >= 0;
}

// The bytes of `values` doubles, as progress counts them.
long long bytesOf(std::uint64_t values) {
    return static_cast<long long>(values) * static_cast<long long>(sizeof(double));
}

// Moving the values of one dataset piece by piece, with progress and cancel.
class Mover {
  public:
    explicit Mover(core::Progress* progress) : m_progress(progress) {}

    void setTotal(long long bytes) {
        if (m_progress != nullptr) {
            m_progress->setTotal(bytes);
        }
    }
    bool cancelled() const { return core::StopRequested(m_progress); }
    void moved(std::uint64_t values) {
        if (m_progress != nullptr) {
            m_progress->addDone(bytesOf(values));
        }
    }
    double* buffer(std::uint64_t values) {
        if (m_buffer.size() < values) {
            m_buffer.resize(values);
        }
        return m_buffer.data();
    }

  private:
    core::Progress* m_progress;
    std::vector<double> m_buffer;
};

// ---- Saving -------------------------------------------------------------------------------

std::string utcNow() {
    const std::time_t t = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc));
}

bool writeNumber(hid_t file, const char* name, double value, bool integer) {
    const Id space(H5Screate(H5S_SCALAR), H5Sclose);
    const Id attribute(H5Acreate2(file, name, integer ? H5T_STD_I32LE : H5T_IEEE_F64LE, space.get(),
                                  H5P_DEFAULT, H5P_DEFAULT),
                       H5Aclose);
    if (!attribute.ok()) {
        return false;
    }
    if (integer) {
        const auto whole = static_cast<std::int32_t>(value);
        return H5Awrite(attribute.get(), H5T_NATIVE_INT32, &whole) >= 0;
    }
    return H5Awrite(attribute.get(), H5T_NATIVE_DOUBLE, &value) >= 0;
}

// A fixed-length UTF-8 string with room for its terminator.
bool writeText(hid_t file, const char* name, const std::string& value) {
    const Id type(H5Tcopy(H5T_C_S1), H5Tclose);
    if (!type.ok() || H5Tset_size(type.get(), value.size() + 1) < 0 ||
        H5Tset_strpad(type.get(), H5T_STR_NULLTERM) < 0 ||
        H5Tset_cset(type.get(), H5T_CSET_UTF8) < 0) {
        return false;
    }
    const Id space(H5Screate(H5S_SCALAR), H5Sclose);
    const Id attribute(H5Acreate2(file, name, type.get(), space.get(), H5P_DEFAULT, H5P_DEFAULT),
                       H5Aclose);
    return attribute.ok() && H5Awrite(attribute.get(), type.get(), value.c_str()) >= 0;
}

bool writeAttributes(hid_t file, const NetworkFileHeader& header) {
    for (const NamedText& t : TextAttributes()) {
        if (!writeText(file, t.name, (header.*t.member).value)) {
            return false;
        }
    }
    for (const NamedNumber& n : NumberAttributes()) {
        if (!writeNumber(file, n.name, (header.*n.member).value, n.integer)) {
            return false;
        }
    }
    return true;
}

// A float64 dataset of rows x columns; chunked in pieces when it holds any value.
Id createDataset(hid_t file, const char* name, const Pieces& p) {
    const std::array<hsize_t, 2> dims = {p.rows, p.columns};
    const Id space(H5Screate_simple(2, dims.data(), nullptr), H5Sclose);
    const Id create(H5Pcreate(H5P_DATASET_CREATE), H5Pclose);
    if (!space.ok() || !create.ok()) {
        return {-1, H5Dclose};
    }
    if (p.rows > 0 && p.columns > 0) {
        // A checksum per chunk: flipped bits in the values read as an error.
        const std::array<hsize_t, 2> chunk = {p.pieceRows, p.pieceColumns};
        if (H5Pset_chunk(create.get(), 2, chunk.data()) < 0 ||
            H5Pset_fletcher32(create.get()) < 0) {
            return {-1, H5Dclose};
        }
    }
    // Every value is written, so nothing needs filling first.
    H5Pset_fill_time(create.get(), H5D_FILL_TIME_NEVER);
    // No chunk cache: every piece is one whole chunk, which then goes straight to the file.
    const Id access(H5Pcreate(H5P_DATASET_ACCESS), H5Pclose);
    H5Pset_chunk_cache(access.get(), 0, 0, 1.0);
    return {H5Dcreate2(file, name, H5T_IEEE_F64LE, space.get(), H5P_DEFAULT, create.get(),
                       access.get()),
            H5Dclose};
}

// Writes a dataset piece by piece; fill(row, column, rows, columns, buffer) puts the piece's
// values into the buffer row by row.
template <class Fill>
bool writeDataset(hid_t file, const char* name, std::uint64_t rows, std::uint64_t columns,
                  Mover& mover, Fill&& fill) {
    const Pieces p = piecesOf(rows, columns);
    const Id dataset = createDataset(file, name, p);
    if (!dataset.ok()) {
        return false;
    }
    return forEachPiece(p, [&](std::uint64_t r, std::uint64_t c, std::uint64_t nr,
                               std::uint64_t nc) {
        if (mover.cancelled()) {
            return false;
        }
        // Each piece is one chunk, written whole with its checksum worked out here: HDF5's
        // filter would copy it and sum it a byte at a time.
        const std::uint64_t chunkValues = p.pieceRows * p.pieceColumns;
        double* buffer = mover.buffer(chunkValues + 1);
        fill(r, c, nr, nc, buffer);
        if (nr != p.pieceRows || nc != p.pieceColumns) {
            // An edge chunk is stored whole: its rows spread to the chunk's width, zeros beyond.
            for (std::uint64_t row = nr; row-- > 0;) {
                std::copy_backward(buffer + row * nc, buffer + (row + 1) * nc,
                                   buffer + row * p.pieceColumns + nc);
                std::fill(buffer + row * p.pieceColumns + nc, buffer + (row + 1) * p.pieceColumns,
                          0.0);
            }
            std::fill(buffer + nr * p.pieceColumns, buffer + chunkValues, 0.0);
        }
        const std::uint64_t bytes = chunkValues * sizeof(double);
        auto* raw = reinterpret_cast<unsigned char*>(buffer);
        const std::uint32_t sum = Fletcher32(raw, bytes);
        for (int k = 0; k < 4; ++k) {
            raw[bytes + static_cast<std::uint64_t>(k)] = static_cast<unsigned char>(sum >> (8 * k));
        }
        const std::array<hsize_t, 2> offset = {r, c};
        if (H5Dwrite_chunk(dataset.get(), H5P_DEFAULT, 0, offset.data(), bytes + 4, buffer) < 0) {
            return false;
        }
        mover.moved(nr * nc);
        return true;
    });
}

// The weights of output units row .. row+rows-1 (from 0) at inputs column .., each paired
// with its place in `piece`, which holds them row by row: copy(weight, value) for every
// pair. The blocks of eight are walked input by input, so each block is gone through in
// order. Saving and opening both go through here, the one copying out, the other in.
template <class Matrix, class Value, class Copy>
void pairWeights(Matrix& weights, std::uint64_t row, std::uint64_t column, std::uint64_t rows,
                 std::uint64_t columns, Value* piece, const Copy& copy) {
    constexpr int lanes = core::ConnectionMatrix::Lanes;
    for (std::uint64_t first = row; first < row + rows; first += lanes) {
        auto* block = weights.block(static_cast<int>(first / lanes)) + column;
        const auto count = static_cast<int>(std::min<std::uint64_t>(lanes, row + rows - first));
        Value* values = piece + (first - row) * columns;
        for (std::uint64_t i = 0; i < columns; ++i) {
            for (int k = 0; k < count; ++k) {
                copy(block[i].lane[k], values[static_cast<std::uint64_t>(k) * columns + i]);
            }
        }
    }
}

void fillWeights(const core::ConnectionMatrix& weights, std::uint64_t row, std::uint64_t column,
                 std::uint64_t rows, std::uint64_t columns, double* out) {
    pairWeights(weights, row, column, rows, columns, out,
                [](double weight, double& value) { value = weight; });
}

void fillTable(const core::PatternTable& table, std::uint64_t row, std::uint64_t column,
               std::uint64_t rows, std::uint64_t columns, double* out) {
    for (std::uint64_t r = 0; r < rows; ++r) {
        const double* src = table.pattern(static_cast<int>(row + r + 1)) + 1 + column;
        std::copy_n(src, columns, out + r * columns);
    }
}

// Empties a temporary file whose save failed, before HDF5 closes it. A close that cannot
// write (a full disk) leaves the library holding a half-closed file, which crashes it when
// the program ends; with the failed writes' space given back, the close has room to write
// what it must, and the file is discarded afterwards anyway.
void releaseSpace(const std::string& temporaryPath) {
    const int fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0) {
        (void)::ftruncate(fd, 0);
        ::close(fd);
    }
}

bool writeNetwork(hid_t file, const core::PublicStuff& net, const NetworkFileHeader& header,
                  Mover& mover) {
    if (!writeAttributes(file, header)) {
        return false;
    }
    const auto out = static_cast<std::uint64_t>(net.NumOutputs);
    const auto in = static_cast<std::uint64_t>(net.NumInputs);
    const auto patterns = static_cast<std::uint64_t>(net.NumPatterns);
    const auto history = static_cast<std::uint64_t>(net.SSEHistoryCount);
    mover.setTotal(bytesOf(out * in + patterns * (in + out) + history * 2));
    const auto weights = [&net](auto... a) { fillWeights(net.Weights, a...); };
    const auto inputs = [&net](auto... a) { fillTable(net.InputPatterns, a...); };
    const auto desired = [&net](auto... a) { fillTable(net.DesiredOutputs, a...); };
    const auto rows = [&net](std::uint64_t row, std::uint64_t, std::uint64_t count, std::uint64_t,
                             double* buffer) {
        for (std::uint64_t k = 0; k < count; ++k) {
            buffer[2 * k] = net.SSEHistory[row + k + 1][1];
            buffer[2 * k + 1] = net.SSEHistory[row + k + 1][2];
        }
    };
    return writeDataset(file, "weights", out, in, mover, weights) &&
           writeDataset(file, "input_patterns", patterns, in, mover, inputs) &&
           writeDataset(file, "desired_outputs", patterns, out, mover, desired) &&
           writeDataset(file, "sse_history", history, 2, mover, rows);
}

// ---- Opening ------------------------------------------------------------------------------

// A scalar (or single-element) attribute's class and value.
void readAttribute(hid_t file, const char* name, NumberAttribute& out) {
    out = {};
    if (H5Aexists(file, name) <= 0) {
        return;
    }
    out.present = true;
    const Id attribute(H5Aopen(file, name, H5P_DEFAULT), H5Aclose);
    const Id type(H5Aget_type(attribute.get()), H5Tclose);
    const Id space(H5Aget_space(attribute.get()), H5Sclose);
    const H5T_class_t kind = H5Tget_class(type.get());
    if ((kind != H5T_INTEGER && kind != H5T_FLOAT) ||
        H5Sget_simple_extent_npoints(space.get()) != 1) {
        return;
    }
    out.isNumber = H5Aread(attribute.get(), H5T_NATIVE_DOUBLE, &out.value) >= 0;
}

void readAttribute(hid_t file, const char* name, TextAttribute& out) {
    out = {};
    if (H5Aexists(file, name) <= 0) {
        return;
    }
    out.present = true;
    const Id attribute(H5Aopen(file, name, H5P_DEFAULT), H5Aclose);
    const Id type(H5Aget_type(attribute.get()), H5Tclose);
    const Id space(H5Aget_space(attribute.get()), H5Sclose);
    if (H5Tget_class(type.get()) != H5T_STRING || H5Sget_simple_extent_npoints(space.get()) != 1) {
        return;
    }
    if (H5Tis_variable_str(type.get()) > 0) {
        // As h5py writes a str: one pointer, freed by HDF5's own allocator.
        const Id memory(H5Tcopy(H5T_C_S1), H5Tclose);
        H5Tset_size(memory.get(), H5T_VARIABLE);
        H5Tset_cset(memory.get(), H5Tget_cset(type.get()));
        char* value = nullptr;
        if (H5Aread(attribute.get(), memory.get(), static_cast<void*>(&value)) < 0 ||
            value == nullptr) {
            return;
        }
        const std::size_t length = strnlen(value, MaxAttributeText + 1);
        out.value.assign(value, length);
        out.isText = length <= MaxAttributeText;
        H5free_memory(value);
        return;
    }
    const std::size_t size = H5Tget_size(type.get());
    if (size == 0 || size > MaxAttributeText + 1) {
        return;
    }
    std::vector<char> value(size + 1, '\0');
    if (H5Aread(attribute.get(), type.get(), value.data()) < 0) {
        return;
    }
    out.value.assign(value.data(), strnlen(value.data(), size));
    out.isText = out.value.size() <= MaxAttributeText;
}

// Whether the dataset's only filter, if any, is Fletcher-32.
bool onlyChecksums(hid_t create) {
    const int filters = H5Pget_nfilters(create);
    if (filters == 0) {
        return true;
    }
    unsigned flags = 0;
    std::size_t values = 0;
    unsigned config = 0;
    return filters == 1 && H5Pget_filter2(create, 0, &flags, &values, nullptr, 0, nullptr,
                                          &config) == H5Z_FILTER_FLETCHER32;
}

// Whether every chunk of a chunked dataset of `dims` is in the file: one never written
// would read as the fill value, a number the network never had.
bool allChunksWritten(hid_t dataset, hid_t create, const std::array<hsize_t, 2>& dims) {
    std::array<hsize_t, 2> chunk{};
    if (H5Pget_chunk(create, 2, chunk.data()) != 2 || chunk[0] == 0 || chunk[1] == 0) {
        return false;
    }
    const hsize_t needed =
        (dims[0] + chunk[0] - 1) / chunk[0] * ((dims[1] + chunk[1] - 1) / chunk[1]);
    // HDF5 1.10 takes no H5S_ALL here: the whole space, selected.
    const Id space(H5Dget_space(dataset), H5Sclose);
    hsize_t written = 0;
    return space.ok() && H5Dget_num_chunks(dataset, space.get(), &written) >= 0 &&
           written == needed;
}

// What the dataset `name` is, without reading a value.
void readFacts(hid_t file, const char* name, DatasetFacts& out) {
    out = {};
    if (H5Lexists(file, name, H5P_DEFAULT) <= 0) {
        return;
    }
    out.present = true;
    H5L_info_t link{};
    H5O_info_t object{};
    if (H5Lget_info(file, name, &link, H5P_DEFAULT) < 0 || link.type != H5L_TYPE_HARD ||
        H5Oget_info_by_name2(file, name, &object, H5O_INFO_BASIC, H5P_DEFAULT) < 0 ||
        object.type != H5O_TYPE_DATASET) {
        return;
    }
    const Id dataset(H5Dopen2(file, name, H5P_DEFAULT), H5Dclose);
    if (!dataset.ok()) {
        return;
    }
    out.isDataset = true;
    const Id type(H5Dget_type(dataset.get()), H5Tclose);
    out.float64 =
        H5Tequal(type.get(), H5T_IEEE_F64LE) > 0 || H5Tequal(type.get(), H5T_IEEE_F64BE) > 0;
    const Id create(H5Dget_create_plist(dataset.get()), H5Pclose);
    const H5D_layout_t layout = H5Pget_layout(create.get());
    out.plainStorage =
        (layout == H5D_CONTIGUOUS || layout == H5D_CHUNKED || layout == H5D_COMPACT) &&
        onlyChecksums(create.get()) && H5Pget_external_count(create.get()) == 0;
    const Id space(H5Dget_space(dataset.get()), H5Sclose);
    out.rank = H5Sget_simple_extent_ndims(space.get());
    if (out.rank == 2) {
        std::array<hsize_t, 2> dims{};
        H5Sget_simple_extent_dims(space.get(), dims.data(), nullptr);
        out.rows = dims[0];
        out.columns = dims[1];
        if (layout == H5D_CHUNKED) {
            out.allChunksWritten = allChunksWritten(dataset.get(), create.get(), dims);
        }
    }
    out.storedBytes = H5Dget_storage_size(dataset.get());
}

NetworkFileHeader readHeader(hid_t file, std::uint64_t fileBytes) {
    NetworkFileHeader header;
    header.fileBytes = fileBytes;
    for (const NamedText& t : TextAttributes()) {
        readAttribute(file, t.name, header.*t.member);
    }
    for (const NamedNumber& n : NumberAttributes()) {
        readAttribute(file, n.name, header.*n.member);
    }
    for (const NamedDataset& d : Datasets()) {
        readFacts(file, d.name, header.*d.member);
    }
    return header;
}

// NotFinite and Refused leave the sentence in `problem`; ReaderFailed: the reader process
// ended or wrote what no reader writes.
enum class ReadEnd { Done, Unreadable, NotFinite, Cancelled, Refused, ReaderFailed };

using PieceTake =
    std::function<void(std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t, const double*)>;

// Whether the chunks of `dataset` can be read straight from the file and checked here:
// little-endian doubles in chunks of the pieces read, Fletcher-32 the one filter. That
// skips HDF5's filter pipeline and its copy of every chunk, which halved the speed of an
// open; other files (version 1, other writers) go through HDF5's reading.
bool readsChunksDirectly(hid_t dataset, const Pieces& p) {
    const Id create(H5Dget_create_plist(dataset), H5Pclose);
    const Id type(H5Dget_type(dataset), H5Tclose);
    std::array<hsize_t, 2> chunk{};
    unsigned flags = 0;
    std::size_t values = 0;
    unsigned config = 0;
    return create.ok() && type.ok() && H5Tequal(type.get(), H5T_IEEE_F64LE) > 0 &&
           H5Pget_layout(create.get()) == H5D_CHUNKED && H5Pget_nfilters(create.get()) == 1 &&
           H5Pget_filter2(create.get(), 0, &flags, &values, nullptr, 0, nullptr, &config) ==
               H5Z_FILTER_FLETCHER32 &&
           H5Pget_chunk(create.get(), 2, chunk.data()) == 2 && chunk[0] == p.pieceRows &&
           chunk[1] == p.pieceColumns;
}

// Reads the chunk at (row, column) into `buffer` (room for a whole chunk and its checksum)
// and checks its checksum; the piece's rows x columns values then stand at its start.
bool readChunk(hid_t dataset, const Pieces& p, std::uint64_t row, std::uint64_t column,
               std::uint64_t rows, std::uint64_t columns, double* buffer) {
    const std::array<hsize_t, 2> offset = {row, column};
    const std::uint64_t bytes = p.pieceRows * p.pieceColumns * sizeof(double);
    hsize_t stored = 0;
    std::uint32_t skipped = 0;
    if (H5Dget_chunk_storage_size(dataset, offset.data(), &stored) < 0 || stored != bytes + 4 ||
        H5Dread_chunk(dataset, H5P_DEFAULT, offset.data(), &skipped, buffer) < 0 || skipped != 0 ||
        !Fletcher32Matches(reinterpret_cast<const unsigned char*>(buffer), bytes)) {
        return false;
    }
    // An edge chunk is stored whole; its piece's rows are the first, each cut to `columns`.
    for (std::uint64_t r = 1; r < rows && columns != p.pieceColumns; ++r) {
        std::copy_n(buffer + r * p.pieceColumns, columns, buffer + r * columns);
    }
    return true;
}

// Reads a dataset piece by piece; each piece is checked, then take(row, column, rows,
// columns, buffer) stores it.
template <class Take>
ReadEnd readDataset(hid_t file, const char* name, std::uint64_t rows, std::uint64_t columns,
                    Mover& mover, std::string& problem, Take&& take) {
    const Id access(H5Pcreate(H5P_DATASET_ACCESS), H5Pclose);
    H5Pset_chunk_cache(access.get(), 0, 0, 1.0);
    const Id dataset(H5Dopen2(file, name, access.get()), H5Dclose);
    if (!dataset.ok()) {
        return ReadEnd::Unreadable;
    }
    ReadEnd end = ReadEnd::Done;
    const Pieces pieces = piecesOf(rows, columns);
    const bool direct = readsChunksDirectly(dataset.get(), pieces);
    forEachPiece(pieces, [&](std::uint64_t r, std::uint64_t c, std::uint64_t nr, std::uint64_t nc) {
        if (mover.cancelled()) {
            end = ReadEnd::Cancelled;
            return false;
        }
        // A whole chunk and its 4-byte checksum fit one more double.
        double* buffer =
            mover.buffer(direct ? pieces.pieceRows * pieces.pieceColumns + 1 : nr * nc);
        Selection s;
        const bool read = direct ? readChunk(dataset.get(), pieces, r, c, nr, nc, buffer)
                                 : select(dataset.get(), r, c, nr, nc, s) &&
                                       H5Dread(dataset.get(), H5T_NATIVE_DOUBLE, s.memory.get(),
                                               s.file.get(), H5P_DEFAULT, buffer) >= 0;
        if (!read) {
            end = ReadEnd::Unreadable;
            return false;
        }
        problem = CheckFinitePiece(name, {buffer, nr * nc}, nc, r, c);
        if (!problem.empty()) {
            end = ReadEnd::NotFinite;
            return false;
        }
        take(r, c, nr, nc, buffer);
        mover.moved(nr * nc);
        return true;
    });
    return end;
}

void takeWeights(core::ConnectionMatrix& weights, std::uint64_t row, std::uint64_t column,
                 std::uint64_t rows, std::uint64_t columns, const double* in) {
    pairWeights(weights, row, column, rows, columns, in,
                [](double& weight, double value) { weight = value; });
}

void takeTable(core::PatternTable& table, std::uint64_t row, std::uint64_t column,
               std::uint64_t rows, std::uint64_t columns, const double* in) {
    for (std::uint64_t r = 0; r < rows; ++r) {
        double* dst = &table(static_cast<int>(column + 1), static_cast<int>(row + r + 1));
        std::copy_n(in + r * columns, columns, dst);
    }
}

// Where an open gets the header and the values: HDF5 in this process, or the records of the
// reader process.
class Source {
  public:
    virtual ~Source() = default;
    // The header; "" when it was read, else the end of a sentence after the file's name.
    virtual std::string header(NetworkFileHeader& out) = 0;
    // Dataset `index` (file order) of rows x columns, piece by piece into `take`.
    virtual ReadEnd dataset(std::uint64_t index, const char* name, std::uint64_t rows,
                            std::uint64_t columns, Mover& mover, std::string& problem,
                            const PieceTake& take) = 0;
};

// Reads every value into `net`, which ApplyNetworkHeader and the allocation prepared: Done,
// Cancelled, ReaderFailed, or Refused with the end of a sentence after the file's name in
// `problem`.
ReadEnd readValues(Source& source, core::PublicStuff& net, Mover& mover, std::string& problem) {
    const auto out = static_cast<std::uint64_t>(net.NumOutputs);
    const auto in = static_cast<std::uint64_t>(net.NumInputs);
    const auto patterns = static_cast<std::uint64_t>(net.NumPatterns);
    const auto history = static_cast<std::uint64_t>(net.SSEHistoryCount);
    mover.setTotal(bytesOf(out * in + patterns * (in + out) + history * 2));
    std::vector<double> rows;
    rows.reserve(history * 2);
    const PieceTake takes[] = {
        [&net](auto... a) { takeWeights(net.Weights, a...); },
        [&net](auto... a) { takeTable(net.InputPatterns, a...); },
        [&net](auto... a) { takeTable(net.DesiredOutputs, a...); },
        [&rows](std::uint64_t, std::uint64_t, std::uint64_t count, std::uint64_t,
                const double* buffer) { rows.insert(rows.end(), buffer, buffer + count * 2); },
    };
    const std::array<std::array<std::uint64_t, 2>, 4> shapes = {
        {{out, in}, {patterns, in}, {patterns, out}, {history, 2}}};
    for (std::uint64_t k = 0; k < 4; ++k) {
        const char* name = Datasets()[k].name;
        const ReadEnd end =
            source.dataset(k, name, shapes[k][0], shapes[k][1], mover, problem, takes[k]);
        switch (end) {
            case ReadEnd::Done:
                continue;
            case ReadEnd::Cancelled:
            case ReadEnd::ReaderFailed:
                return end;
            case ReadEnd::NotFinite:
            case ReadEnd::Refused:
                return ReadEnd::Refused;
            case ReadEnd::Unreadable:
                problem = "is damaged or truncated: the values of \"" + std::string(name) +
                          "\" cannot be read.";
                return ReadEnd::Refused;
        }
    }
    problem = CheckHistory(rows, net.SweepCount);
    if (!problem.empty()) {
        return ReadEnd::Refused;
    }
    for (std::uint64_t k = 0; k < history; ++k) {
        net.SSEHistory[k + 1][1] = rows[2 * k];
        net.SSEHistory[k + 1][2] = rows[2 * k + 1];
    }
    // The blocks were filled directly: the matrix's bound on |weight| no longer holds.
    net.Weights.forgetBound();
    return ReadEnd::Done;
}

// HDF5 in this process, through a descriptor opened here: what the reader process runs.
class LocalSource final : public Source {
  public:
    explicit LocalSource(const std::string& path) : m_path(path) {}
    ~LocalSource() override {
        m_file.release();
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }

    std::string header(NetworkFileHeader& out) override {
        // HDF5 opens the file by name: give it this descriptor's name, so that what it reads
        // is the regular file the program checked even if the path changes in between.
        m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        struct stat info {};
        if (m_fd < 0 || ::fstat(m_fd, &info) != 0) {
            return "cannot be read: " + SystemReason(errno) + ".";
        }
        if (!S_ISREG(info.st_mode)) {
            return "is not a regular file (a device, FIFO or socket, or a link to one), so it "
                   "is not read. Choose a network file (.h5).";
        }
        const std::string byDescriptor = "/proc/self/fd/" + std::to_string(m_fd);
        m_library = enterLibrary();
        if (H5Fis_hdf5(byDescriptor.c_str()) <= 0) {
            return "is not an HDF5 file, or its start is damaged. Choose a network file saved "
                   "by distmem (.h5).";
        }
        const Id access = fileAccess();
        m_file = Id(H5Fopen(byDescriptor.c_str(), H5F_ACC_RDONLY, access.get()), H5Fclose);
        if (!m_file.ok()) {
            return "is damaged or truncated: HDF5 cannot open it.";
        }
        out =
            readHeader(m_file.get(), static_cast<std::uint64_t>(std::max<off_t>(info.st_size, 0)));
        return "";
    }

    ReadEnd dataset(std::uint64_t, const char* name, std::uint64_t rows, std::uint64_t columns,
                    Mover& mover, std::string& problem, const PieceTake& take) override {
        return readDataset(m_file.get(), name, rows, columns, mover, problem, take);
    }

  private:
    std::string m_path;
    int m_fd = -1;
    std::unique_lock<std::mutex> m_library;
    Id m_file{-1, H5Fclose};
};

// The records of a reader process started for the file.
class ReaderSource final : public Source {
  public:
    ~ReaderSource() override { stop(); }

    // 0, or the error number when the reader cannot be started (its program is missing).
    int start(const std::string& path) {
        int records[2] = {-1, -1};
        int acknowledgements[2] = {-1, -1};
        const int slots = ::memfd_create("distmem-network-pieces", MFD_CLOEXEC);
        if (slots < 0 || ::ftruncate(slots, 2 * reader::SlotBytes) != 0 ||
            ::pipe2(records, O_CLOEXEC) != 0 ||
            ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, acknowledgements) != 0) {
            const int code = errno;
            for (const int fd : {slots, records[0], records[1], acknowledgements[0]}) {
                if (fd >= 0) {
                    ::close(fd);
                }
            }
            return code;
        }
        void* mapped = ::mmap(nullptr, 2 * reader::SlotBytes, PROT_READ, MAP_SHARED, slots, 0);
        if (mapped == MAP_FAILED) {
            const int code = errno;
            for (const int fd :
                 {slots, records[0], records[1], acknowledgements[0], acknowledgements[1]}) {
                ::close(fd);
            }
            return code;
        }
        m_slots = static_cast<const double*>(mapped);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, records[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, acknowledgements[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, slots, reader::SharedSlotsDescriptor);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const std::string program = reader::ReaderPath();
        std::string name = "distmem-network-reader";
        std::string file = path;
        char* argv[] = {name.data(), file.data(), nullptr};
        const int failed =
            ::posix_spawn(&m_child, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        for (const int fd : {records[1], acknowledgements[0], slots}) {
            ::close(fd);
        }
        m_in = records[0];
        m_out = acknowledgements[1];
        if (failed != 0) {
            m_child = -1;
            return failed;
        }
        return 0;
    }

    std::string header(NetworkFileHeader& out) override {
        reader::RecordType type{};
        std::string payload;
        if (!reader::ReadRecordType(m_in, type) || !reader::ReadPayload(m_in, payload, 1 << 20)) {
            return "reader failed";
        }
        if (type == reader::RecordType::Refusal) {
            return payload;
        }
        return type == reader::RecordType::Header && reader::ParseHeader(payload, out)
                   ? ""
                   : "reader failed";
    }

    ReadEnd dataset(std::uint64_t index, const char* name, std::uint64_t rows,
                    std::uint64_t columns, Mover& mover, std::string& problem,
                    const PieceTake& take) override {
        ReadEnd end = ReadEnd::Done;
        forEachPiece(piecesOf(rows, columns), [&](std::uint64_t r, std::uint64_t c,
                                                  std::uint64_t nr, std::uint64_t nc) {
            if (mover.cancelled()) {
                end = ReadEnd::Cancelled;
                return false;
            }
            reader::RecordType type{};
            reader::PiecePlace place;
            if (!reader::ReadRecordType(m_in, type)) {
                end = ReadEnd::ReaderFailed;
                return false;
            }
            if (type == reader::RecordType::Refusal) {
                end = reader::ReadPayload(m_in, problem, 1 << 20) ? ReadEnd::Refused
                                                                  : ReadEnd::ReaderFailed;
                return false;
            }
            // Only the piece expected next is taken, checked as if read here.
            if (type != reader::RecordType::Piece || !reader::ReadPiecePlace(m_in, place) ||
                place.dataset != index || place.row != r || place.column != c || place.rows != nr ||
                place.columns != nc) {
                end = ReadEnd::ReaderFailed;
                return false;
            }
            const double* values = m_slots + (m_pieces % 2) * reader::PieceValues;
            problem = CheckFinitePiece(name, {values, nr * nc}, nc, r, c);
            if (!problem.empty()) {
                end = ReadEnd::NotFinite;
                return false;
            }
            take(r, c, nr, nc, values);
            ++m_pieces;
            mover.moved(nr * nc);
            // A reader that has gone cannot take it; what it failed to write tells.
            (void)reader::WriteAcknowledgement(m_out);
            return true;
        });
        return end;
    }

    // After the last dataset: the reader says it is done and ends normally.
    bool finished() {
        reader::RecordType type{};
        std::string payload;
        const bool done = reader::ReadRecordType(m_in, type) && type == reader::RecordType::Done &&
                          reader::ReadPayload(m_in, payload, 0);
        int status = 0;
        const bool ended = waitpid(m_child, &status, 0) == m_child;
        m_child = -1;
        return done && ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

  private:
    void stop() {
        for (int* fd : {&m_in, &m_out}) {
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
        }
        if (m_slots != nullptr) {
            ::munmap(const_cast<double*>(m_slots), 2 * reader::SlotBytes);
            m_slots = nullptr;
        }
        if (m_child > 0) {
            ::kill(m_child, SIGKILL);
            int status = 0;
            while (waitpid(m_child, &status, 0) < 0 && errno == EINTR) {
            }
            m_child = -1;
        }
    }

    pid_t m_child = -1;
    int m_in = -1;                    // the reader's records
    int m_out = -1;                   // acknowledgements to it
    const double* m_slots = nullptr;  // its two slots of values
    std::uint64_t m_pieces = 0;       // taken so far
};

bool openNetwork(core::PublicStuff& opened, const std::string& path, std::string& error,
                 core::Progress* progress) {
    const std::string name = "The network file " + quoted(path) + " ";
    const auto fail = [&error](std::string message) {
        error = std::move(message);
        return false;
    };
    const auto systemFailure = [&](const char* what, int code) {
        return fail(std::string(what) + " the network file " + quoted(path) + ": " +
                    SystemReason(code) + ".");
    };
    // Looked at before it is opened: opening a FIFO or a device can wait or act.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return systemFailure("Cannot open", errno);
    }
    if (S_ISDIR(info.st_mode)) {
        return systemFailure("Cannot read", EISDIR);
    }
    if (!S_ISREG(info.st_mode)) {
        return fail(name +
                    "is not a regular file (a device, FIFO or socket, or a link to one), so it "
                    "is not read. Choose a network file (.h5).");
    }
    // Read in a process of its own: a crash inside HDF5 ends that process only.
    ReaderSource source;
    if (const int code = source.start(path); code != 0) {
        return fail("Cannot open the network file " + quoted(path) + ": its reader (" +
                    reader::ReaderPath() + ") could not be started: " + SystemReason(code) + ".");
    }
    const auto damaged = [&] {
        return fail(name + "is damaged and cannot be read. Nothing was opened.");
    };

    NetworkFileHeader header;
    if (std::string problem = source.header(header); !problem.empty()) {
        return problem == "reader failed" ? damaged() : fail(name + problem);
    }
    if (std::string problem = CheckNetworkHeader(header); !problem.empty()) {
        return fail(name + problem);
    }

    core::PublicStuff built;
    ApplyNetworkHeader(header, built);
    try {
        built.InputPatterns = core::PatternTable(built.NumInputs, built.NumPatterns);
        built.DesiredOutputs = core::PatternTable(built.NumOutputs, built.NumPatterns);
        built.CreateUnitsAndWeights();
    } catch (const std::bad_alloc&) {
        return fail(name + "needs more memory than is available for " +
                    std::to_string(built.NumPatterns) + " patterns of " +
                    std::to_string(built.NumInputs) + " input and " +
                    std::to_string(built.NumOutputs) + " output units.");
    }
    built.TrainedOnProblem = true;  // creating the arrays cleared it
    Mover mover(progress);
    std::string problem;
    switch (readValues(source, built, mover, problem)) {
        case ReadEnd::Done:
            break;
        case ReadEnd::Cancelled:
            return fail("Opening the network file " + quoted(path) + " was cancelled.");
        case ReadEnd::ReaderFailed:
            return damaged();
        default:
            return fail(name + problem);
    }
    if (!source.finished()) {
        return damaged();
    }
    opened = std::move(built);
    return true;
}

}  // namespace

bool SaveNetwork(const core::PublicStuff& net, const std::string& path, std::string& error,
                 core::Progress* progress) {
    ReplacementFile target;
    if (!target.open(path, SaveNetworkWhat, error)) {
        return false;
    }
    return SaveNetwork(net, target, error, progress);
}

bool SaveNetwork(const core::PublicStuff& net, ReplacementFile& target, std::string& error,
                 core::Progress* progress) {
    const std::string where = std::string(SaveNetworkWhat) + " to " + quoted(target.targetPath());
    const auto fail = [&](std::string message) {
        target.discard();
        error = std::move(message);
        return false;
    };
    if (std::string untrained = core::NotTrainedProblem(net); !untrained.empty()) {
        return fail(where + ": " + untrained);
    }
    if (!net.NetworkMatchesProblem()) {
        return fail(where + ": its units and weights do not match its training problem.");
    }
    try {
        const NetworkFileHeader header = DescribeNetwork(net, utcNow(), DAM_PROGRAM_VERSION);
        if (std::string problem = CheckNetworkHeader(header); !problem.empty()) {
            return fail(where + ": the file would be refused on opening, as it " + problem);
        }
        Mover mover(progress);
        bool written = false;
        {
            const auto library = enterLibrary();
            const Id access = fileAccess(true);
            Id file(
                H5Fcreate(target.temporaryPath().c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, access.get()),
                H5Fclose);
            written = file.ok() && writeNetwork(file.get(), net, header, mover) &&
                      H5Fflush(file.get(), H5F_SCOPE_LOCAL) >= 0;
            if (!written && file.ok()) {
                releaseSpace(target.temporaryPath());
            }
            written = file.release() && written;
        }
        if (mover.cancelled()) {
            return fail("Saving the network to " + quoted(target.targetPath()) + " was cancelled.");
        }
        if (!written) {
            return fail(where + ": writing the file failed (is the disk full?).");
        }
    } catch (const std::bad_alloc&) {
        return fail(where + ": " + SystemReason(ENOMEM) + ".");
    }
    return target.commit(error);
}

bool OpenNetwork(core::PublicStuff& opened, const std::string& path, std::string& error,
                 core::Progress* progress) {
    try {
        return openNetwork(opened, path, error, progress);
    } catch (const std::bad_alloc&) {
        error = "Cannot open the network file " + quoted(path) + ": " + SystemReason(ENOMEM) + ".";
        return false;
    }
}

std::string NetworkInfoLine(const core::PublicStuff& net,
                            const text::NumberSeparators& separators) {
    const std::string trained = "Trained " + text::FormatInteger(net.SweepCount) +
                                (net.SweepCount == 1 ? " epoch" : " epochs");
    if (net.partsCoverRun()) {
        return trained + ": " + text::RunPartsText(net.TrainedParts, separators);
    }
    return trained + ", " + std::string(core::RuleName(net.LearningRule)) + " rule, rate " +
           text::FormatGeneral(net.LearningRate, separators);
}

bool IsNetworkFileName(const std::string& path) {
    if (path.size() < 3) {
        return false;
    }
    const std::string end = path.substr(path.size() - 3);
    return end == ".h5" || end == ".H5";
}

namespace reader {

int WriteNetworkRecords(const std::string& path, int out) {
    LocalSource source(path);  // it says why a file cannot be read
    NetworkFileHeader header;
    std::string problem = source.header(header);
    if (problem.empty()) {
        problem = CheckNetworkHeader(header);
    }
    if (!problem.empty()) {
        return WriteRecord(out, RecordType::Refusal, problem) ? 0 : 1;
    }
    if (!WriteRecord(out, RecordType::Header, SerializeHeader(header))) {
        return 1;
    }
    const std::array<std::array<std::uint64_t, 2>, 4> shapes = {
        {{header.weights.rows, header.weights.columns},
         {header.inputPatterns.rows, header.inputPatterns.columns},
         {header.desiredOutputs.rows, header.desiredOutputs.columns},
         {header.sseHistory.rows, header.sseHistory.columns}}};
    void* mapped = ::mmap(nullptr, 2 * SlotBytes, PROT_READ | PROT_WRITE, MAP_SHARED,
                          SharedSlotsDescriptor, 0);
    if (mapped == MAP_FAILED) {
        return 1;
    }
    auto* slots = static_cast<double*>(mapped);
    std::uint64_t pieces = 0;
    Mover mover(nullptr);
    bool written = true;
    const auto send = [&](std::uint64_t k, std::uint64_t r, std::uint64_t c, std::uint64_t nr,
                          std::uint64_t nc, const double* values) {
        // The slot of piece n - 2 is free once the program has taken that piece.
        written = written && (pieces < 2 || ReadAcknowledgement(STDIN_FILENO));
        if (written) {
            std::copy_n(values, nr * nc, slots + (pieces % 2) * PieceValues);
            written = WritePiece(out, {k, r, c, nr, nc});
            ++pieces;
        }
    };
    for (std::uint64_t k = 0; k < 4 && written; ++k) {
        const char* name = Datasets()[k].name;
        const ReadEnd end =
            source.dataset(k, name, shapes[k][0], shapes[k][1], mover, problem,
                           [&](std::uint64_t r, std::uint64_t c, std::uint64_t nr, std::uint64_t nc,
                               const double* values) { send(k, r, c, nr, nc, values); });
        if (end == ReadEnd::Unreadable) {
            problem = "is damaged or truncated: the values of \"" + std::string(name) +
                      "\" cannot be read.";
        }
        if (end != ReadEnd::Done) {
            return WriteRecord(out, RecordType::Refusal, problem) ? 0 : 1;
        }
    }
    return written && WriteRecord(out, RecordType::Done, "") ? 0 : 1;
}

}  // namespace reader

}  // namespace files

#pragma once

// Reads a training file a chunk at a time, so that no more of it is held than the fields
// the header announces need: what follows them is never read.
//
// complete() is the part of the file read so far that ends just after a separator (or the
// whole part read, at the end of the file), so every field in it is whole. A field that
// runs on for more than kLongestField bytes ends the reading there with a '?' appended,
// which makes it no number: a file of one endless field (or no separators at all) costs
// that much memory and no more.

#include <cstddef>
#include <string_view>

#include "core/large_page_allocator.h"
#include "files/loader.h"

namespace files {

class ChunkReader {
  public:
    static constexpr std::size_t kFirstChunk = 65536;
    static constexpr std::size_t kLongestField = std::size_t{1} << 20;
    // Bytes of text allowed per announced field before the buffer grows by doubling.
    static constexpr std::size_t kBytesPerField = 64;

    // Reads at most this much per read() when someone watches the progress.
    static constexpr std::size_t kWatchedRead = std::size_t{4} << 20;

    // Reads the open file `fd` of `fileSize` bytes (as fstat gave it; the reading goes by
    // what read() returns), reporting to `progress` when it is not null.
    ChunkReader(int fd, std::size_t fileSize, core::Progress* progress)
        : m_fd(fd), m_fileSize(fileSize), m_progress(progress) {}
    ChunkReader(const ChunkReader&) = delete;
    ChunkReader& operator=(const ChunkReader&) = delete;
    ~ChunkReader();

    std::string_view complete() const { return {m_bytes, m_complete}; }
    std::size_t fileSize() const { return m_fileSize > m_size ? m_fileSize : m_size; }
    int failure() const { return m_failure; }
    bool cancelled() const { return m_cancelled; }
    core::Progress* progress() const { return m_progress; }

    // Reads on until complete() grows; false at the end of the file or on a read error
    // (failure() then holds errno). Throws std::bad_alloc.
    bool more();

    // Room for the text of `fields` more fields, within the file's size, read at once.
    void expectFields(long long fields);

    // Reads no further than byte `end` of the file: more() then ends there as at the end
    // of the file, and cutShort() says whether the file went on.
    void stopAt(std::size_t end) { m_stop = end; }
    bool cutShort() const { return m_cutShort; }

  private:
    void grow(std::size_t capacity);

    int m_fd;
    std::size_t m_fileSize;
    core::LargePageAllocator<char> m_allocator;
    char* m_bytes = nullptr;
    std::size_t m_capacity = 0;
    std::size_t m_size = 0;
    std::size_t m_complete = 0;
    bool m_ended = false;
    bool m_cancelled = false;
    bool m_cutShort = false;
    std::size_t m_stop = static_cast<std::size_t>(-1);
    int m_failure = 0;
    core::Progress* m_progress;
};

}  // namespace files

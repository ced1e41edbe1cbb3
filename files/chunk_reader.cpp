#include "files/chunk_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "text/field_scanner.h"

namespace files {

ChunkReader::~ChunkReader() {
    if (m_bytes != nullptr) {
        m_allocator.deallocate(m_bytes, m_capacity);
    }
}

bool ChunkReader::more() {
    while (!m_ended) {
        if (m_size >= m_stop) {
            // As at the end of the file, but for a file that goes on.
            m_ended = true;
            m_cutShort = m_size < m_fileSize || m_size > m_stop;
            const bool grew = m_size > m_complete;
            m_complete = m_size;
            return grew;
        }
        if (m_capacity - m_size <= 1) {
            // No more room than a stop leaves to read.
            const std::size_t doubled = std::max(kFirstChunk, m_capacity * 2);
            grow(m_stop < doubled ? std::max(m_size + 2, m_stop + 1) : doubled);
        }
        if (core::StopRequested(m_progress)) {
            m_cancelled = true;
            m_ended = true;
            return false;
        }
        // One byte is kept for the '?' that cuts an endless field.
        std::size_t room = std::min(m_capacity - 1 - m_size, m_stop - m_size);
        if (m_progress != nullptr) {
            room = std::min(room, kWatchedRead);
        }
        const ssize_t got = ::read(m_fd, m_bytes + m_size, room);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got > 0 && m_progress != nullptr) {
            m_progress->setStaged(m_progress->staged() + got);
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
        while (end > before && !text::FieldScanner::isSeparator(m_bytes[end - 1])) {
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

void ChunkReader::expectFields(long long fields) {
    const std::size_t wanted =
        m_size +
        std::min<std::size_t>(m_fileSize + 2,
                              kFirstChunk + static_cast<std::size_t>(fields) * kBytesPerField);
    if (wanted > m_capacity) {
        grow(wanted);
    }
}

void ChunkReader::grow(std::size_t capacity) {
    char* bigger = m_allocator.allocate(capacity);
    if (m_bytes != nullptr) {
        std::memcpy(bigger, m_bytes, m_size);
        m_allocator.deallocate(m_bytes, m_capacity);
    }
    m_bytes = bigger;
    m_capacity = capacity;
}

}  // namespace files

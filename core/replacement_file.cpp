#include "core/replacement_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace core {

std::string SystemReason(int code) {
    return std::strerror(code);
}

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : m_target(std::move(other.m_target)),
      m_temporary(std::move(other.m_temporary)),
      m_what(std::move(other.m_what)),
      m_fd(std::exchange(other.m_fd, -1)),
      m_targetExists(other.m_targetExists),
      m_targetMode(other.m_targetMode) {}

ReplacementFile& ReplacementFile::operator=(ReplacementFile&& other) noexcept {
    if (this != &other) {
        discard();
        m_target = std::move(other.m_target);
        m_temporary = std::move(other.m_temporary);
        m_what = std::move(other.m_what);
        m_fd = std::exchange(other.m_fd, -1);
        m_targetExists = other.m_targetExists;
        m_targetMode = other.m_targetMode;
    }
    return *this;
}

ReplacementFile::~ReplacementFile() {
    discard();
}

bool ReplacementFile::fail(int code, std::string* error) {
    if (error != nullptr) {
        *error = m_what + " \"" + m_target + "\": " + SystemReason(code) + ".";
    }
    discard();
    return false;
}

bool ReplacementFile::open(const std::string& target, std::string_view what, std::string* error) {
    discard();
    m_target = target;
    m_what = std::string(what);

    struct stat existing {};
    m_targetExists = ::stat(target.c_str(), &existing) == 0;
    if (m_targetExists && S_ISDIR(existing.st_mode)) {
        return fail(EISDIR, error);
    }
    m_targetMode = m_targetExists ? existing.st_mode & 07777 : 0;

    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temporary = folder + "." + name + ".XXXXXX";
    m_fd = ::mkstemp(temporary.data());
    if (m_fd < 0) {
        return fail(errno, error);
    }
    m_temporary = std::move(temporary);
    return true;
}

bool ReplacementFile::write(std::string_view bytes, std::string* error) {
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(errno, error);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

bool ReplacementFile::commit(std::string* error) {
    // The file keeps the permissions of the one it replaces, or the usual ones for a new
    // file (mkstemp makes it private to the owner).
    mode_t mode = static_cast<mode_t>(m_targetMode);
    if (!m_targetExists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(m_fd, mode) != 0 || ::fsync(m_fd) != 0) {
        return fail(errno, error);
    }
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0) {
        return fail(errno, error);
    }
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        return fail(errno, error);
    }
    m_temporary.clear();
    return true;
}

void ReplacementFile::discard() {
    if (m_fd >= 0) {
        ::close(std::exchange(m_fd, -1));
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}

}  // namespace core

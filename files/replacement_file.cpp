#include "files/replacement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "files/path_names.h"
#include "files/temporary_files.h"
#include "text/utf8.h"

namespace files {

namespace {

// Holds the signals that remove temporary files back, in this thread, while a temporary
// file is created, renamed or removed and its entry in the table changes with it.
class SignalsHeld {
  public:
    SignalsHeld() : m_active(detail::CleanupInstalled()) {
        if (m_active) {
            sigset_t held;
            sigemptyset(&held);
            for (const int signal : detail::kCleanupSignals) {
                sigaddset(&held, signal);
            }
            pthread_sigmask(SIG_BLOCK, &held, &m_old);
        }
    }
    ~SignalsHeld() {
        if (m_active) {
            pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
        }
    }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

  private:
    bool m_active;
    sigset_t m_old{};
};

unsigned readCreationMask() {
    // Linux shows the mask without changing it; elsewhere set it for a moment.
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned long mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status) != nullptr) {
            char* end = nullptr;
            if (std::strncmp(line, "Umask:", 6) == 0) {
                mask = std::strtoul(line + 6, &end, 8);
                found = end != line + 6;
            }
        }
        std::fclose(status);
        if (found) {
            return static_cast<unsigned>(mask & 0777);
        }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask & 0777;
}

// ".NAME.XXXXXX" when that fits the folder's limit on names, else the name's own length:
// its start, then ".XXXXXX", so any name the file system takes can be replaced.
std::string temporaryPattern(const std::string& folder, const std::string& name) {
    long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    if (limit <= 0) {
        limit = NAME_MAX;
    }
    const std::string suffix = ".XXXXXX";
    if (name.size() + 1 + suffix.size() <= static_cast<std::size_t>(limit) ||
        name.size() < 1 + suffix.size()) {
        return folder + "." + name + suffix;
    }
    return folder + "." + name.substr(0, name.size() - 1 - suffix.size()) + suffix;
}

}  // namespace

std::string SystemReason(int code) {
    return std::strerror(code);
}

unsigned FileCreationMask() {
    static const unsigned mask = readCreationMask();
    return mask;
}

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : m_target(std::move(other.m_target)),
      m_final(std::move(other.m_final)),
      m_temporary(std::move(other.m_temporary)),
      m_what(std::move(other.m_what)),
      m_fd(std::exchange(other.m_fd, -1)),
      m_slot(std::exchange(other.m_slot, -1)),
      m_targetExists(other.m_targetExists),
      m_targetMode(other.m_targetMode),
      m_targetOwner(other.m_targetOwner),
      m_targetGroup(other.m_targetGroup) {
    other.m_temporary.clear();
}

ReplacementFile& ReplacementFile::operator=(ReplacementFile&& other) noexcept {
    if (this != &other) {
        discard();
        m_target = std::move(other.m_target);
        m_final = std::move(other.m_final);
        m_temporary = std::exchange(other.m_temporary, {});
        m_what = std::move(other.m_what);
        m_fd = std::exchange(other.m_fd, -1);
        m_slot = std::exchange(other.m_slot, -1);
        m_targetExists = other.m_targetExists;
        m_targetMode = other.m_targetMode;
        m_targetOwner = other.m_targetOwner;
        m_targetGroup = other.m_targetGroup;
    }
    return *this;
}

ReplacementFile::~ReplacementFile() {
    discard();
}

bool ReplacementFile::fail(int code, std::string& error) {
    return refuse(SystemReason(code) + ".", error);
}

bool ReplacementFile::refuse(const std::string& reason, std::string& error) {
    error = m_what + " \"" + text::ShownName(m_target, PATH_MAX) + "\": " + reason;
    discard();
    return false;
}

// Sets m_final and what is known of the file there; false with a message when it may not
// be replaced.
bool ReplacementFile::checkTarget(std::string& error) {
    m_final = m_target;
    m_targetExists = false;
    struct stat info {};
    if (::lstat(m_target.c_str(), &info) != 0) {
        return errno == ENOENT ? true : fail(errno, error);
    }
    const bool link = S_ISLNK(info.st_mode);
    if (link) {
        const std::unique_ptr<char, decltype(&std::free)> resolved(
            ::realpath(m_target.c_str(), nullptr), &std::free);
        if (!resolved) {
            return errno == ENOENT
                       ? refuse("it is a symbolic link to nothing, so it is left alone.", error)
                       : fail(errno, error);
        }
        m_final = resolved.get();
        if (::stat(m_final.c_str(), &info) != 0) {
            return fail(errno, error);
        }
    }
    if (S_ISDIR(info.st_mode)) {
        return fail(EISDIR, error);
    }
    if (!S_ISREG(info.st_mode)) {
        return refuse(link ? "it is a link to \"" + text::ShownName(m_final, PATH_MAX) +
                                 "\", which is not a regular file (a device, FIFO or socket), so "
                                 "nothing is written."
                           : std::string("it is not a regular file (a device, FIFO or socket), so "
                                         "nothing is written."),
                      error);
    }
    if ((info.st_mode & 0222) == 0) {
        return refuse(
            "its owner has protected it against writing, so it is left as it is. "
            "Choose another name, or allow writing to the file first.",
            error);
    }
    m_targetExists = true;
    m_targetMode = info.st_mode & 0777;  // never setuid, setgid or sticky
    m_targetOwner = info.st_uid;
    m_targetGroup = info.st_gid;
    return true;
}

bool ReplacementFile::open(const std::string& target, std::string_view what, std::string& error) {
    discard();
    m_target = target;
    m_what = std::string(what);
    if (target.empty()) {
        return refuse("no file name was given.", error);
    }
    if (!checkTarget(error)) {
        return false;
    }
    const std::string name = FileNameOf(m_final);
    // The folder with its slash, or "" for a name alone.
    const std::string folder = m_final.substr(0, m_final.size() - name.size());
    std::string temporary = temporaryPattern(folder, name);
    const SignalsHeld held;
    m_fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (m_fd < 0) {
        return fail(errno, error);
    }
    m_temporary = std::move(temporary);
    m_slot = detail::RegisterTemporary(m_temporary);
    return true;
}

bool ReplacementFile::CheckTarget(const std::string& target, std::string_view what,
                                  std::string& error) {
    ReplacementFile probe;
    probe.m_target = target;
    probe.m_what = std::string(what);
    return target.empty() ? probe.refuse("no file name was given.", error)
                          : probe.checkTarget(error);
}

bool ReplacementFile::write(std::string_view bytes, std::string& error) {
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
    // Starts writing the pages out now, while the caller produces the next bytes, so that
    // commit()'s fsync waits only for the last of them. A hint: commit() reports failures.
    (void)::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    return true;
}

bool ReplacementFile::commit(std::string& error) {
    const auto mode =
        static_cast<mode_t>(m_targetExists ? m_targetMode : 0666U & ~FileCreationMask());
    // Root keeps another user's file theirs; the owner is set before the mode, since a
    // change of owner clears bits.
    if (m_targetExists && ::geteuid() == 0 &&
        (m_targetOwner != ::geteuid() || m_targetGroup != ::getegid()) &&
        ::fchown(m_fd, m_targetOwner, m_targetGroup) != 0) {
        return fail(errno, error);
    }
    if (::fchmod(m_fd, mode) != 0 || ::fsync(m_fd) != 0) {
        return fail(errno, error);
    }
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0) {
        return fail(errno, error);
    }
    // The target may have changed since open(): check it again just before the rename.
    struct stat now {};
    if (::lstat(m_final.c_str(), &now) == 0 && !S_ISREG(now.st_mode)) {
        return refuse(
            "it has become something other than a regular file, so nothing is "
            "written.",
            error);
    }
    const SignalsHeld held;
    if (::rename(m_temporary.c_str(), m_final.c_str()) != 0) {
        return fail(errno, error);
    }
    detail::UnregisterTemporary(std::exchange(m_slot, -1));
    m_temporary.clear();
    return true;
}

void ReplacementFile::discard() {
    if (m_fd >= 0) {
        ::close(std::exchange(m_fd, -1));
    }
    if (!m_temporary.empty()) {
        const SignalsHeld held;
        ::unlink(m_temporary.c_str());
        detail::UnregisterTemporary(std::exchange(m_slot, -1));
        m_temporary.clear();
    }
}

}  // namespace files

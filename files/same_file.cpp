#include "files/same_file.h"

#include <sys/stat.h>

#include <cstdlib>
#include <memory>

namespace files {

namespace {

struct Identity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::string canonical;  // for a name that does not exist: its folder's real path + name
};

Identity identify(const std::string& path) {
    Identity id;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        id.exists = true;
        id.device = info.st_dev;
        id.inode = info.st_ino;
        return id;
    }
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(folder.c_str(), nullptr),
                                                               &std::free);
    if (resolved) {
        id.canonical = std::string(resolved.get()) + "/" + name;
    }
    return id;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) {
        return true;
    }
    const Identity first = identify(a);
    const Identity second = identify(b);
    if (first.exists || second.exists) {
        return first.exists && second.exists && first.device == second.device &&
               first.inode == second.inode;
    }
    return !first.canonical.empty() && first.canonical == second.canonical;
}

}  // namespace files

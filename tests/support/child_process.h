#pragma once

// Running part of a test in a child process, for what the test process itself must not
// suffer: a signal that ends it, limits that cannot be lifted again.

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace support {

// Runs `body` in a child process that exits with its result; returns the child's wait
// status.
inline int inChild(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(body());
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    return status;
}

}  // namespace support

#pragma once

// Peak memory of one piece of work, measured in a child process so that whatever the
// benchmark did before does not count.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

namespace bench {

// "VmRSS" or "VmHWM" of this process, in MB; -1 when it cannot be read.
inline double statusMb(const std::string& field) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with(field + ":")) {
            return std::stod(line.substr(field.size() + 1)) / 1024.0;
        }
    }
    return -1.0;
}

// In a child process: `prepare`, then the peak counter starts again, then `work`, which
// says how it went (and sets *ok). Prints `what`, that, the memory before, the peak during
// the work and the difference. Returns when the child has ended.
inline void printPeakInChild(const char* what, const std::function<void()>& prepare,
                             const std::function<std::string(bool* ok)>& work) {
    const pid_t child = ::fork();
    if (child == 0) {
        prepare();
        std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from now
        const double before = statusMb("VmRSS");
        bool ok = false;
        const std::string outcome = work(&ok);
        const double peak = statusMb("VmHWM");
        std::printf("%s: %s; memory before %.1f MB, peak while writing %.1f MB, added %.1f MB\n",
                    what, outcome.c_str(), before, peak, peak - before);
        std::fflush(stdout);
        std::_Exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
}

}  // namespace bench

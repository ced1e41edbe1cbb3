#include "files/temporary_files.h"

#include <unistd.h>

#include <atomic>
#include <climits>

#include "files/replacement_file.h"

namespace files {

namespace detail {

namespace {

// Fixed size, since a signal handler may not allocate. A batch run holds three files at
// most (report, workbook, network); the windows one or two.
constexpr int kSlots = 32;

// A slot is read by a handler while another thread may be changing it, so it works as a
// sequence lock: `state` holds a generation (bumped by every change) times 4 plus Free,
// Writing or Live, and a handler unlinks a path only when the state it saw before copying
// is Live and unchanged after. The characters are atomics so that such a read is no data
// race.
enum : unsigned { Free = 0, Writing = 1, Live = 2 };

struct Slot {
    std::atomic<unsigned> state{Free};
    std::atomic<char> path[PATH_MAX];
};
static_assert(std::atomic<unsigned>::is_always_lock_free && std::atomic<char>::is_always_lock_free,
              "a signal handler may use only lock-free atomics");

Slot g_slots[kSlots];
std::atomic<bool> g_installed{false};

unsigned next(unsigned state, unsigned phase) {
    return (state & ~3U) + 4U + phase;
}

extern "C" void removeTemporariesAndRaise(int signal) {
    char path[PATH_MAX];
    for (Slot& slot : g_slots) {
        const unsigned before = slot.state.load(std::memory_order_acquire);
        if ((before & 3U) != Live) {
            continue;
        }
        std::size_t k = 0;
        for (; k + 1 < sizeof path; ++k) {
            path[k] = slot.path[k].load(std::memory_order_relaxed);
            if (path[k] == '\0') {
                break;
            }
        }
        path[k] = '\0';
        std::atomic_thread_fence(std::memory_order_acquire);
        if (slot.state.load(std::memory_order_relaxed) == before) {
            ::unlink(path);
        }
    }
    // Ends the program as the signal would have: the signal is blocked while its handler
    // runs, so it is delivered, with the default action, as the handler returns.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

int RegisterTemporary(const std::string& path) {
    if (path.size() >= PATH_MAX) {
        return -1;
    }
    for (int k = 0; k < kSlots; ++k) {
        Slot& slot = g_slots[k];
        unsigned state = slot.state.load(std::memory_order_relaxed);
        const unsigned writing = next(state, Writing);
        if ((state & 3U) != Free ||
            !slot.state.compare_exchange_strong(state, writing, std::memory_order_acquire)) {
            continue;
        }
        std::atomic_thread_fence(std::memory_order_release);
        for (std::size_t c = 0; c <= path.size(); ++c) {
            slot.path[c].store(path.c_str()[c], std::memory_order_relaxed);
        }
        slot.state.store(next(writing, Live), std::memory_order_release);
        return k;
    }
    return -1;
}

void UnregisterTemporary(int slot) {
    if (slot >= 0 && slot < kSlots) {
        std::atomic<unsigned>& state = g_slots[slot].state;
        state.store(next(state.load(std::memory_order_relaxed), Free), std::memory_order_release);
    }
}

bool CleanupInstalled() {
    return g_installed.load();
}

}  // namespace detail

void InstallTemporaryFileCleanup() {
    struct sigaction action {};
    action.sa_handler = detail::removeTemporariesAndRaise;
    sigemptyset(&action.sa_mask);
    // One handler at a time: a second signal waits until the first has ended the program.
    for (const int signal : detail::kCleanupSignals) {
        sigaddset(&action.sa_mask, signal);
    }
    detail::g_installed = true;
    for (const int signal : detail::kCleanupSignals) {
        // A signal ignored from the start (nohup ignores SIGHUP) stays ignored.
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) {
            ::sigaction(signal, &action, nullptr);
        }
    }
}

}  // namespace files

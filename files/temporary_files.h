#pragma once

// The process's table of temporary files that are open at this moment, for signal
// handlers to remove. Used by ReplacementFile; async-signal-safe where it must be.

#include <csignal>
#include <string>

namespace files::detail {

// Adds `path`; returns its slot, or -1 when the table is full or the path too long (the
// file is then left behind by a signal, nothing worse). Callable from any thread. The
// caller holds the signals back in its own thread while it creates the file and adds it;
// a signal taken by another thread in that moment leaves the new file behind.
int RegisterTemporary(const std::string& path);

// Takes a slot from RegisterTemporary out of the table (-1 is ignored).
void UnregisterTemporary(int slot);

// The signals whose default action ends the program and which the cleanup handles.
inline constexpr int kCleanupSignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM, SIGUSR1,
                                          SIGUSR2, SIGALRM, SIGXCPU, SIGXFSZ};

// Whether InstallTemporaryFileCleanup has run.
bool CleanupInstalled();

}  // namespace files::detail

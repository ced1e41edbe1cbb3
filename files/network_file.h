#pragma once

// Keeping a trained network: saving the whole state to a network file (.h5, HDF5) and
// opening one again, so that every page works on it and training goes on to the bit as if
// the program had never stopped. files/network_file_checks.h describes the layout.
//
// Both run piece by piece (about 1 MB at a time), so they can run on a worker thread with
// progress and a cancel flag, and take little memory beyond the network's own arrays.
// Calls from several threads are safe: HDF5 is entered by one call at a time.

#include <atomic>
#include <string>

#include "core/network_state.h"
#include "core/progress.h"
#include "files/replacement_file.h"
#include "text/number_format.h"

namespace files {

// A save or an open reports to a core::Progress: its total is set once the size is known
// (before the first value moves) and done grows to it, in bytes of the values (weights,
// patterns and history), not of the file. A stop request ends the work soon.

// How ReplacementFile messages of a network save begin.
inline constexpr const char* SaveNetworkWhat = "Cannot save the network";

// Saves `net` to `path` all or nothing through a ReplacementFile: only a plain file (or the
// file a link points at) or nothing yet is replaced, the same refusals as a report's;
// saving over the file the network was opened from is fine. The weights are streamed from
// their blocks: the save never holds a second copy of them.
// Returns false, with a message naming the path in `error`, when the network is not trained
// on its problem (core::NotTrainedProblem), the file cannot be written, or the save was
// cancelled ("Saving the network to ... was cancelled."); the earlier file at `path` is then
// untouched and no temporary file is left.
[[nodiscard]] bool SaveNetwork(const core::PublicStuff& net, const std::string& path,
                               std::string& error, core::Progress* progress = nullptr);

// The same into a target the caller opened (with SaveNetworkWhat) before long work, so
// that a bad name is refused first. Commits the target on success; discards it on failure.
[[nodiscard]] bool SaveNetwork(const core::PublicStuff& net, ReplacementFile& target,
                               std::string& error, core::Progress* progress = nullptr);

// Opens the network file at `path` into `opened`, which afterwards holds the problem, units
// and weights at its sizes, the training settings, the epoch count, total and SSE history
// as they were saved, FreshStart 0 and TrainedOnProblem true.
// All or nothing: on failure `opened` is exactly as it was, and `error` names the file and
// what is wrong with it: not readable, not a regular file (FIFO, device, socket, or a link
// to one), not HDF5, truncated or damaged, another format or a newer format version, an
// attribute or dataset missing or of the wrong kind, shapes that disagree or exceed 32767,
// a value that is not finite, not enough memory, or cancelled ("Opening the network file
// ... was cancelled."). HDF5 prints nothing.
// For the window: open into a separate network on a worker thread, then move it in.
[[nodiscard]] bool OpenNetwork(core::PublicStuff& opened, const std::string& path,
                               std::string& error, core::Progress* progress = nullptr);

// The start page's line about an opened network: its parts when the file kept them
// ("Trained 300 epochs: Delta 0.1 for 200, then Hebb 0.1 for 100"), otherwise the last
// rule and rate ("Trained 300 epochs, Delta rule, rate 0.1"), rates as the report prints
// them.
std::string NetworkInfoLine(const core::PublicStuff& net,
                            const text::NumberSeparators& separators = {});

// Whether `path` names a network file (ends in ".h5", any case).
bool IsNetworkFileName(const std::string& path);

}  // namespace files

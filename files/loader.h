#pragma once

// Reading a training file (*.net) into a problem.
//
// The file is a sequence of numbers separated by commas, blanks, tabs and line breaks in
// any mix (runs of separators count as one; CR LF and a UTF-8 byte-order mark are fine):
// NumOutputs, SecondHeaderValue, NumInputs, NumPatterns, then NumPatterns x NumInputs
// input values pattern by pattern, then NumPatterns x NumOutputs desired outputs pattern
// by pattern. What follows the last desired output is not loaded: at most kTailLook bytes
// of it are looked at, so that the student can be told what was left (see FileTail).
//
// Loading is all or nothing: the whole file is checked before the problem changes, and
// on any failure the problem is exactly as it was.

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

#include "core/network_state.h"
#include "core/progress.h"

namespace files {

// Bytes after the last desired output that are looked at; a longer tail is never read.
inline constexpr std::size_t kTailLook = 65536;

// What follows the last desired output, as far as it was looked at.
struct FileTail {
    long long numbers = 0;      // whole numbers found there
    bool pastLook = false;      // the file goes on past the bytes looked at
    bool text = false;          // something there is not a number
    bool decimalComma = false;  // the loaded part has a comma between two digits, as in 0,5
};

// The line the start page and the batch trainer show for `tail`, or "" when nothing
// follows the last desired output.
std::string TailNote(const FileTail& tail);

// Loads the file at `path` into `problem`: replaces NumOutputs, SecondHeaderValue,
// NumInputs, NumPatterns, InputPatterns and DesiredOutputs, and changes nothing else (the
// caller names the file). A network's problem is replaced with TakeLoadedProblem.
// Returns false, with a message naming the file and the place in `error`, when the file
// cannot be read, ends early, holds a field that is not a finite number, announces a
// count outside 1..32767 or a fractional header value, or needs more memory than there is.
[[nodiscard]] bool LoadTrainingFile(core::Problem& problem, const std::string& path,
                                    std::string& error);

// LoadTrainingFile that reports to `progress` as it goes (total: the file's bytes; staged:
// the bytes read; done: the bytes parsed), reading at most a few MB per read so that a
// stop request is heard soon. A cancelled load fails as any other does,
// with the problem unchanged and error "Loading the training file ... was cancelled.".
[[nodiscard]] bool LoadTrainingFile(core::Problem& problem, const std::string& path,
                                    std::string& error, core::Progress* progress);

// The same, also filling `tail` (when not null) once the load succeeded. Messages call the
// file `kind`: "training file", or "test file" for a file of test patterns.
[[nodiscard]] bool LoadTrainingFile(core::Problem& problem, const std::string& path,
                                    std::string& error, core::Progress* progress, FileTail* tail,
                                    const char* kind = "training file");

// Moves a problem loaded into `loaded` into `net`: the fields LoadTrainingFile replaces.
// Clears TrainedOnProblem and UntrainableReason: whatever the weights are, they were not
// trained on the new problem.
void TakeLoadedProblem(core::PublicStuff& net, core::Problem& loaded);

// Loading straight into a network: the file's problem replaces the network's through
// TakeLoadedProblem, so the training of the old problem is forgotten with it.
[[nodiscard]] bool LoadTrainingFile(core::PublicStuff& net, const std::string& path,
                                    std::string& error);
[[nodiscard]] bool LoadTrainingData(core::PublicStuff& net, std::string_view bytes,
                                    std::string_view name, std::string& error);

// The same for file contents already in memory; `name` stands for the file in messages.
[[nodiscard]] bool LoadTrainingData(core::Problem& problem, std::string_view bytes,
                                    std::string_view name, std::string& error);
[[nodiscard]] bool LoadTrainingData(core::Problem& problem, std::string_view bytes,
                                    std::string_view name, std::string& error, FileTail& tail);

}  // namespace files

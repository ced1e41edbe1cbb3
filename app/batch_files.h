#pragma once

// The files a batch run reads and writes: no two of them may be one file, and every file
// to be written is checked, and its temporary file made, before the training starts.

#include <string>

#include "app/batch_options.h"
#include "files/replacement_file.h"

namespace app {

// Why two of the files the options name are one file, or "". Saving a network over the
// network file it was opened from is allowed: that file is read whole first.
std::string SameFileProblem(const Options& options);

// The targets of --report (unless "-"), --workbook and --save-network, open while the run
// trains.
struct BatchTargets {
    files::ReplacementFile report;
    files::ReplacementFile workbook;
    files::ReplacementFile network;
};

// Opens the targets the options name; false with the first refusal in `error` (a folder,
// a device, a FIFO, a link to nothing, a missing folder), and none left open.
[[nodiscard]] bool OpenTargets(const Options& options, BatchTargets& targets, std::string& error);

}  // namespace app

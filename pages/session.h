#pragma once

// What the window keeps beside the network for as long as the program runs: where the
// files came from and go, whether training is unsaved, and every run since the start.

#include <string>

#include "training/run_history.h"

namespace pages {

struct Session {
    std::string TrainingFolder;  // UTF-8, the folder TrainingFileName was loaded from
    std::string ReportFileName;
    // Whether training went on since the network was last saved or opened: set when a run
    // completes an epoch, cleared by saving or opening a network file. Leaving the program
    // then asks whether to save.
    bool UnsavedTraining = false;
    // Set by the start page when it opens a network file, so that the setup page shows the
    // network as right after its last run; cleared by the setup page once shown.
    bool ShowOpenedRun = false;
    // The network file the network was opened from, in the file system's encoding; "" once a
    // training file is loaded. Saving the network over it is fine; other saves are refused.
    std::string OpenedNetworkFile;
    // The runs kept since the program started, for the graph page and the spreadsheet.
    training::RunHistory Runs;
};

}  // namespace pages

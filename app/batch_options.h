#pragma once

// The batch trainer's command line: its options, the usage text, and reading them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "report/report_writer.h"
#include "training/parameters.h"

namespace app {

extern const char* const kUsage;
// "distmem-batch 1.0": what --version prints.
extern const char* const kVersionLine;

struct Options {
    std::string file;
    std::string rule = "Hebb";
    training::ParameterBoxes boxes{"100", "10", "0.10", "0.05", true};
    bool minErrorRule = false;
    int continueTimes = 0;
    std::string reportPath;
    std::string workbookPath;
    std::string networkPath;  // --save-network
    report::SectionFlags sections = report::DefaultSections;
    std::string date;
    std::string time;
    bool diagnose = false;
    std::string testPath;  // --test: a file of test patterns recalled after training
    bool degrade = false;  // --degrade: how recall degrades, after training
    std::uint64_t seed = 1;
    bool json = false;
    bool quiet = false;
    // FILE is a network file (.h5): it is opened and trained on with its saved settings.
    bool opensNetwork = false;
};

// Reads the arguments; returns an error message, or "" when they are fine.
std::string ParseBatchOptions(const std::vector<std::string_view>& args, Options& options);

}  // namespace app

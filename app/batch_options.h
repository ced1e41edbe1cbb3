#pragma once

// The batch trainer's command line: its options, the usage text, and reading them. Every
// option is one row of a table in batch_options.cpp, which both the usage lines and the
// reading follow.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/cpu_path.h"
#include "report/report_writer.h"
#include "training/parameters.h"

namespace app {

// What --help prints: the usage lines, made from the table of options, and what each form
// does.
std::string BatchUsage();
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
    std::optional<core::CpuPath> cpu;  // --cpu: the kernels' path, checked against the processor
    // FILE is a network file (.h5): it is opened and trained on with its saved settings.
    bool opensNetwork = false;
};

// Reads the arguments; returns an error message, or "" when they are fine.
std::string ParseBatchOptions(const std::vector<std::string_view>& args, Options& options);

}  // namespace app

#include "app/batch_options.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <utility>

#include "files/network_file.h"
#include "text/number_text.h"

#ifndef DAM_PROGRAM_VERSION
#define DAM_PROGRAM_VERSION "unknown"
#endif

namespace app {

const char* const kVersionLine = "distmem-batch " DAM_PROGRAM_VERSION "\n";

namespace {

// Seeds are kept below 2^48 so that a trial's seed times 65536 plus a pattern number stays
// distinct for every trial and pattern.
constexpr long long kMaxSeed = (1LL << 48) - 1;

enum class Argument { None, Value };

// Keeps an option's value ("" for an option without one) in `options`; returns why the
// value is refused, or "".
using Value = const std::string&;
using Store = std::string (*)(Value value, Options& options);

struct Option {
    std::string_view name;
    Argument argument;
    // How the usage lines of each form of the command show it; "" where a form leaves it out.
    std::string_view train;     // a training file
    std::string_view diagnose;  // a training file with --diagnose
    std::string_view network;   // a network file
    // A paragraph of its own in the usage, after the first form's; "" for none.
    std::string_view help;
    // It sets up a new run, which a network file refuses: it trains on with its own.
    bool newRun;
    Store store;
};

std::string keep(Value value, std::string& out) {
    out = value;
    return "";
}

std::string tick(bool& flag) {
    flag = true;
    return "";
}

std::string untick(bool& flag) {
    flag = false;
    return "";
}

std::string fileName(const char* option, Value value, std::string& path) {
    if (value.empty()) {
        return std::string(option) + " needs a file name";
    }
    return keep(value, path);
}

std::string keepRule(Value value, Options& options) {
    if (value != "Hebb" && value != "Delta") {
        return "--rule takes Hebb or Delta, not \"" + value + "\"";
    }
    return keep(value, options.rule);
}

std::string keepContinue(Value value, Options& options) {
    if (value.empty() || value.size() > 5 ||
        value.find_first_not_of("0123456789") != std::string::npos) {
        return "--continue takes a whole number of times, not \"" + value + "\"";
    }
    options.continueTimes = std::stoi(value);
    return "";
}

std::string keepReport(Value value, Options& options) {
    if (value.empty()) {
        return "--report needs a file name, or - for standard output";
    }
    return keep(value, options.reportPath);
}

std::string keepSections(Value value, Options& options) {
    options.sections = {};
    for (const char c : value) {
        if (c < '0' || c > '6') {
            return "--sections takes digits 0 to 6, not \"" + value + "\"";
        }
        options.sections[static_cast<std::size_t>(c - '0')] = true;
    }
    return "";
}

std::string keepNetworkPath(Value value, Options& options) {
    // Only a name ending in .h5 is listed and opened as a network file: any other would
    // turn, say, a training file into one nothing opens.
    if (!value.empty() && !files::IsNetworkFileName(value)) {
        return "--save-network needs a name ending in .h5, not \"" + value + "\"";
    }
    return fileName("--save-network", value, options.networkPath);
}

std::string keepCpu(Value value, Options& options) {
    if (std::string problem = core::CpuPathProblem(value, core::CpuPaths()); !problem.empty()) {
        return problem;
    }
    options.cpu = core::CpuPathNamed(value);
    return "";
}

std::string keepSeed(Value value, Options& options) {
    const auto seed = text::ParseWholeNumber(value, 0, kMaxSeed);
    if (!seed) {
        return "--seed takes a whole number from 0 to " + std::to_string(kMaxSeed) + ", not \"" +
               value + "\"";
    }
    options.seed = static_cast<std::uint64_t>(*seed);
    return "";
}

// The usage text's paragraphs.
constexpr std::string_view kTrainingText =
    "Trains FILE.net as the setup page does (defaults: Hebb, rate 0.10, 100 epochs, a printout\n"
    "every 10) and writes the summary report with the given sections (default 1234), and with\n"
    "--workbook the spreadsheet of the run; with --report - the report goes to standard output\n"
    "and the summary line to standard error. A report or workbook replaces only a plain file\n"
    "(or the file a link points at), and is checked before training; no two of the training\n"
    "file, report, workbook and network file may be one file. While standard error is a\n"
    "terminal, a line there shows the epoch, the total SSE, the time so far and the time left;\n"
    "--quiet leaves it out.\n";

constexpr std::string_view kTestHelp =
    "--test recalls, after training, every pattern of TESTS.net (a training file with the same\n"
    "numbers of inputs and outputs, checked before training): a summary line, then one line per\n"
    "test pattern with its SSE and the test pattern whose desired output is nearest its "
    "response.\n";

constexpr std::string_view kDegradeHelp =
    "--degrade prints, after training, how recall degrades as 0 to 100 % of every pattern's\n"
    "inputs are damaged (as a noisy probe damages them) and as 0 to 100 % of the connections\n"
    "count as zero: the mean SSE per pattern and the percent of patterns recalled, each the\n"
    "mean of 20 trials with seeds S, S+1, ... (default 1).\n"
    "A pattern is recalled when its response is strictly nearer its own desired output than\n"
    "every different desired output of the file; a tie is not recalled.\n";

constexpr std::string_view kJsonHelp =
    "--json prints the result of one of --diagnose, --test and --degrade as one JSON object,\n"
    "with the summary line on standard error.\n";

constexpr std::string_view kCpuHelp =
    "--cpu runs every vector kernel with the given instruction set instead of the best the\n"
    "processor has (the results are the same to the bit; a set the processor lacks is refused).\n";

constexpr std::string_view kLocaleText =
    "Reports use \".\" and \",\" in numbers and MM/DD/YY HH:MM:SS dates whatever the locale, so a\n"
    "batch report is the same on every machine; the windows follow the user's locale.\n";

constexpr std::string_view kDiagnoseText =
    "Prints, without training, what each rule will do on FILE.net at the rate: the patterns'\n"
    "lengths, overlaps and rank, the lowest SSE any weights can give, the Hebb rule's best\n"
    "epoch and the Delta rule's stability; with --json as one JSON object. Nothing is trained,\n"
    "so --report, --workbook and --save-network go with --diagnose only for a NETWORK.h5.\n";

constexpr std::string_view kNetworkText =
    "Opens a network saved with --save-network (or by the program's menu) and, with --continue,\n"
    "trains on with its saved rule, rate and boxes exactly as \"Continue Training\" would;\n"
    "without, trains nothing and writes what is asked for the saved state. --save-network\n"
    "saves the network after training (HDF5, all or nothing, like a report).\n";

constexpr auto kNone = Argument::None;
constexpr auto kValue = Argument::Value;
constexpr bool kNewRun = true;

// Every option, in the order the usage lines show them: its name, whether a value follows
// it, how the usage lines of a training file, of a training file with --diagnose (whose
// first line names that) and of a network file show it, its paragraph of help, whether it
// sets up a new run, and how it is kept.
constexpr Option kOptions[] = {
    {"--rule", kValue, "[--rule Hebb|Delta]", "[--rule Hebb|Delta]", "", "", kNewRun, keepRule},
    {"--rate", kValue, "[--rate R]", "[--rate R]", "", "", kNewRun,
     [](Value v, Options& o) { return keep(v, o.boxes.LRateBox); }},
    {"--epochs", kValue, "[--epochs N]", "", "", "", kNewRun,
     [](Value v, Options& o) { return keep(v, o.boxes.SweepsBox); }},
    {"--print", kValue, "[--print K]", "", "", "", kNewRun,
     [](Value v, Options& o) { return keep(v, o.boxes.PrintSweepsBox); }},
    {"--min-error", kValue, "[--min-error E]", "", "", "", kNewRun,
     [](Value v, Options& o) { return keep(v, o.boxes.MinErrorBox) + tick(o.minErrorRule); }},
    {"--no-max-epochs", kNone, "[--no-max-epochs]", "", "", "", kNewRun,
     [](Value, Options& o) { return untick(o.boxes.maxEpochsTicked); }},
    {"--continue", kValue, "[--continue TIMES]", "", "[--continue TIMES]", "", false, keepContinue},
    {"--report", kValue, "[--report OUT.txt|-]", "", "[--report OUT.txt|-]", "", false, keepReport},
    {"--sections", kValue, "[--sections 0123456]", "", "[--sections ...]", "", false, keepSections},
    {"--date", kValue, "[--date TEXT]", "", "[--date TEXT]", "", false,
     [](Value v, Options& o) { return keep(v, o.date); }},
    {"--time", kValue, "[--time TEXT]", "", "[--time TEXT]", "", false,
     [](Value v, Options& o) { return keep(v, o.time); }},
    {"--workbook", kValue, "[--workbook OUT.xlsx]", "", "[--workbook OUT.xlsx]", "", false,
     [](Value v, Options& o) { return fileName("--workbook", v, o.workbookPath); }},
    {"--save-network", kValue, "[--save-network OUT.h5]", "", "[--save-network OUT.h5]", "", false,
     keepNetworkPath},
    {"--diagnose", kNone, "", "", "[--diagnose [--json]]", "", false,
     [](Value, Options& o) { return tick(o.diagnose); }},
    {"--quiet", kNone, "[--quiet]", "", "[--quiet]", "", false,
     [](Value, Options& o) { return tick(o.quiet); }},
    {"--test", kValue, "[--test TESTS.net]", "", "", kTestHelp, false,
     [](Value v, Options& o) { return fileName("--test", v, o.testPath); }},
    {"--degrade", kNone, "[--degrade [--seed S]]", "", "", kDegradeHelp, false,
     [](Value, Options& o) { return tick(o.degrade); }},
    // Shown within --degrade's brackets, as it goes only with it.
    {"--seed", kValue, "", "", "", "", false, keepSeed},
    {"--json", kNone, "[--json]", "[--json]", "", kJsonHelp, false,
     [](Value, Options& o) { return tick(o.json); }},
    {"--cpu", kValue, "[--cpu avx512|avx2|baseline]", "", "", kCpuHelp, false, keepCpu},
};

// A form's first line followed by the options it shows, wrapped at 90 characters, later
// lines lined up under "usage: distmem-batch ".
std::string synopsis(std::string line, std::string_view Option::*form) {
    constexpr std::size_t kWidth = 90;
    const std::string indent(std::string_view("usage: distmem-batch ").size(), ' ');
    std::string out;
    for (const Option& option : kOptions) {
        const std::string_view shown = option.*form;
        if (shown.empty()) {
            continue;
        }
        if (line.size() + 1 + shown.size() > kWidth) {
            out += line + "\n";
            line = indent;
        } else {
            line += ' ';
        }
        line += shown;
    }
    return out + line + "\n";
}

}  // namespace

std::string BatchUsage() {
    std::string usage = synopsis("usage: distmem-batch FILE.net", &Option::train);
    usage += kTrainingText;
    for (const Option& option : kOptions) {
        usage += option.help;
    }
    usage += kLocaleText;
    usage += synopsis("       distmem-batch FILE.net --diagnose", &Option::diagnose);
    usage += kDiagnoseText;
    usage += synopsis("       distmem-batch NETWORK.h5", &Option::network);
    usage += kNetworkText;
    usage += "       distmem-batch --version | --help\n";
    return usage;
}

std::string ParseBatchOptions(const std::vector<std::string_view>& args, Options& options) {
    std::array<bool, std::size(kOptions)> given{};
    const auto index = [](std::string_view name) {
        return static_cast<std::size_t>(
            std::find_if(std::begin(kOptions), std::end(kOptions),
                         [&](const Option& option) { return option.name == name; }) -
            std::begin(kOptions));
    };
    std::string newRunOption;  // the last option given that sets up a new run
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string_view arg = args[k];
        const std::size_t found = index(arg);
        if (found == given.size()) {
            if (arg.starts_with("--")) {
                return "unknown option " + std::string(arg);
            }
            if (!options.file.empty()) {
                return "more than one training file given";
            }
            options.file = std::string(arg);
            continue;
        }
        const Option& option = kOptions[found];
        given[found] = true;
        if (option.newRun) {
            newRunOption = std::string(arg);
        }
        std::string value;
        if (option.argument == Argument::Value) {
            if (k + 1 >= args.size()) {
                return std::string(arg) + " needs a value";
            }
            value = std::string(args[++k]);
        }
        if (std::string problem = option.store(value, options); !problem.empty()) {
            return problem;
        }
    }
    if (options.file.empty()) {
        return "no training file given";
    }
    const int printsResult =
        (options.diagnose ? 1 : 0) + (options.testPath.empty() ? 0 : 1) + (options.degrade ? 1 : 0);
    if (options.json && printsResult == 0) {
        return "--json goes with --diagnose, --test or --degrade";
    }
    if (options.json && printsResult > 1) {
        return "--json prints one JSON object: give only one of --diagnose, --test and "
               "--degrade with it";
    }
    if (given[index("--seed")] && !options.degrade) {
        return "--seed goes with --degrade";
    }
    if (options.reportPath == "-" && (options.degrade || !options.testPath.empty())) {
        return std::string("--report - and ") + (options.degrade ? "--degrade" : "--test") +
               " would both write to standard output; give --report a file name";
    }
    options.opensNetwork = files::IsNetworkFileName(options.file);
    if (options.diagnose && options.reportPath == "-") {
        return "--report - and --diagnose would both write to standard output; give --report a "
               "file name";
    }
    // Diagnosing trains nothing: from a training file there is no trained network to write.
    if (options.diagnose && !options.opensNetwork) {
        for (const auto& [option, path] : {std::pair{"--report", &options.reportPath},
                                           std::pair{"--workbook", &options.workbookPath},
                                           std::pair{"--save-network", &options.networkPath},
                                           std::pair{"--test", &options.testPath}}) {
            if (!path->empty()) {
                return std::string(option) +
                       " needs a trained network, and --diagnose trains nothing; leave one of "
                       "them out, or diagnose a saved network (.h5)";
            }
        }
    }
    if (options.diagnose && !options.opensNetwork && options.degrade) {
        return "--degrade needs a trained network, and --diagnose trains nothing; leave one of "
               "them out, or diagnose a saved network (.h5)";
    }
    if (options.opensNetwork && !newRunOption.empty()) {
        return newRunOption + " sets up a new run, but " + options.file +
               " is a network file, which trains on with its saved settings (--continue)";
    }
    return "";
}

}  // namespace app

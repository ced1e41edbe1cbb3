#include "app/batch_options.h"

#include <utility>

#include "files/network_file.h"
#include "text/number_text.h"

#ifndef DAM_PROGRAM_VERSION
#define DAM_PROGRAM_VERSION "unknown"
#endif

namespace app {

const char* const kVersionLine = "distmem-batch " DAM_PROGRAM_VERSION "\n";

const char* const kUsage =
    "usage: distmem-batch FILE.net [--rule Hebb|Delta] [--rate R] [--epochs N] [--print K]\n"
    "                     [--min-error E] [--no-max-epochs] [--continue TIMES]\n"
    "                     [--report OUT.txt|-] [--sections 0123456] [--date TEXT] [--time TEXT]\n"
    "                     [--workbook OUT.xlsx] [--save-network OUT.h5] [--quiet]\n"
    "                     [--test TESTS.net] [--degrade [--seed S]] [--json]\n"
    "Trains FILE.net as the setup page does (defaults: Hebb, rate 0.10, 100 epochs, a printout\n"
    "every 10) and writes the summary report with the given sections (default 1234), and with\n"
    "--workbook the spreadsheet of the run; with --report - the report goes to standard output\n"
    "and the summary line to standard error. A report or workbook replaces only a plain file\n"
    "(or the file a link points at), and is checked before training; no two of the training\n"
    "file, report, workbook and network file may be one file. While standard error is a\n"
    "terminal, a line there shows the epoch, the total SSE, the time so far and the time left;\n"
    "--quiet leaves it out.\n"
    "--test recalls, after training, every pattern of TESTS.net (a training file with the same\n"
    "numbers of inputs and outputs, checked before training): a summary line, then one line per\n"
    "test pattern with its SSE and the test pattern whose desired output is nearest its response.\n"
    "--degrade prints, after training, how recall degrades as 0 to 100 % of every pattern's\n"
    "inputs are damaged (as a noisy probe damages them) and as 0 to 100 % of the connections\n"
    "count as zero: the mean SSE per pattern and the percent of patterns recalled, each the\n"
    "mean of 20 trials with seeds S, S+1, ... (default 1).\n"
    "A pattern is recalled when its response is strictly nearer its own desired output than\n"
    "every different desired output of the file; a tie is not recalled.\n"
    "--json prints the result of one of --diagnose, --test and --degrade as one JSON object,\n"
    "with the summary line on standard error.\n"
    "Reports use \".\" and \",\" in numbers and MM/DD/YY HH:MM:SS dates whatever the locale, so a\n"
    "batch report is the same on every machine; the windows follow the user's locale.\n"
    "       distmem-batch FILE.net --diagnose [--rule Hebb|Delta] [--rate R] [--json]\n"
    "Prints, without training, what each rule will do on FILE.net at the rate: the patterns'\n"
    "lengths, overlaps and rank, the lowest SSE any weights can give, the Hebb rule's best\n"
    "epoch and the Delta rule's stability; with --json as one JSON object. Nothing is trained,\n"
    "so --report, --workbook and --save-network go with --diagnose only for a NETWORK.h5.\n"
    "       distmem-batch NETWORK.h5 [--continue TIMES] [--report OUT.txt|-] [--sections ...]\n"
    "                     [--date TEXT] [--time TEXT] [--workbook OUT.xlsx]\n"
    "                     [--save-network OUT.h5] [--diagnose [--json]] [--quiet]\n"
    "Opens a network saved with --save-network (or by the program's menu) and, with --continue,\n"
    "trains on with its saved rule, rate and boxes exactly as \"Continue Training\" would;\n"
    "without, trains nothing and writes what is asked for the saved state. --save-network\n"
    "saves the network after training (HDF5, all or nothing, like a report).\n"
    "       distmem-batch --version | --help\n";

namespace {
// Seeds are kept below 2^48 so that a trial's seed times 65536 plus a pattern number stays
// distinct for every trial and pattern.
constexpr long long kMaxSeed = (1LL << 48) - 1;
}  // namespace

std::string ParseBatchOptions(const std::vector<std::string_view>& args, Options& options) {
    std::string newRunOption;  // the last option given that sets up a new run
    bool seedGiven = false;
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string_view arg = args[k];
        auto value = [&](std::string& out) {
            if (k + 1 >= args.size()) {
                return false;
            }
            out = std::string(args[++k]);
            return true;
        };
        std::string text;
        if (arg == "--rule" || arg == "--rate" || arg == "--epochs" || arg == "--print" ||
            arg == "--min-error" || arg == "--no-max-epochs") {
            newRunOption = std::string(arg);
        }
        if (arg == "--no-max-epochs") {
            options.boxes.maxEpochsTicked = false;
        } else if (arg == "--diagnose") {
            options.diagnose = true;
        } else if (arg == "--degrade") {
            options.degrade = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--rule" || arg == "--rate" || arg == "--epochs" || arg == "--print" ||
                   arg == "--min-error" || arg == "--continue" || arg == "--report" ||
                   arg == "--sections" || arg == "--date" || arg == "--time" ||
                   arg == "--workbook" || arg == "--save-network" || arg == "--test" ||
                   arg == "--seed") {
            if (!value(text)) {
                return std::string(arg) + " needs a value";
            }
            if (arg == "--rule") {
                if (text != "Hebb" && text != "Delta") {
                    return "--rule takes Hebb or Delta, not \"" + text + "\"";
                }
                options.rule = text;
            } else if (arg == "--rate") {
                options.boxes.LRateBox = text;
            } else if (arg == "--epochs") {
                options.boxes.SweepsBox = text;
            } else if (arg == "--print") {
                options.boxes.PrintSweepsBox = text;
            } else if (arg == "--min-error") {
                options.boxes.MinErrorBox = text;
                options.minErrorRule = true;
            } else if (arg == "--continue") {
                if (text.empty() || text.size() > 5 ||
                    text.find_first_not_of("0123456789") != std::string::npos) {
                    return "--continue takes a whole number of times, not \"" + text + "\"";
                }
                options.continueTimes = std::stoi(text);
            } else if (arg == "--report") {
                if (text.empty()) {
                    return "--report needs a file name, or - for standard output";
                }
                options.reportPath = text;
            } else if (arg == "--workbook") {
                if (text.empty()) {
                    return "--workbook needs a file name";
                }
                options.workbookPath = text;
            } else if (arg == "--save-network") {
                if (text.empty()) {
                    return "--save-network needs a file name";
                }
                // Only a name ending in .h5 is listed and opened as a network file: any
                // other would turn, say, a training file into one nothing opens.
                if (!files::IsNetworkFileName(text)) {
                    return "--save-network needs a name ending in .h5, not \"" + text + "\"";
                }
                options.networkPath = text;
            } else if (arg == "--sections") {
                options.sections = {};
                for (const char c : text) {
                    if (c < '0' || c > '6') {
                        return "--sections takes digits 0 to 6, not \"" + text + "\"";
                    }
                    options.sections[static_cast<std::size_t>(c - '0')] = true;
                }
            } else if (arg == "--test") {
                if (text.empty()) {
                    return "--test needs a file name";
                }
                options.testPath = text;
            } else if (arg == "--seed") {
                const auto seed = text::ParseWholeNumber(text, 0, kMaxSeed);
                if (!seed) {
                    return "--seed takes a whole number from 0 to " + std::to_string(kMaxSeed) +
                           ", not \"" + text + "\"";
                }
                options.seed = static_cast<std::uint64_t>(*seed);
                seedGiven = true;
            } else if (arg == "--date") {
                options.date = text;
            } else {
                options.time = text;
            }
        } else if (arg.starts_with("--")) {
            return "unknown option " + std::string(arg);
        } else if (options.file.empty()) {
            options.file = std::string(arg);
        } else {
            return "more than one training file given";
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
    if (seedGiven && !options.degrade) {
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

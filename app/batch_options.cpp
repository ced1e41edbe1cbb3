#include "app/batch_options.h"

#include <utility>

#include "files/network_file.h"

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
    "Trains FILE.net as the setup page does (defaults: Hebb, rate 0.10, 100 epochs, a printout\n"
    "every 10) and writes the summary report with the given sections (default 1234), and with\n"
    "--workbook the spreadsheet of the run; with --report - the report goes to standard output\n"
    "and the summary line to standard error. A report or workbook replaces only a plain file\n"
    "(or the file a link points at), and is checked before training; no two of the training\n"
    "file, report, workbook and network file may be one file. While standard error is a\n"
    "terminal, a line there shows the epoch, the total SSE, the time so far and the time left;\n"
    "--quiet leaves it out.\n"
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

std::string ParseBatchOptions(const std::vector<std::string_view>& args, Options& options) {
    std::string newRunOption;  // the last option given that sets up a new run
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
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--rule" || arg == "--rate" || arg == "--epochs" || arg == "--print" ||
                   arg == "--min-error" || arg == "--continue" || arg == "--report" ||
                   arg == "--sections" || arg == "--date" || arg == "--time" ||
                   arg == "--workbook" || arg == "--save-network") {
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
                options.networkPath = text;
            } else if (arg == "--sections") {
                options.sections = {};
                for (const char c : text) {
                    if (c < '0' || c > '6') {
                        return "--sections takes digits 0 to 6, not \"" + text + "\"";
                    }
                    options.sections[static_cast<std::size_t>(c - '0')] = true;
                }
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
    if (options.json && !options.diagnose) {
        return "--json goes with --diagnose";
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
                                           std::pair{"--save-network", &options.networkPath}}) {
            if (!path->empty()) {
                return std::string(option) +
                       " needs a trained network, and --diagnose trains nothing; leave one of "
                       "them out, or diagnose a saved network (.h5)";
            }
        }
    }
    if (options.opensNetwork && !newRunOption.empty()) {
        return newRunOption + " sets up a new run, but " + options.file +
               " is a network file, which trains on with its saved settings (--continue)";
    }
    return "";
}

}  // namespace app

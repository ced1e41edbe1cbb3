#include "app/batch_files.h"

#include <vector>

#include "files/network_file.h"
#include "files/same_file.h"
#include "report/workbook_writer.h"

namespace app {

namespace {

struct NamedFile {
    std::string option;  // "" for the training file
    std::string path;
};

}  // namespace

std::string SameFileProblem(const Options& options) {
    // Every file a run touches, by the option that names it; a new one is one more line.
    const std::vector<NamedFile> named = {
        {"", options.file},
        {"--report", options.reportPath == "-" ? std::string() : options.reportPath},
        {"--workbook", options.workbookPath},
        {"--save-network", options.networkPath},
        {"--test", options.testPath},
    };
    for (std::size_t a = 0; a < named.size(); ++a) {
        for (std::size_t b = a + 1; b < named.size(); ++b) {
            if (named[a].path.empty() || named[b].path.empty() ||
                !files::SameFile(named[a].path, named[b].path)) {
                continue;
            }
            if (a == 0 && options.opensNetwork && named[b].option == "--save-network") {
                continue;
            }
            if (a == 0) {
                return named[b].option +
                       " names the training file itself; choose another file name";
            }
            return named[a].option + " and " + named[b].option +
                   " name the same file; choose another name for one of them";
        }
    }
    return "";
}

bool OpenTargets(const Options& options, BatchTargets& targets, std::string& error) {
    const bool opened =
        (options.reportPath.empty() || options.reportPath == "-" ||
         targets.report.open(options.reportPath, "Cannot write the report", error)) &&
        (options.workbookPath.empty() ||
         targets.workbook.open(options.workbookPath, report::WorkbookWhat, error)) &&
        (options.networkPath.empty() ||
         targets.network.open(options.networkPath, files::SaveNetworkWhat, error));
    if (!opened) {
        targets.report.discard();
        targets.workbook.discard();
        targets.network.discard();
    }
    return opened;
}

}  // namespace app

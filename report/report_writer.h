#pragma once

// The plain-text summary report of a training run.
//
// Layout: a fixed header, then up to seven sections in a fixed order (flags 1, 2, 3, 4,
// 0, 5, 6). Values are followed by a TAB each; every line ends CR CR LF except the data
// rows of the SSE history, which end CR LF. The responses and errors sections recall each
// pattern with the current weights before writing its row.

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "core/network_state.h"
#include "core/progress.h"
#include "text/number_format.h"
#include "training/run_history.h"

namespace report {

// Section flags, indexed like the save page's check boxes.
using SectionFlags = std::array<bool, 7>;
inline constexpr SectionFlags DefaultSections = {false, true, true, true, true, false, false};

enum Section {
    InputPatternsSection = 0,
    GeneralSection = 1,
    ResponsesSection = 2,
    ErrorsSection = 3,
    WeightsSection = 4,
    DesiredOutputsSection = 5,
    SSEHistorySection = 6,
};

struct ReportContext {
    text::NumberSeparators separators;
    // The current date and time as the user's short-date and time texts. The time is read
    // after the date line has been written.
    std::function<std::string()> date;
    std::function<std::string()> time;
    // Threads that format large tables: 0 for one per core.
    int threads = 0;
    // Counts the bytes (WriteReport) or cells (the workbook) written so far, after each piece
    // and once more before the file replaces the target; a stop request heard then cancels
    // the file, which fails with a message saying so, leaving the target and no temporary
    // file. Null for none.
    core::Progress* progress = nullptr;
    // For the workbook's "Runs" sheet: the program's runs (null, or none on this file:
    // the network's own history as its one run).
    const training::RunHistory* runs = nullptr;
};

// Where the report's bytes go as they are produced, in pieces of a few MB at most.
// Returning false, with a message in `error`, stops the report with that message.
using ReportSink = std::function<bool(std::string_view bytes, std::string& error)>;

// The report passed to `sink` section by section as it is produced, with the checks and
// messages of ReportText; the memory it takes beyond the network is bounded (some tens of
// MB). On failure part of the report may already have gone to the sink.
[[nodiscard]] bool StreamReport(core::PublicStuff& net, const SectionFlags& flags,
                                const ReportContext& context, const ReportSink& sink,
                                std::string& error);

// The whole report as bytes. Changes nothing in `net` but the unit records the recall
// sets. Returns false, with a message in `error`, when a recall overflows, the counts
// are outside 1..32767, the weights were not trained on the loaded file (see
// core::NotTrainedProblem) or memory runs out; nothing is produced then.
[[nodiscard]] bool ReportText(core::PublicStuff& net, const SectionFlags& flags,
                              const ReportContext& context, std::string* text, std::string& error);

// Recalls pattern p with the current weights, as the responses and errors sections do.
// Returns false, with "<what>: recalling pattern p failed (reason)." in `error`, when the
// recall cannot be computed; the unit records are unchanged then.
[[nodiscard]] bool RecallPattern(core::PublicStuff& net, int p, std::string_view what,
                                 std::string& error);

// Writes the report to `path`, all or nothing: the text streams into a temporary file in
// the same folder, which replaces `path` only once it is completely written and flushed. On
// failure `path` is untouched and error says what failed, naming the path and the
// reason. Only a plain file (or a link to one) is replaced; see files::ReplacementFile.
[[nodiscard]] bool WriteReport(core::PublicStuff& net, const std::string& path,
                               const SectionFlags& flags, const ReportContext& context,
                               std::string& error);

}  // namespace report

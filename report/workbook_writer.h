#pragma once

// The spreadsheet of a training run: one workbook with the run's settings, the SSE
// history and its chart, the weights as a heat map, the patterns, and the responses and
// errors of a recall of every pattern.
//
// Sheets, in order: "Training", "SSE By Sweeps", "Weights", "Input Patterns", "Desired
// Outputs", "Responses", "Errors", "Runs" (every run of the training file, see
// ReportContext::runs). A matrix wider than a sheet continues on "Weights (2)",
// "Weights (3)", ... with 16,383 value columns each. Every number is a numeric cell with
// 16 significant digits; the largest doubles, whose 16 digits would read back as infinity,
// are written as +-1.797693134862315e308. Texts are written as UTF-8, any invalid byte in
// them as U+FFFD.

#include <string>

#include "core/network_state.h"
#include "files/replacement_file.h"
#include "report/report_writer.h"

namespace report {

// The sheets are streamed row by row (temporary files in the target's folder), so memory
// stays flat at any size. Writes all or nothing: the workbook replaces `path` only once it
// is complete. Changes nothing in `net` but the unit records the recall sets. Only the
// context's date, time, runs and progress are used: progress gets WorkbookCellCount as its
// total and counts the cells written every 65,536 cells and once before the file replaces
// `path`; a stop request heard then cancels the workbook with a message saying so.
//
// Returns false, with a message naming the path and the reason in `error`, when the file
// cannot be written, memory runs out, or a recall cannot be computed; `path` is untouched
// and no temporary file is left then.
[[nodiscard]] bool WriteWorkbook(core::PublicStuff& net, const std::string& path,
                                 const ReportContext& context, std::string& error);

// How ReplacementFile messages of a workbook begin.
inline constexpr const char* WorkbookWhat = "Cannot write the workbook";

// The same into a target the caller opened (with WorkbookWhat) before long work, so that a
// bad name is refused first. Commits the target on success; discards it on failure.
[[nodiscard]] bool WriteWorkbook(core::PublicStuff& net, files::ReplacementFile& target,
                                 const ReportContext& context, std::string& error);

// About how many number cells WriteWorkbook writes for `net`, the total its progress
// counts towards.
long long WorkbookCellCount(const core::PublicStuff& net);

// Whether the workbook of a network of these sizes is written with the zip's 64-bit
// records: when its largest sheet (weights, patterns, responses or errors) holds so many
// cells that its XML may pass 4 GiB.
bool WorkbookNeedsZip64(int inputs, int outputs, int patterns);

// Value columns per sheet: a sheet's 16,384 columns less the header column.
inline constexpr int WorkbookColumnsPerSheet = 16383;

}  // namespace report

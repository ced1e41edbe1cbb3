#pragma once

// The spreadsheet of a training run: one workbook with the run's settings, the SSE
// history and its chart, the weights as a heat map, the patterns, and the responses and
// errors of a recall of every pattern.
//
// Sheets, in order: "Training", "SSE By Sweeps", "Weights", "Input Patterns", "Desired
// Outputs", "Responses", "Errors". A matrix wider than a sheet continues on "Weights (2)",
// "Weights (3)", ... with 16,383 value columns each. Every number is a numeric cell with
// 16 significant digits.

#include <string>

#include "core/network_state.h"
#include "report/report_writer.h"

namespace report {

// The sheets are streamed row by row (temporary files in the target's folder), so memory
// stays flat at any size. Writes all or nothing: the workbook replaces `path` only once it
// is complete. Changes nothing in `net` but the unit records the recall sets. Only the
// context's date, time and progress are used: progress hears the cells written so far
// every 65,536 cells and once before the file replaces `path`, and returning false
// cancels the workbook with a message saying so.
//
// Returns false, with a message naming the path and the reason in `error`, when the file
// cannot be written, memory runs out, or a recall cannot be computed; `path` is untouched
// and no temporary file is left then.
[[nodiscard]] bool WriteWorkbook(core::PublicStuff& net, const std::string& path,
                                 const ReportContext& context, std::string& error);

// About how many number cells WriteWorkbook writes for `net`, the total its progress
// counts towards.
long long WorkbookCellCount(const core::PublicStuff& net);

// Value columns per sheet: a sheet's 16,384 columns less the header column.
inline constexpr int WorkbookColumnsPerSheet = 16383;

}  // namespace report

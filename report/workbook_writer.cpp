#include "report/workbook_writer.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/arithmetic.h"
#include "core/pattern_recall.h"
#include "files/path_names.h"
#include "files/replacement_file.h"
#include "text/number_format.h"
#include "text/utf8.h"

namespace report {

namespace {

constexpr const char* kWhat = WorkbookWhat;
constexpr const char* kRefused = "The workbook cannot be written";

// The graph page's chart, and the heat map's ends (white is 0).
constexpr const char* kChartTitle = "Total Sum Of Squared Error As A Function Of Training Sweeps";
constexpr const char* kSweepAxis = "Sweeps Of Training";
constexpr const char* kSSEAxis = "Network SSE";
constexpr lxw_color_t kBarFill = 0xC8C8C8;
constexpr lxw_color_t kNegative = 0x5A8AC6;
constexpr lxw_color_t kZero = 0xFFFFFF;
constexpr lxw_color_t kPositive = 0xF8696B;

// A sheet part holding more cells than this may get its XML past 4 GiB (a cell takes at
// most about 60 bytes): the zip then needs its 64-bit records, which some older readers
// warn about, so they are used only then.
constexpr long long kZip64Cells = 50'000'000;

// The library writes numbers with 16 significant digits, which turns the largest doubles
// into text past the double range (1.797693134862316E+308) that readers take as infinity.
// This is the largest double whose 16 digits stay in range.
constexpr double kLargestWritten = 1.797693134862315e308;

double writable(double v) {
    return std::clamp(v, -kLargestWritten, kLargestWritten);
}

using Book = std::unique_ptr<lxw_workbook, decltype(&lxw_workbook_free)>;

std::string number(long long n) {
    return text::FormatInteger(n);
}

// Fills the workbook; remembers the first failure and ignores every call after it.
class Cells {
  public:
    // `progress` (may be empty) hears the cells written now and then; returning false
    // stops the filling with `cancelled` as the refusal.
    Cells(lxw_workbook* book, core::Progress* progress, std::string cancelled)
        : m_book(book), m_progress(progress), m_cancelled(std::move(cancelled)) {}

    bool ok() const { return m_status == LXW_NO_ERROR && m_refusal.empty(); }
    lxw_error status() const { return m_status; }
    const std::string& refusal() const { return m_refusal; }
    lxw_workbook* book() const { return m_book; }

    lxw_worksheet* addSheet(const std::string& name) {
        lxw_worksheet* sheet = workbook_add_worksheet(m_book, name.c_str());
        if (sheet == nullptr) {
            check(LXW_ERROR_MEMORY_MALLOC_FAILED);
        }
        return sheet;
    }
    void text(lxw_worksheet* sheet, int row, int col, const std::string& value) {
        if (ok()) {
            // File names and typed dates may be in any encoding; one bad byte in the XML
            // makes readers refuse the whole workbook.
            check(worksheet_write_string(sheet, static_cast<lxw_row_t>(row),
                                         static_cast<lxw_col_t>(col),
                                         text::ValidUtf8(value).c_str(), nullptr));
        }
    }
    // NaN and infinity have no cell form; the program never holds them, so one is a fault.
    void value(lxw_worksheet* sheet, int row, int col, double v) {
        if (!std::isfinite(v)) {
            refuse(std::string(kRefused) + ": a value is not a finite number.");
        }
        if (ok()) {
            check(worksheet_write_number(sheet, static_cast<lxw_row_t>(row),
                                         static_cast<lxw_col_t>(col), writable(v), nullptr));
        }
        if (++m_cells % kCellsPerProgress == 0) {
            goOn();
        }
    }
    // Asks `progress` whether to go on; false after a cancel (or any earlier failure).
    bool goOn() {
        if (m_progress != nullptr) {
            m_progress->setDone(m_cells);
        }
        if (ok() && core::StopRequested(m_progress)) {
            refuse(m_cancelled);
        }
        return ok();
    }
    void check(lxw_error status) {
        if (m_status == LXW_NO_ERROR) {
            m_status = status;
        }
    }
    void refuse(std::string message) {
        if (ok()) {
            m_refusal = std::move(message);
        }
    }

  private:
    static constexpr long long kCellsPerProgress = 1 << 16;

    lxw_workbook* m_book;
    core::Progress* m_progress;
    std::string m_cancelled;
    long long m_cells = 0;
    lxw_error m_status = LXW_NO_ERROR;
    std::string m_refusal;
};

// One matrix with a header row and column, over as many sheets as its columns need.
// Rows are written in increasing order, as the streaming mode requires of every sheet.
class SplitSheet {
  public:
    SplitSheet(Cells& cells, const std::string& name, int columns) : m_cells(cells) {
        const int parts =
            std::max(1, (columns + WorkbookColumnsPerSheet - 1) / WorkbookColumnsPerSheet);
        for (int k = 0; k < parts; ++k) {
            m_parts.push_back(
                cells.addSheet(k == 0 ? name : name + " (" + std::to_string(k + 1) + ")"));
        }
        m_columns = columns;
    }

    // Row 1: A1 empty, then `prefix` 1, `prefix` 2, ... for `units` columns.
    void headings(const char* prefix, int units) {
        for (int u = 1; u <= units; ++u) {
            heading(u, prefix + std::string(" ") + number(u));
        }
    }
    void heading(int column, const std::string& text) {
        m_cells.text(part(column), 0, local(column), text);
    }
    void rowLabel(int row, const std::string& text) {
        for (lxw_worksheet* sheet : m_parts) {
            m_cells.text(sheet, row, 0, text);
        }
    }
    void value(int row, int column, double v) {
        m_cells.value(part(column), row, local(column), v);
    }

    // Value columns 1..n of each part, for formats over a part's values.
    template <typename F>
    void forEachPart(F f) const {
        for (std::size_t k = 0; k < m_parts.size(); ++k) {
            const int first = static_cast<int>(k) * WorkbookColumnsPerSheet;
            f(m_parts[k], std::min(WorkbookColumnsPerSheet, m_columns - first));
        }
    }

  private:
    lxw_worksheet* part(int column) const {
        return m_parts[static_cast<std::size_t>((column - 1) / WorkbookColumnsPerSheet)];
    }
    static int local(int column) { return (column - 1) % WorkbookColumnsPerSheet + 1; }

    Cells& m_cells;
    std::vector<lxw_worksheet*> m_parts;
    int m_columns = 0;
};

std::string stoppingRules(const core::PublicStuff& net) {
    if (net.MaxSweepsRule && net.MinErrorRule) {
        return "Maximum epochs and minimum error";
    }
    if (net.MaxSweepsRule) {
        return "Maximum epochs";
    }
    return net.MinErrorRule ? "Minimum error" : "None";
}

void trainingSheet(Cells& cells, lxw_worksheet* sheet, const core::PublicStuff& net,
                   const ReportContext& context) {
    int row = 0;
    const auto text = [&](const char* label, const std::string& value) {
        cells.text(sheet, row, 0, label);
        cells.text(sheet, row++, 1, value);
    };
    const auto value = [&](const char* label, double v) {
        cells.text(sheet, row, 0, label);
        cells.value(sheet, row++, 1, v);
    };
    worksheet_set_column(sheet, 0, 0, 20, nullptr);
    worksheet_set_column(sheet, 1, 1, 32, nullptr);
    text("Training file", net.TrainingFileName);
    text("Learning rule", std::string(core::RuleName(net.LearningRule)));
    value("Learning rate", net.LearningRate);
    value("Epochs trained", net.SweepCount);
    value("Maximum epochs", net.MaxSweeps);
    value("Printout interval", net.PrintSweeps);
    value("Minimum error", net.MinError);
    text("Stopping rules", stoppingRules(net));
    value("Total SSE", net.TotalSSE);
    value("Inputs", net.NumInputs);
    value("Outputs", net.NumOutputs);
    value("Patterns", net.NumPatterns);
    text("Date", context.date ? context.date() : std::string());
    text("Time", context.time ? context.time() : std::string());
}

void historySheet(Cells& cells, lxw_worksheet* sheet, const std::string& name,
                  const core::PublicStuff& net) {
    cells.text(sheet, 0, 0, "Epoch");
    cells.text(sheet, 0, 1, "Total SSE");
    const int rows = std::clamp<int>(net.SSEHistoryCount, 0, core::SSEHistoryRows);
    for (int k = 1; k <= rows; ++k) {
        const auto& entry = net.SSEHistory[static_cast<std::size_t>(k)];
        cells.value(sheet, k, 0, entry[1]);
        cells.value(sheet, k, 1, entry[2]);
    }
    if (rows == 0 || !cells.ok()) {
        return;  // no bars to draw
    }
    lxw_chart* chart = workbook_add_chart(cells.book(), LXW_CHART_COLUMN);
    lxw_chart_series* series =
        chart == nullptr ? nullptr : chart_add_series(chart, nullptr, nullptr);
    if (series == nullptr) {
        cells.check(LXW_ERROR_MEMORY_MALLOC_FAILED);
        return;
    }
    const auto last = static_cast<lxw_row_t>(rows);
    chart_series_set_categories(series, name.c_str(), 1, 0, last, 0);
    chart_series_set_values(series, name.c_str(), 1, 1, last, 1);
    lxw_chart_fill fill{};
    fill.color = kBarFill;
    chart_series_set_fill(series, &fill);
    lxw_chart_line edge{};
    edge.color = LXW_COLOR_BLACK;
    chart_series_set_line(series, &edge);
    chart_title_set_name(chart, kChartTitle);
    chart_axis_set_name(chart->x_axis, kSweepAxis);
    chart_axis_set_name(chart->y_axis, kSSEAxis);
    chart_legend_set_position(chart, LXW_CHART_LEGEND_NONE);
    lxw_chart_options place{};
    place.x_scale = 2.0;
    place.y_scale = 1.5;
    cells.check(worksheet_insert_chart_opt(sheet, 1, 3, chart, &place));
}

// Blue at the most negative weight, white at 0, red at the most positive, the same
// distance either way so that equal colours mean equal sizes.
void heatMap(Cells& cells, const SplitSheet& sheet, int rows, double largest) {
    lxw_conditional_format scale{};
    scale.type = LXW_CONDITIONAL_3_COLOR_SCALE;
    scale.min_rule_type = LXW_CONDITIONAL_RULE_TYPE_NUMBER;
    scale.mid_rule_type = LXW_CONDITIONAL_RULE_TYPE_NUMBER;
    scale.max_rule_type = LXW_CONDITIONAL_RULE_TYPE_NUMBER;
    const double bound = largest > 0.0 ? writable(largest) : 1.0;
    scale.min_value = -bound;
    scale.mid_value = 0.0;
    scale.max_value = bound;
    scale.min_color = kNegative;
    scale.mid_color = kZero;
    scale.max_color = kPositive;
    sheet.forEachPart([&](lxw_worksheet* part, int columns) {
        cells.check(worksheet_conditional_format_range(part, 1, 1, static_cast<lxw_row_t>(rows),
                                                       static_cast<lxw_col_t>(columns), &scale));
    });
}

void weightRows(Cells& cells, SplitSheet& sheet, const core::PublicStuff& net) {
    double largest = 0.0;
    sheet.headings("Input", net.NumInputs);
    for (int j = 1; j <= net.NumOutputs && cells.ok(); ++j) {
        sheet.rowLabel(j, "Output " + number(j));
        for (int i = 1; i <= net.NumInputs; ++i) {
            const double w = net.Weights.Weight(j, i);
            largest = std::max(largest, std::fabs(w));
            sheet.value(j, i, w);
        }
    }
    heatMap(cells, sheet, net.NumOutputs, largest);
}

void patternRows(Cells& cells, SplitSheet& sheet, const core::PatternTable& table, const char* unit,
                 int units, int patterns) {
    sheet.headings(unit, units);
    for (int p = 1; p <= patterns && cells.ok(); ++p) {
        sheet.rowLabel(p, "Pattern " + number(p));
        for (int u = 1; u <= units; ++u) {
            sheet.value(p, u, table(u, p));
        }
    }
}

// Both sheets row by row from one recall of each pattern, made a piece of patterns at a
// time on all cores. The units end as recalling the patterns one by one leaves them: by
// the last pattern, or on a failure by the pattern that recall stopped at.
void recallRows(Cells& cells, SplitSheet& responses, SplitSheet& errors, core::PublicStuff& net) {
    const int outputs = net.NumOutputs;
    responses.headings("Output", outputs);
    errors.headings("Output", outputs);
    errors.heading(outputs + 1, "Pattern SSE");
    const auto stride = static_cast<std::size_t>(outputs) + 1;
    // About 8 MB of recalls per piece, in whole runs of four patterns.
    const int fit = static_cast<int>((std::size_t{1} << 19) / stride) / core::RecallManyMax;
    const int piece = std::min(std::max(fit, 1) * core::RecallManyMax, net.NumPatterns);
    std::vector<double> sums(static_cast<std::size_t>(piece) * stride);
    std::vector<double> misses(sums.size());
    core::PatternRecall recall;
    std::string problem;
    for (int first = 1; first <= net.NumPatterns && cells.ok(); first += piece) {
        const int count = std::min(piece, net.NumPatterns - first + 1);
        const int finite = recall.recall(net, first, count, sums.data(), misses.data());
        for (int g = 0; g < count && cells.ok(); ++g) {
            const int p = first + g;
            if (g == finite) {
                if (p > 1) {
                    (void)RecallPattern(net, p - 1, kRefused, problem);
                }
                (void)RecallPattern(net, p, kRefused, problem);  // fails as the recall did
                cells.refuse(problem);
                return;
            }
            const double* response = sums.data() + static_cast<std::size_t>(g) * stride;
            const double* error = misses.data() + static_cast<std::size_t>(g) * stride;
            const std::string label = "Pattern " + number(p);
            responses.rowLabel(p, label);
            errors.rowLabel(p, label);
            double sse = 0.0;  // as core::PatternSSE adds
            for (int j = 1; j <= outputs; ++j) {
                responses.value(p, j, response[j]);
                errors.value(p, j, error[j]);
                sse = sse + error[j] * error[j];
            }
            if (!std::isfinite(sse)) {
                (void)RecallPattern(net, p, kRefused, problem);
                cells.refuse(std::string(kRefused) + ": the squared errors of pattern " +
                             number(p) + " add up beyond the range of double precision.");
                return;
            }
            errors.value(p, outputs + 1, sse);
        }
    }
    if (cells.ok()) {
        (void)RecallPattern(net, net.NumPatterns, kRefused, problem);
    }
}

// The system's reason where the library failed in a system call, its own text otherwise.
std::string reasonFor(lxw_error status, int code) {
    switch (status) {
        case LXW_ERROR_MEMORY_MALLOC_FAILED:
            return files::SystemReason(ENOMEM);
        case LXW_ERROR_CREATING_XLSX_FILE:
        case LXW_ERROR_CREATING_TMPFILE:
        case LXW_ERROR_READING_TMPFILE:
        case LXW_ERROR_ZIP_FILE_OPERATION:
        case LXW_ERROR_ZIP_FILE_ADD:
        case LXW_ERROR_ZIP_CLOSE:
            if (code != 0) {
                return files::SystemReason(code);
            }
            break;
        default:
            break;
    }
    std::string text = lxw_strerror(status);
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

// One pair of columns (epoch, total SSE) per run of the training file, headed by the run's
// legend; rows in order, as the streamed sheet needs them.
void runsSheet(Cells& cells, lxw_worksheet* sheet, const core::PublicStuff& net,
               const ReportContext& context) {
    std::vector<const training::Run*> runs;
    if (context.runs != nullptr) {
        runs = context.runs->RunsOn(core::ProblemKey(net));
    }
    training::RunHistory own;
    if (runs.empty()) {
        own.RecordTraining(net, net, true);
        for (const training::Run& run : own.runs()) {
            runs.push_back(&run);
        }
    }
    std::size_t rows = 0;
    for (std::size_t k = 0; k < runs.size(); ++k) {
        const int col = 2 * static_cast<int>(k);
        cells.text(sheet, 0, col, training::RunLegend(*runs[k]));
        rows = std::max(rows, runs[k]->history.size());
    }
    for (std::size_t k = 0; k < runs.size(); ++k) {
        cells.text(sheet, 1, 2 * static_cast<int>(k), "Epoch");
        cells.text(sheet, 1, 2 * static_cast<int>(k) + 1, "Total SSE");
    }
    for (std::size_t r = 0; r < rows && cells.ok(); ++r) {
        for (std::size_t k = 0; k < runs.size(); ++k) {
            if (r < runs[k]->history.size()) {
                const auto& [epoch, sse] = runs[k]->history[r];
                cells.value(sheet, static_cast<int>(r) + 2, 2 * static_cast<int>(k), epoch);
                cells.value(sheet, static_cast<int>(r) + 2, 2 * static_cast<int>(k) + 1, sse);
            }
        }
    }
}

bool fill(Cells& cells, core::PublicStuff& net, const ReportContext& context) {
    // Every sheet exists before any is written: their order is the order of creation.
    const std::string history = "SSE By Sweeps";
    lxw_worksheet* training = cells.addSheet("Training");
    lxw_worksheet* sse = cells.addSheet(history);
    SplitSheet weights(cells, "Weights", net.NumInputs);
    SplitSheet inputs(cells, "Input Patterns", net.NumInputs);
    SplitSheet desired(cells, "Desired Outputs", net.NumOutputs);
    SplitSheet responses(cells, "Responses", net.NumOutputs);
    SplitSheet errors(cells, "Errors", net.NumOutputs + 1);
    lxw_worksheet* runs = cells.addSheet("Runs");
    if (!cells.ok()) {
        return false;
    }
    trainingSheet(cells, training, net, context);
    historySheet(cells, sse, history, net);
    weightRows(cells, weights, net);
    patternRows(cells, inputs, net.InputPatterns, "Input", net.NumInputs, net.NumPatterns);
    patternRows(cells, desired, net.DesiredOutputs, "Output", net.NumOutputs, net.NumPatterns);
    recallRows(cells, responses, errors, net);
    runsSheet(cells, runs, net, context);
    return cells.ok();
}

bool writeTo(files::ReplacementFile& file, core::PublicStuff& net, const ReportContext& context,
             std::string& error) {
    const std::string& target = file.targetPath();

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    // The streamed rows go to the system's temporary folder, not the student's: the library
    // removes each of its files right after creating it, and a signal in that moment would
    // leave an empty file beside the workbook.
    options.tmpdir = nullptr;
    options.use_zip64 =
        WorkbookNeedsZip64(net.NumInputs, net.NumOutputs, net.NumPatterns) ? LXW_TRUE : LXW_FALSE;
    Book book(workbook_new_opt(file.temporaryPath().c_str(), &options), &lxw_workbook_free);
    if (!book) {
        error = std::string(kWhat) + " \"" + target + "\": " + files::SystemReason(ENOMEM) + ".";
        return false;
    }
    if (context.progress != nullptr) {
        context.progress->setTotal(WorkbookCellCount(net));
    }
    Cells cells(book.get(), context.progress,
                "Saving the spreadsheet \"" + target + "\" was cancelled; the file is unchanged.");
    if (!fill(cells, net, context) || !cells.goOn()) {
        error = !cells.refusal().empty() ? cells.refusal()
                                         : std::string(kWhat) + " \"" + target +
                                               "\": " + reasonFor(cells.status(), 0) + ".";
        return false;
    }
    errno = 0;
    const lxw_error closed = workbook_close(book.release());  // frees the workbook
    const int code = errno;
    if (closed != LXW_NO_ERROR) {
        error = std::string(kWhat) + " \"" + target + "\": " + reasonFor(closed, code) + ".";
        return false;
    }
    if (!cells.goOn()) {  // a cancel while the workbook was closed
        error = cells.refusal();
        return false;
    }
    return file.commit(error);
}

// Why `net` cannot have a workbook, or "".
std::string refusalFor(const core::PublicStuff& net) {
    if (!net.NetworkMatchesProblem()) {
        return std::string(kRefused) + ": " + core::Describe(core::ArithStatus::BadArguments) + ".";
    }
    if (const std::string untrained = core::NotTrainedProblem(net); !untrained.empty()) {
        return std::string(kRefused) + ". " + untrained;
    }
    return {};
}

}  // namespace

bool WriteWorkbook(core::PublicStuff& net, const std::string& path, const ReportContext& context,
                   std::string& error) {
    if (std::string refusal = refusalFor(net); !refusal.empty()) {
        error = std::move(refusal);
        return false;
    }
    try {
        files::ReplacementFile file;
        return file.open(path, kWhat, error) && WriteWorkbook(net, file, context, error);
    } catch (const std::bad_alloc&) {
        error = std::string(kWhat) + " \"" + path + "\": " + files::SystemReason(ENOMEM) + ".";
        return false;
    }
}

bool WriteWorkbook(core::PublicStuff& net, files::ReplacementFile& target,
                   const ReportContext& context, std::string& error) {
    bool written = false;
    if (std::string refusal = refusalFor(net); !refusal.empty()) {
        error = std::move(refusal);
    } else {
        try {
            written = writeTo(target, net, context, error);
        } catch (const std::bad_alloc&) {
            error = std::string(kWhat) + " \"" + target.targetPath() +
                    "\": " + files::SystemReason(ENOMEM) + ".";
        }
    }
    if (!written) {
        target.discard();
    }
    return written;
}

bool WorkbookNeedsZip64(int inputs, int outputs, int patterns) {
    // The cells of one sheet part, its header row and column included.
    const auto part = [](long long rows, long long columns) {
        return (rows + 1) * (std::min<long long>(columns, WorkbookColumnsPerSheet) + 1);
    };
    const long long largest = std::max({part(outputs, inputs), part(patterns, inputs),
                                        part(patterns, static_cast<long long>(outputs) + 1)});
    return largest > kZip64Cells;
}

long long WorkbookCellCount(const core::PublicStuff& net) {
    const long long outputs = net.NumOutputs;
    const long long inputs = net.NumInputs;
    const long long patterns = net.NumPatterns;
    const long long training = 9;  // the "Training" sheet's numbers
    return training + 2LL * net.SSEHistoryCount + outputs * inputs + patterns * inputs +
           patterns * outputs + patterns * (2 * outputs + 1);
}

}  // namespace report

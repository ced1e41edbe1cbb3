#include "report/report_writer.h"

#include "core/arithmetic.h"
#include "core/pattern_recall.h"
#include "core/worker_pool.h"
#include "files/replacement_file.h"
#include "report/ordered_rows.h"

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <thread>
#include <vector>

namespace report {

namespace {

constexpr const char* kLineEnd = "\r\r\n";
constexpr const char* kRowEnd = "\r\n";  // SSE-history data rows only
constexpr const char* kSectionRule = "=============================================";
constexpr const char* kSubRule = "---------------";

// Text passes through a buffer of about kFlushBytes on its way to the sink; tables large
// enough to matter are formatted by all threads in batches of about kRowBatchBytes
// (ordered_rows.h). Together they bound the report's memory, whatever the network's size.
constexpr std::size_t kFlushBytes = std::size_t{4} << 20;
constexpr long long kParallelValues = 1 << 16;

class Writer {
  public:
    Writer(const ReportSink& sink, const ReportContext& context)
        : m_sink(sink), m_separators(context.separators), m_threads(context.threads) {
        m_out.reserve(kFlushBytes + 4096);
    }

    void line(const std::string& text) {
        m_out += text;
        endLine();
    }
    void text(const std::string& text) { m_out += text; }
    void value(double v) {
        text::AppendSigned2(m_out, v, m_separators);
        m_out += '\t';
    }
    void endLine() {
        m_out += kLineEnd;
        flushWhenFull();
    }
    // For text appended directly; endRow() follows it.
    std::string& buffer() { return m_out; }
    // The strings large tables are formatted into on the threads, kept from table to table.
    std::vector<std::string>& runs() { return m_runs; }
    // After text that carries its own line end.
    void endRow() { flushWhenFull(); }
    void endHistoryRow() {
        m_out += kRowEnd;
        flushWhenFull();
    }

    // Passes on what is buffered; false, with the sink's message in `error`, when it fails.
    bool flush(std::string& error) {
        if (!m_failed && !m_out.empty()) {
            m_failed = !m_sink(m_out, m_error);
        }
        m_out.clear();
        if (m_failed) {
            error = m_error;
        }
        return !m_failed;
    }
    bool failed() const { return m_failed; }

    // Passes on bytes formatted elsewhere, after the buffered ones.
    void pass(const std::string& bytes) {
        flushWhenFull(true);
        if (!m_failed && !bytes.empty()) {
            m_failed = !m_sink(bytes, m_error);
        }
    }

    const text::NumberSeparators& separators() const { return m_separators; }

    // The threads for a large table, started at its first use; null when the table is
    // small or the report is to be written by one thread.
    core::WorkerPool* poolFor(bool large) {
        if (!large || m_threads == 1) {
            return nullptr;
        }
        if (!m_pool) {
            const int all = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
            m_pool = std::make_unique<core::WorkerPool>(m_threads > 0 ? m_threads : all);
        }
        return m_pool.get();
    }

  private:
    void flushWhenFull(bool always = false) {
        if ((always || m_out.size() >= kFlushBytes) && !m_out.empty()) {
            if (!m_failed) {
                m_failed = !m_sink(m_out, m_error);
            }
            m_out.clear();
        }
    }

    const ReportSink& m_sink;
    const text::NumberSeparators& m_separators;
    int m_threads;
    std::string m_out;
    std::vector<std::string> m_runs;
    std::string m_error;
    bool m_failed = false;
    std::unique_ptr<core::WorkerPool> m_pool;
};

std::string number(long long n) {
    return text::FormatInteger(n);
}

// One table row: `prefix`, TAB, every column's value, the line end.
template <typename Value>
void appendRow(std::string& out, const std::string& prefix, int row, int columns,
               const Value& value, const text::NumberSeparators& seps) {
    out += prefix;
    out += number(row);
    out += '\t';
    // The values gathered a stretch at a time for the cell writer.
    constexpr int kStretch = 256;
    std::array<double, kStretch> values{};
    for (int c = 1; c <= columns; c += kStretch) {
        const int n = std::min(kStretch, columns - c + 1);
        for (int k = 0; k < n; ++k) {
            values[static_cast<std::size_t>(k)] = value(row, c + k);
        }
        text::AppendSigned2Cells(out, values.data(), n, seps);
    }
    out += kLineEnd;
}

// Rows 1..rows of a table of values.
template <typename Value>
void tableRows(Writer& out, const std::string& prefix, int rows, int columns, const Value& value) {
    const bool large = static_cast<long long>(rows) * columns >= kParallelValues;
    (void)OrderedRows(out, out.poolFor(large), rows, columns, [&](std::string& text, int r, int) {
        appendRow(text, prefix, r, columns, value, out.separators());
        return true;
    });
}

// A piece of the patterns' recalls. One recall gives both the responses and the errors, so
// the errors section takes the piece the responses section left when it is the same one
// (every pattern fits in one piece but for the largest networks).
struct RecalledPiece {
    std::vector<double> sums;
    std::vector<double> misses;
    int first = 0;
    int count = 0;  // 0: nothing recalled yet
    int finite = 0;
};

// "Pattern p", TAB, then the recall's net input (responses) or error of every output unit:
// the rows of the responses and errors sections. The patterns are recalled a piece at a
// time on all threads, and the piece's rows formatted on all threads; then the last
// pattern is recalled once more into the units, which leaves them as recalling the
// patterns one by one would. On an overflow that recall is of the pattern before the
// failing one, and the failing one's recall gives the message.
bool recallRows(core::PublicStuff& net, Writer& out, bool errors, RecalledPiece& recalled,
                std::string& error) {
    const int outputs = net.NumOutputs;
    const auto stride = static_cast<std::size_t>(outputs) + 1;
    const bool parallel =
        net.NumPatterns > 1 &&
        static_cast<long long>(net.NumPatterns) * outputs * (net.NumInputs + 8) >= (1 << 20);
    // About 8 MB of recalls per piece, in whole runs of four patterns.
    const int fit = static_cast<int>((std::size_t{1} << 19) / stride) / core::RecallManyMax;
    const int piece = std::min(std::max(fit, 1) * core::RecallManyMax, net.NumPatterns);
    recalled.sums.resize(static_cast<std::size_t>(piece) * stride);
    recalled.misses.resize(recalled.sums.size());
    core::WorkerPool* pool = out.poolFor(parallel);
    std::unique_ptr<core::PatternRecall> recall;
    int failed = 0;
    for (int first = 1; first <= net.NumPatterns && failed == 0 && !out.failed(); first += piece) {
        const int count = std::min(piece, net.NumPatterns - first + 1);
        if (recalled.first != first || recalled.count != count) {
            if (!recall) {
                recall = pool != nullptr ? std::make_unique<core::PatternRecall>(*pool)
                                         : std::make_unique<core::PatternRecall>(1);
            }
            recalled.finite =
                recall->recall(net, first, count, recalled.sums.data(), recalled.misses.data());
            recalled.first = first;
            recalled.count = count;
        }
        const int finite = recalled.finite;
        const double* table = errors ? recalled.misses.data() : recalled.sums.data();
        (void)OrderedRows(out, pool, finite, outputs, [&](std::string& text, int r, int) {
            const double* values = table + static_cast<std::size_t>(r - 1) * stride;
            text += "Pattern ";
            text += number(first + r - 1);
            text += '\t';
            text::AppendSigned2Cells(text, values + 1, outputs, out.separators());
            text += kLineEnd;
            return true;
        });
        if (finite < count) {
            failed = first + finite;
        }
    }
    const std::string_view what = "The report cannot be written";
    if (failed == 0) {
        return RecallPattern(net, net.NumPatterns, what, error);
    }
    if (failed > 1) {
        (void)RecallPattern(net, failed - 1, what, error);
    }
    (void)RecallPattern(net, failed, what, error);  // fails as it did in the piece
    return false;
}

void patternRows(const core::PatternTable& table, int units, int patterns, Writer& out) {
    tableRows(out, "Pattern ", patterns, units, [&table](int p, int u) { return table(u, p); });
}

}  // namespace

bool RecallPattern(core::PublicStuff& net, int p, std::string_view what, std::string& error) {
    const core::ArithStatus status = core::ComputeResponses(net, p);
    if (status != core::ArithStatus::Ok) {
        error = std::string(what) + ": recalling pattern " + number(p) + " failed (" +
                core::Describe(status) + ").";
        return false;
    }
    return true;
}

namespace {

// The checks before any text; false with the message.
bool reportable(const core::PublicStuff& net, std::string& message) {
    if (!net.NetworkMatchesProblem()) {
        message = "The report cannot be written: " +
                  std::string(core::Describe(core::ArithStatus::BadArguments)) + ".";
        return false;
    }
    if (const std::string untrained = core::NotTrainedProblem(net); !untrained.empty()) {
        message = "The report cannot be written. " + untrained;
        return false;
    }
    return true;
}

bool streamReport(core::PublicStuff& net, const SectionFlags& flags, const ReportContext& context,
                  const ReportSink& sink, std::string& message) {
    if (!reportable(net, message)) {
        return false;
    }
    Writer w(sink, context);
    RecalledPiece recalled;

    w.line("Distributed Associative Memory Program");
    w.line(kSectionRule);
    w.line("");
    w.line("Results Of Training With File: " + net.TrainingFileName);
    w.line("Date Of Analysis: " + context.date());
    w.line("Time Of Analysis: " + context.time());
    w.line(kSectionRule);

    if (flags[GeneralSection]) {
        w.line("Learning rule: " + std::string(core::RuleName(net.LearningRule)));
        w.line("Learning rate: " + text::FormatGeneral(net.LearningRate, w.separators()));
        w.line("Training completed after " + number(net.SweepCount) + " epochs");
        w.line(kSectionRule);
    }
    if (flags[ResponsesSection]) {
        w.line("Network Responses To Each Input Pattern:");
        w.line(kSubRule);
        if (!recallRows(net, w, false, recalled, message)) {
            return false;
        }
        w.line(kSectionRule);
    }
    if (flags[ErrorsSection]) {
        w.line("After training, sum of squared error was: " +
               text::FormatGeneral(net.TotalSSE, w.separators()));
        w.line("Network Response Errors To Each Input Pattern:");
        w.line(kSubRule);
        if (!recallRows(net, w, true, recalled, message)) {
            return false;
        }
        w.line(kSectionRule);
    }
    if (flags[WeightsSection]) {
        w.line("Connection weights from input units (rows) to output units (columns):");
        w.line(kSubRule);
        w.text("\t");
        for (int j = 1; j <= net.NumOutputs; ++j) {
            w.text("Out " + number(j) + "\t");
        }
        w.endLine();
        const core::ConnectionMatrix& weights = net.Weights;
        tableRows(w, "INP ", net.NumInputs, net.NumOutputs,
                  [&weights](int i, int j) { return weights.Weight(j, i); });
        w.line(kSectionRule);
    }
    if (flags[InputPatternsSection]) {
        w.line("The set of input patterns was:");
        w.line(kSubRule);
        patternRows(net.InputPatterns, net.NumInputs, net.NumPatterns, w);
        w.line(kSectionRule);
    }
    if (flags[DesiredOutputsSection]) {
        w.line("The set of desired outputs was:");
        w.line(kSubRule);
        patternRows(net.DesiredOutputs, net.NumOutputs, net.NumPatterns, w);
        w.line(kSectionRule);
    }
    if (flags[SSEHistorySection]) {
        w.line("Network SSE as a function of sweeps of training was:");
        w.line(kSubRule);
        w.line("Sweeps\tNetwork SSE");
        const int rows = std::min<int>(net.SSEHistoryCount, core::SSEHistoryRows);
        for (int k = 1; k <= rows; ++k) {
            const auto& row = net.SSEHistory[static_cast<std::size_t>(k)];
            w.text(text::FormatStandard(row[1], w.separators()) + "\t" +
                   text::FormatScientific(row[2], w.separators()));
            w.endHistoryRow();
        }
        w.line(kSectionRule);
    }
    return w.flush(message);
}

}  // namespace

bool StreamReport(core::PublicStuff& net, const SectionFlags& flags, const ReportContext& context,
                  const ReportSink& sink, std::string& error) {
    std::string& message = error;
    try {
        return streamReport(net, flags, context, sink, message);
    } catch (const std::bad_alloc&) {
        // The network is untouched: only the text was being built.
        message =
            "The report cannot be written: there is not enough memory to build it. The "
            "trained network is kept; choose fewer sections and try again.";
        return false;
    }
}

bool ReportText(core::PublicStuff& net, const SectionFlags& flags, const ReportContext& context,
                std::string* text, std::string& error) {
    std::string out;
    const ReportSink append = [&out](std::string_view bytes, std::string&) {
        out += bytes;
        return true;
    };
    if (!StreamReport(net, flags, context, append, error)) {
        return false;
    }
    *text = std::move(out);
    return true;
}

bool WriteReport(core::PublicStuff& net, const std::string& path, const SectionFlags& flags,
                 const ReportContext& context, std::string& error) {
    std::string& message = error;
    if (!reportable(net, message)) {
        return false;
    }
    files::ReplacementFile file;
    bool opened = false;
    try {
        opened = file.open(path, "Cannot write the report", message);
    } catch (const std::bad_alloc&) {
        message = "Cannot write the report \"" + path + "\": there is not enough memory.";
        return false;
    }
    if (!opened) {
        // A report that cannot be produced is named before a file that cannot be written,
        // as when the text was built first: the recalls run once more, into nothing.
        std::string failure;
        const ReportSink nothing = [](std::string_view, std::string&) { return true; };
        if (!StreamReport(net, flags, context, nothing, failure)) {
            message = failure;
        }
        return false;
    }
    long long written = 0;
    const auto goOn = [&context, &written, &path](std::string& failure) {
        if (context.progress != nullptr) {
            context.progress->setDone(written);
        }
        if (!core::StopRequested(context.progress)) {
            return true;
        }
        failure = "Saving the report \"" + path + "\" was cancelled; the file is unchanged.";
        return false;
    };
    const ReportSink toFile = [&](std::string_view bytes, std::string& failure) {
        written += static_cast<long long>(bytes.size());
        return file.write(bytes, failure) && goOn(failure);
    };
    // On any failure the file's destructor removes the temporary file.
    return StreamReport(net, flags, context, toFile, message) && goOn(message) &&
           file.commit(message);
}

}  // namespace report

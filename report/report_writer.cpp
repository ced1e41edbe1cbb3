#include "report/report_writer.h"

#include "core/arithmetic.h"
#include "core/replacement_file.h"

#include <new>

namespace report {

namespace {

constexpr const char* kLineEnd = "\r\r\n";
constexpr const char* kRowEnd = "\r\n";  // SSE-history data rows only
constexpr const char* kSectionRule = "=============================================";
constexpr const char* kSubRule = "---------------";

class Writer {
  public:
    Writer(std::string& out, const core::NumberSeparators& separators)
        : m_out(out), m_separators(separators) {}

    void line(const std::string& text) {
        m_out += text;
        m_out += kLineEnd;
    }
    void text(const std::string& text) { m_out += text; }
    void value(double v) {
        m_out += core::FormatSigned2(v, m_separators);
        m_out += '\t';
    }
    void endLine() { m_out += kLineEnd; }
    void endHistoryRow() { m_out += kRowEnd; }

    const core::NumberSeparators& separators() const { return m_separators; }

  private:
    std::string& m_out;
    const core::NumberSeparators& m_separators;
};

std::string number(long long n) {
    return core::FormatInteger(n);
}

// "Pattern p", TAB, then the recall's field of every output unit: the rows of the
// responses and errors sections.
bool recallRows(core::PublicStuff& net, Writer& out, double core::UnitRecord::*field,
                std::string* error) {
    for (int p = 1; p <= net.NumPatterns; ++p) {
        out.text("Pattern " + number(p) + "\t");
        if (!RecallPattern(net, p, "The report cannot be written", error)) {
            return false;
        }
        for (int j = 1; j <= net.NumOutputs; ++j) {
            out.value(net.OutputUnits[static_cast<std::size_t>(j)].*field);
        }
        out.endLine();
    }
    return true;
}

void patternRows(const core::PatternTable& table, int units, int patterns, Writer& out) {
    for (int p = 1; p <= patterns; ++p) {
        out.text("Pattern " + number(p) + "\t");
        for (int u = 1; u <= units; ++u) {
            out.value(table(u, p));
        }
        out.endLine();
    }
}

}  // namespace

bool RecallPattern(core::PublicStuff& net, int p, std::string_view what, std::string* error) {
    const core::ArithStatus status = core::ComputeResponses(net, p);
    if (status != core::ArithStatus::Ok) {
        *error = std::string(what) + ": recalling pattern " + number(p) + " failed (" +
                 core::Describe(status) + ").";
        return false;
    }
    return true;
}

namespace {

bool buildReport(core::PublicStuff& net, const SectionFlags& flags, const ReportContext& context,
                 std::string* text, std::string* message) {
    if (!net.NetworkMatchesProblem()) {
        *message = "The report cannot be written: " +
                   std::string(core::Describe(core::ArithStatus::BadArguments)) + ".";
        return false;
    }
    if (const std::string untrained = core::NotTrainedProblem(net); !untrained.empty()) {
        *message = "The report cannot be written. " + untrained;
        return false;
    }
    std::string out;
    Writer w(out, context.separators);

    w.line("Distributed Associative Memory Program");
    w.line(kSectionRule);
    w.line("");
    w.line("Results Of Training With File: " + net.TrainingFileName);
    w.line("Date Of Analysis: " + context.date());
    w.line("Time Of Analysis: " + context.time());
    w.line(kSectionRule);

    if (flags[GeneralSection]) {
        w.line("Learning rule: " + net.LearningRule);
        w.line("Learning rate: " + core::FormatGeneral(net.LearningRate, w.separators()));
        w.line("Training completed after " + number(net.SweepCount) + " epochs");
        w.line(kSectionRule);
    }
    if (flags[ResponsesSection]) {
        w.line("Network Responses To Each Input Pattern:");
        w.line(kSubRule);
        if (!recallRows(net, w, &core::UnitRecord::Activation, message)) {
            return false;
        }
        w.line(kSectionRule);
    }
    if (flags[ErrorsSection]) {
        w.line("After training, sum of squared error was: " +
               core::FormatGeneral(net.TotalSSE, w.separators()));
        w.line("Network Response Errors To Each Input Pattern:");
        w.line(kSubRule);
        if (!recallRows(net, w, &core::UnitRecord::Error, message)) {
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
        for (int i = 1; i <= net.NumInputs; ++i) {
            w.text("INP " + number(i) + "\t");
            for (int j = 1; j <= net.NumOutputs; ++j) {
                w.value(net.Weights.Weight(j, i));
            }
            w.endLine();
        }
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
            w.text(core::FormatStandard(row[1], w.separators()) + "\t" +
                   core::FormatScientific(row[2], w.separators()));
            w.endHistoryRow();
        }
        w.line(kSectionRule);
    }
    *text = std::move(out);
    return true;
}

}  // namespace

bool ReportText(core::PublicStuff& net, const SectionFlags& flags, const ReportContext& context,
                std::string* text, std::string* error) {
    std::string problem;
    std::string* message = error != nullptr ? error : &problem;
    try {
        return buildReport(net, flags, context, text, message);
    } catch (const std::bad_alloc&) {
        // The network is untouched: only the text was being built.
        *message =
            "The report cannot be written: there is not enough memory to build it. The "
            "trained network is kept; choose fewer sections and try again.";
        return false;
    }
}

bool WriteReport(core::PublicStuff& net, const std::string& path, const SectionFlags& flags,
                 const ReportContext& context, std::string* error) {
    std::string problem;
    std::string* message = error != nullptr ? error : &problem;
    std::string text;
    if (!ReportText(net, flags, context, &text, message)) {
        return false;
    }
    try {
        core::ReplacementFile file;
        return file.open(path, "Cannot write the report", message) && file.write(text, message) &&
               file.commit(message);
    } catch (const std::bad_alloc&) {
        *message = "Cannot write the report \"" + path + "\": there is not enough memory.";
        return false;
    }
}

}  // namespace report

#include "fuzz_body.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <exception>
#include <new>
#include <vector>

#include "core/arithmetic.h"
#include "core/epoch_kernel.h"
#include "files/loader.h"
#include "report/report_writer.h"
#include "text/number_format.h"
#include "training/training_run.h"

namespace fuzzbody {

namespace {

using core::ArithStatus;
using core::PublicStuff;

constexpr std::string_view kName = "fuzz.net";

// Rates from harmless to absurd; the last byte of the input picks one (a final line break
// gives 0.1, a blank 1e300, CR 2, a tab -0).
constexpr std::array<double, 6> kRates = {0.0, 2.0, 1e300, -0.0, 0.1, 1e-300};

// The problem the "used" network holds before each load.
constexpr std::string_view kBaseline =
    "2 7 3 2\n"
    "1 0 -1\n"
    "0.5 0.25 1\n"
    "1 0\n"
    "0 -1\n";

std::uint64_t bits(double v) {
    return std::bit_cast<std::uint64_t>(v);
}

std::size_t ui(int k) {
    return static_cast<std::size_t>(k);
}

std::string text(long long v) {
    return text::FormatInteger(v);
}

// Thrown to end the checks at the first violation.
struct Violation {
    std::string what;
};

void require(bool holds, const std::string& what) {
    if (!holds) {
        throw Violation{what};
    }
}

void requireEmpty(const std::string& difference, const std::string& when) {
    if (!difference.empty()) {
        throw Violation{when + ": " + difference};
    }
}

std::string unitDifference(const std::vector<core::UnitRecord>& a,
                           const std::vector<core::UnitRecord>& b, const char* layer) {
    if (a.size() != b.size()) {
        return std::string(layer) + " unit count " + text(static_cast<long long>(a.size())) +
               " vs " + text(static_cast<long long>(b.size()));
    }
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (bits(a[k].NetInput) != bits(b[k].NetInput) ||
            bits(a[k].Activation) != bits(b[k].Activation) ||
            bits(a[k].Error) != bits(b[k].Error)) {
            return std::string(layer) + " unit " + text(static_cast<long long>(k));
        }
    }
    return {};
}

std::string weightDifference(const core::ConnectionMatrix& a, const core::ConnectionMatrix& b) {
    if (a.outputs() != b.outputs() || a.inputs() != b.inputs()) {
        return "weight matrix size";
    }
    for (int j = 1; j <= a.outputs(); ++j) {
        for (int i = 1; i <= a.inputs(); ++i) {
            if (bits(a.Weight(j, i)) != bits(b.Weight(j, i))) {
                return "Weight(" + text(j) + ", " + text(i) + ")";
            }
            if (bits(a.Change(j, i)) != bits(b.Change(j, i))) {
                return "Change(" + text(j) + ", " + text(i) + ")";
            }
        }
    }
    return {};
}

std::string tableDifference(const core::PatternTable& a, const core::PatternTable& b,
                            const char* name) {
    if (a.units() != b.units() || a.patterns() != b.patterns() || a.exists() != b.exists()) {
        return std::string(name) + " size";
    }
    if (!a.exists()) {
        return {};
    }
    for (int p = 1; p <= a.patterns(); ++p) {
        for (int u = 1; u <= a.units(); ++u) {
            if (bits(a(u, p)) != bits(b(u, p))) {
                return std::string(name) + "(" + text(u) + ", " + text(p) + ")";
            }
        }
    }
    return {};
}

// The loaded problem: what a load replaces.
std::string problemDifference(const PublicStuff& a, const PublicStuff& b) {
    if (a.NumOutputs != b.NumOutputs || a.SecondHeaderValue != b.SecondHeaderValue ||
        a.NumInputs != b.NumInputs || a.NumPatterns != b.NumPatterns) {
        return "header";
    }
    if (std::string d = tableDifference(a.InputPatterns, b.InputPatterns, "InputPatterns");
        !d.empty()) {
        return d;
    }
    return tableDifference(a.DesiredOutputs, b.DesiredOutputs, "DesiredOutputs");
}

// Everything but the problem and the workspace. With `units` false the unit records are
// left out (a report may recall).
std::string networkDifference(const PublicStuff& a, const PublicStuff& b, bool units = true) {
    if (units) {
        if (std::string d = unitDifference(a.InputUnits, b.InputUnits, "input"); !d.empty()) {
            return d;
        }
        if (std::string d = unitDifference(a.OutputUnits, b.OutputUnits, "output"); !d.empty()) {
            return d;
        }
    }
    if (std::string d = weightDifference(a.Weights, b.Weights); !d.empty()) {
        return d;
    }
    if (bits(a.TotalSSE) != bits(b.TotalSSE)) {
        return "TotalSSE";
    }
    if (a.SweepCount != b.SweepCount || a.SSEHistoryCount != b.SSEHistoryCount ||
        a.SSEHistory != b.SSEHistory) {
        return "epoch count or SSE history";
    }
    if (a.TrainingFileName != b.TrainingFileName || a.LearningRule != b.LearningRule ||
        bits(a.LearningRate) != bits(b.LearningRate) || a.FreshStart != b.FreshStart ||
        a.MaxSweeps != b.MaxSweeps || a.PrintSweeps != b.PrintSweeps ||
        bits(a.MinError) != bits(b.MinError)) {
        return "file name or training parameters";
    }
    return {};
}

const PublicStuff& baseline() {
    static const PublicStuff net = [] {
        PublicStuff made;
        std::string error;
        if (!files::LoadTrainingData(made, kBaseline, "baseline.net", error)) {
            std::terminate();
        }
        made.TrainingFileName = "baseline.net";
        made.CreateUnitsAndWeights();
        made.LearningRate = 0.25;
        made.LearningRule = core::Rule::Delta;
        if (core::LearnDelta(made, 2) != ArithStatus::Ok) {
            std::terminate();
        }
        return made;
    }();
    return net;
}

void requireFinite(const PublicStuff& net, const std::string& when) {
    requireEmpty(firstNonFinite(net), when);
    for (int k = 1; k <= net.SSEHistoryCount; ++k) {
        const auto& row = net.SSEHistory[ui(k)];
        require(std::isfinite(row[1]) && std::isfinite(row[2]),
                when + ": SSE history row " + text(k) + " is not finite");
    }
}

// The input units show pattern p.
void requireInputsOf(const PublicStuff& net, int p, const std::string& step) {
    for (int i = 1; i <= net.NumInputs; ++i) {
        require(bits(net.InputUnits[ui(i)].Activation) == bits(net.InputPatterns(i, p)),
                step + " left input unit " + text(i) + " off the pattern");
    }
}

// A guarded step either succeeds with everything finite, or is refused with nothing changed.
void checkGuardedStep(ArithStatus status, const PublicStuff& before, const PublicStuff& after,
                      const std::string& step) {
    if (status == ArithStatus::Ok) {
        requireFinite(after, step);
        return;
    }
    require(status == ArithStatus::Overflow, step + " refused a valid pattern");
    requireEmpty(networkDifference(after, before), step + " failed but changed the network");
}

// The single steps on the first few patterns, and their refusal of patterns that do not exist.
void checkSteps(PublicStuff& net) {
    const int steps = std::min(net.NumPatterns, 4);
    for (int p = 1; p <= steps; ++p) {
        const std::string of = " of pattern " + text(p);
        PublicStuff before = net;
        const ArithStatus hebb = core::LearnHebb(net, p);
        checkGuardedStep(hebb, before, net, "LearnHebb" + of);
        if (hebb == ArithStatus::Ok) {
            for (int j = 1; j <= net.NumOutputs; ++j) {
                require(bits(net.OutputUnits[ui(j)].Activation) == bits(net.DesiredOutputs(j, p)),
                        "LearnHebb" + of + " did not clamp output unit " + text(j));
            }
            requireInputsOf(net, p, "LearnHebb" + of);
        }

        before = net;
        const ArithStatus recall = core::ComputeResponses(net, p);
        checkGuardedStep(recall, before, net, "ComputeResponses" + of);
        if (recall == ArithStatus::Ok) {
            requireInputsOf(net, p, "ComputeResponses" + of);
            for (int j = 1; j <= net.NumOutputs; ++j) {
                const core::UnitRecord& unit = net.OutputUnits[ui(j)];
                require(bits(unit.Activation) == bits(unit.NetInput) &&
                            bits(unit.Error) == bits(net.DesiredOutputs(j, p) - unit.Activation),
                        "ComputeResponses" + of + " left inconsistent output unit " + text(j));
            }
            (void)core::PatternSSE(net);  // may overflow; callers check
        }

        before = net;
        checkGuardedStep(core::LearnDelta(net, p), before, net, "LearnDelta" + of);
    }
    for (const int p : {0, -1, net.NumPatterns + 1}) {
        const PublicStuff before = net;
        const std::string of = " of pattern " + text(p);
        require(core::ComputeResponses(net, p) == ArithStatus::BadArguments,
                "ComputeResponses accepted" + of);
        require(core::LearnHebb(net, p) == ArithStatus::BadArguments, "LearnHebb accepted" + of);
        require(core::LearnDelta(net, p) == ArithStatus::BadArguments, "LearnDelta accepted" + of);
        requireEmpty(networkDifference(net, before), "a refused pattern changed the network");
    }
}

// One epoch through the kernel against the same epoch as plain steps: both succeed with the
// same bits, or both fail and the kernel leaves the network as it was.
void checkKernelEpoch(const PublicStuff& net, bool hebb) {
    const std::string rule = hebb ? "Hebb" : "Delta";
    PublicStuff kernelNet = net;
    core::EpochKernel kernel(1);
    const ArithStatus status = kernel.trainEpoch(kernelNet, hebb);

    PublicStuff plain = net;
    bool plainOk = true;
    double total = 0.0;
    for (int p = 1; plainOk && p <= plain.NumPatterns; ++p) {
        plainOk =
            (hebb ? core::LearnHebb(plain, p) : core::LearnDelta(plain, p)) == ArithStatus::Ok &&
            core::ComputeResponses(plain, p) == ArithStatus::Ok;
        total = total + core::PatternSSE(plain);
        plainOk = plainOk && std::isfinite(total);
    }

    if (status != ArithStatus::Ok) {
        require(status == ArithStatus::Overflow, rule + " epoch refused a valid network");
        requireEmpty(networkDifference(kernelNet, net), rule + " epoch failed but changed");
        require(!plainOk, rule + " epoch overflowed where the plain steps did not");
        return;
    }
    requireFinite(kernelNet, rule + " epoch");
    require(plainOk, rule + " epoch succeeded where the plain steps overflowed");
    plain.TotalSSE = total;
    requireEmpty(networkDifference(kernelNet, plain), rule + " epoch differs from the plain steps");
}

class CountingObserver final : public training::RunObserver {
  public:
    void printout(const training::Printout& printout) override {
        ++printouts;
        finite = finite && std::isfinite(printout.TotalSSE) && std::isfinite(printout.SSEChange);
    }

    int printouts = 0;
    bool finite = true;
};

// A run of `epochs` epochs: ends by the rule or an undone overflow, prints every epoch.
void checkRun(PublicStuff& net, const char* rule, std::int16_t fresh, int epochs) {
    const std::string what = std::string(rule) + " run from epoch " + text(net.SweepCount);
    net.LearningRule = core::RuleNamed(rule).value();
    net.FreshStart = fresh;
    const int start = fresh == 1 ? 0 : net.SweepCount;
    net.MaxSweeps = static_cast<std::int16_t>(start + epochs);
    net.PrintSweeps = 1;
    net.MinError = 0.0;
    CountingObserver observer;
    const training::RunResult result = training::RunTraining(net, {true, false}, observer);

    requireFinite(net, what);
    require(observer.finite, what + ": a printout was not finite");
    require(observer.printouts == net.SweepCount - start,
            what + ": " + text(observer.printouts) + " printouts for " +
                text(net.SweepCount - start) + " epochs");
    require(net.SSEHistoryCount >= 0 && net.SSEHistoryCount <= core::SSEHistoryRows,
            what + ": SSE history count out of range");
    if (result.end == training::RunEnd::RuleMet) {
        require(net.SweepCount == net.MaxSweeps, what + ": ended early");
        require(result.message.empty(), what + ": message after a normal end");
        require(net.SSEHistoryCount >= 1 &&
                    bits(net.SSEHistory[ui(net.SSEHistoryCount)][2]) == bits(net.TotalSSE),
                what + ": last history row is not the TotalSSE");
    } else {
        require(result.end == training::RunEnd::ArithmeticFailure,
                what + ": ended for a reason other than the rule or an overflow");
        require(!result.message.empty(), what + ": failed without a message");
    }
}

void checkReport(PublicStuff& net) {
    report::SectionFlags all{};
    all.fill(true);
    const report::ReportContext context{text::NumberSeparators{},
                                        [] { return std::string("1/2/2003"); },
                                        [] { return std::string("4:05:06 PM"); }};
    const PublicStuff before = net;
    std::string report;
    std::string error;
    const bool written = report::ReportText(net, all, context, &report, error);
    requireEmpty(networkDifference(net, before, false), "the report changed the network");
    requireEmpty(problemDifference(net, before), "the report changed the problem");
    requireFinite(net, "report");
    if (!written) {
        require(!error.empty(), "the report failed without a message");
        require(report.empty(), "a failed report produced text");
        return;
    }
    require(report.size() > 100, "the report is almost empty");
    for (const char* bad : {"inf\t", "nan\t", "inf\r", "nan\r"}) {
        require(report.find(bad) == std::string::npos, "the report shows a non-finite value");
    }
}

void train(PublicStuff& net, unsigned char choice) {
    net.TrainingFileName = std::string(kName);
    net.CreateUnitsAndWeights();
    net.LearningRate = kRates[choice % kRates.size()];
    require(core::ZeroWeights(net) == ArithStatus::Ok, "ZeroWeights refused a loaded network");
    requireFinite(net, "ZeroWeights");

    checkSteps(net);
    checkKernelEpoch(net, true);
    checkKernelEpoch(net, false);

    const bool hebbFirst = (choice / kRates.size()) % 2 == 0;
    checkRun(net, hebbFirst ? "Hebb" : "Delta", 1, 2);
    checkRun(net, hebbFirst ? "Delta" : "Hebb", 0, 2);
    checkReport(net);
}

void exercise(std::string_view bytes, Outcome& outcome) {
    PublicStuff fresh;
    std::string freshError;
    outcome.loaded = files::LoadTrainingData(fresh, bytes, kName, freshError);

    const PublicStuff& base = baseline();
    PublicStuff used = base;
    std::string usedError;
    const bool usedLoaded = files::LoadTrainingData(used, bytes, kName, usedError);
    require(usedLoaded == outcome.loaded, "loads into one network but not into another");
    requireEmpty(networkDifference(used, base), "a load changed more than the problem");

    if (!outcome.loaded) {
        require(!freshError.empty(), "a failed load gave no message");
        require(freshError == usedError, "a failed load gave two different messages");
        requireEmpty(problemDifference(used, base), "a failed load changed the problem");
        requireEmpty(problemDifference(fresh, PublicStuff{}),
                     "a failed load changed a fresh network");
        return;
    }
    requireEmpty(problemDifference(used, fresh), "two loads of the same bytes differ");
    for (const int count : {fresh.NumInputs, fresh.NumOutputs, fresh.NumPatterns}) {
        require(count >= 1 && count <= core::MaxCount, "a load accepted a count of " + text(count));
    }
    require(fresh.InputPatterns.units() == fresh.NumInputs &&
                fresh.InputPatterns.patterns() == fresh.NumPatterns &&
                fresh.DesiredOutputs.units() == fresh.NumOutputs &&
                fresh.DesiredOutputs.patterns() == fresh.NumPatterns,
            "loaded tables do not match the header");
    for (int p = 1; p <= fresh.NumPatterns; ++p) {
        for (int i = 1; i <= fresh.NumInputs; ++i) {
            require(std::isfinite(fresh.InputPatterns(i, p)), "a load accepted a non-finite input");
        }
        for (int j = 1; j <= fresh.NumOutputs; ++j) {
            require(std::isfinite(fresh.DesiredOutputs(j, p)),
                    "a load accepted a non-finite desired output");
        }
    }

    const long long size =
        static_cast<long long>(fresh.NumInputs) * fresh.NumOutputs * fresh.NumPatterns;
    if (size > TrainLimit) {
        return;
    }
    outcome.trained = true;
    train(fresh, static_cast<unsigned char>(bytes.back()));
}

}  // namespace

std::string firstNonFinite(const PublicStuff& net) {
    auto units = [](const std::vector<core::UnitRecord>& layer, const char* name) -> std::string {
        for (std::size_t k = 0; k < layer.size(); ++k) {
            const core::UnitRecord& u = layer[k];
            if (!std::isfinite(u.NetInput) || !std::isfinite(u.Activation) ||
                !std::isfinite(u.Error)) {
                return std::string(name) + " unit " + text(static_cast<long long>(k)) +
                       " is not finite";
            }
        }
        return {};
    };
    if (std::string d = units(net.InputUnits, "input"); !d.empty()) {
        return d;
    }
    if (std::string d = units(net.OutputUnits, "output"); !d.empty()) {
        return d;
    }
    for (int j = 1; j <= net.Weights.outputs(); ++j) {
        for (int i = 1; i <= net.Weights.inputs(); ++i) {
            if (!std::isfinite(net.Weights.Weight(j, i)) ||
                !std::isfinite(net.Weights.Change(j, i))) {
                return "connection (" + text(j) + ", " + text(i) + ") is not finite";
            }
        }
    }
    if (!std::isfinite(net.TotalSSE)) {
        return "TotalSSE is not finite";
    }
    return {};
}

Outcome exerciseTrainingFile(std::string_view bytes) {
    Outcome outcome;
    try {
        exercise(bytes, outcome);
    } catch (const Violation& violation) {
        outcome.violation = violation.what;
    } catch (const std::bad_alloc&) {
        // Only the small problems are trained; running out of memory there is a finding.
        outcome.violation = "out of memory";
    }
    return outcome;
}

}  // namespace fuzzbody

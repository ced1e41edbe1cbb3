#include "network_checks_body.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "files/network_file_checks.h"
#include "fuzz_body.h"
#include "report/report_writer.h"
#include "training/parameters.h"
#include "training/training_run.h"

namespace fuzzbody {

namespace {

using files::NetworkFileHeader;

struct Violation {
    std::string what;
};

void require(bool holds, const std::string& what) {
    if (!holds) {
        throw Violation{what};
    }
}

class Bytes {
  public:
    explicit Bytes(std::string_view bytes) : m_bytes(bytes) {}
    bool more() const { return m_pos < m_bytes.size(); }
    unsigned byte() { return more() ? static_cast<unsigned char>(m_bytes[m_pos++]) : 0U; }
    std::uint64_t u64() {
        std::uint64_t v = 0;
        for (int k = 0; k < 8; ++k) {
            v = v << 8 | byte();
        }
        return v;
    }
    double f64() { return std::bit_cast<double>(u64()); }

  private:
    std::string_view m_bytes;
    std::size_t m_pos = 0;
};

constexpr std::array<double, 14> kEdges = {0.0,
                                           -0.0,
                                           0.5,
                                           1.0,
                                           2.0,
                                           2000,
                                           2001,
                                           32767,
                                           32768,
                                           -32768,
                                           -32769,
                                           2147483648.0,
                                           std::numeric_limits<double>::infinity(),
                                           std::numeric_limits<double>::quiet_NaN()};

double edgeOrRaw(Bytes& in) {
    const unsigned mode = in.byte();
    if (mode % 3 == 0) {
        return kEdges[in.byte() % kEdges.size()];
    }
    if (mode % 3 == 1) {
        return static_cast<double>(static_cast<std::int8_t>(in.byte()));
    }
    return in.f64();
}

std::uint64_t sizeOrRaw(Bytes& in) {
    const double v = edgeOrRaw(in);
    return std::isfinite(v) && v >= 0 && v < 1e18 ? static_cast<std::uint64_t>(v) : in.u64();
}

// A valid header for a small network, from the first bytes.
NetworkFileHeader validHeader(Bytes& in) {
    core::PublicStuff net;
    net.NumOutputs = 1 + static_cast<int>(in.byte() % 12);
    net.NumInputs = 1 + static_cast<int>(in.byte() % 12);
    net.NumPatterns = 1 + static_cast<int>(in.byte() % 6);
    net.SSEHistoryCount = static_cast<std::int16_t>(in.byte() % 5);
    net.TrainingFileName = "fuzz.net";
    net.LearningRule = in.byte() % 2 == 0 ? core::Rule::Hebb : core::Rule::Delta;
    net.LearningRate = static_cast<double>(in.byte() % 8) / 16.0;
    net.SweepCount = static_cast<std::int16_t>(1 + in.byte() % 20);
    net.MaxSweeps = net.SweepCount;
    net.SweepsBoxValue = static_cast<std::int16_t>(1 + in.byte() % 4);
    net.PrintSweeps = 1;
    net.MaxSweepsRule = in.byte() % 2 == 0;
    net.MinErrorRule = in.byte() % 2 == 0;
    net.TotalSSE = 1.0;
    return files::DescribeNetwork(net, "2026-01-01T00:00:00Z", "fuzz");
}

void mutate(NetworkFileHeader& h, Bytes& in) {
    const auto numbers = files::NumberAttributes();
    const auto texts = files::TextAttributes();
    const auto datasets = files::Datasets();
    const std::size_t pick = in.byte() % (numbers.size() + texts.size() + datasets.size() + 1);
    const unsigned mode = in.byte();
    if (pick < numbers.size()) {
        files::NumberAttribute& a = h.*numbers[pick].member;
        a = {mode % 5 != 0, mode % 5 != 1, edgeOrRaw(in)};
    } else if (pick < numbers.size() + texts.size()) {
        static constexpr std::array<const char*, 6> kTexts = {
            "distmem network", "Hebb", "Delta", "", "hebb", "distmem network\n"};
        files::TextAttribute& a = h.*texts[pick - numbers.size()].member;
        a = {mode % 5 != 0, mode % 5 != 1, kTexts[in.byte() % kTexts.size()]};
    } else if (pick < numbers.size() + texts.size() + datasets.size()) {
        files::DatasetFacts& f = h.*datasets[pick - numbers.size() - texts.size()].member;
        switch (mode % 9) {
            case 0:
                f.present = !f.present;
                break;
            case 1:
                f.isDataset = !f.isDataset;
                break;
            case 2:
                f.float64 = !f.float64;
                break;
            case 3:
                f.plainStorage = !f.plainStorage;
                break;
            case 4:
                f.rank = static_cast<int>(in.byte() % 4);
                break;
            case 5:
                f.rows = sizeOrRaw(in);
                break;
            case 6:
                f.columns = sizeOrRaw(in);
                break;
            case 7:
                f.allChunksWritten = !f.allChunksWritten;
                break;
            default:
                f.storedBytes = sizeOrRaw(in);
                break;
        }
    } else {
        h.fileBytes = sizeOrRaw(in);
    }
}

// What an accepted header promises, checked plainly.
void checkAccepted(const NetworkFileHeader& h) {
    const auto& w = h.weights;
    const auto& in = h.inputPatterns;
    const auto& out = h.desiredOutputs;
    const auto& history = h.sseHistory;
    require(h.format.value == "distmem network" &&
                (h.formatVersion.value == 1 || h.formatVersion.value == 2),
            "format taken");
    for (const std::uint64_t n : {w.rows, w.columns, in.rows}) {
        require(n >= 1 && n <= 32767, "a count outside 1..32767 taken");
    }
    require(in.columns == w.columns && out.rows == in.rows && out.columns == w.rows,
            "shapes that disagree taken");
    require(history.columns == 2 && history.rows <= 2000, "an SSE history of the wrong shape");
    std::uint64_t total = 0;
    for (const auto* f : {&w, &in, &out, &history}) {
        require(f->present && f->isDataset && f->float64 && f->plainStorage && f->rank == 2 &&
                    f->allChunksWritten,
                "a dataset of the wrong kind taken");
        require(f->storedBytes >= f->rows * f->columns * 8, "a dataset with missing values taken");
        total += f->rows * f->columns * 8;
    }
    require(total <= h.fileBytes, "more values than the file holds taken");
    const double epochs = h.epochsTrained.value;
    require(epochs >= 1 && epochs <= 32767 && epochs == std::trunc(epochs), "epochs taken");
    require(h.learningRule.value == "Hebb" || h.learningRule.value == "Delta", "rule taken");
    require(std::isfinite(h.learningRate.value) && h.learningRate.value >= 0, "rate taken");
    require(std::isfinite(h.totalSSE.value) && h.totalSSE.value >= 0, "total taken");
    require(std::isfinite(h.minError.value), "minimum error taken");
    require(h.maxEpochsRule.value != 1 || h.epochsBox.value >= 1, "an empty epochs box taken");
}

struct Quiet final : training::RunObserver {
    void printout(const training::Printout& p) override {
        require(std::isfinite(p.TotalSSE), "a printout that is not finite");
    }
};

// Fills the values as the opener does, piece by piece; false when a check refuses one.
bool fillValues(core::PublicStuff& net, Bytes& in) {
    const auto piece = [&in](const char* name, std::vector<double>& values, std::uint64_t columns,
                             std::uint64_t row) {
        bool finite = true;
        for (double& v : values) {
            v = in.more() && in.byte() % 16 == 0 ? in.f64() : static_cast<double>(in.byte()) / 8;
            finite = finite && std::isfinite(v);
        }
        const std::string problem = files::CheckFinitePiece(name, values, columns, row, 0);
        require(problem.empty() == finite, "a piece judged wrongly: " + problem);
        return finite;
    };
    std::vector<double> row;
    for (int j = 1; j <= net.NumOutputs; ++j) {
        row.assign(static_cast<std::size_t>(net.NumInputs), 0.0);
        if (!piece("weights", row, row.size(), static_cast<std::uint64_t>(j - 1))) {
            return false;
        }
        for (int i = 1; i <= net.NumInputs; ++i) {
            net.Weights.setWeight(j, i, row[static_cast<std::size_t>(i - 1)]);
        }
    }
    for (int p = 1; p <= net.NumPatterns; ++p) {
        row.assign(static_cast<std::size_t>(net.NumInputs), 0.0);
        if (!piece("input_patterns", row, row.size(), 0)) {
            return false;
        }
        std::copy(row.begin(), row.end(), &net.InputPatterns(1, p));
        row.assign(static_cast<std::size_t>(net.NumOutputs), 0.0);
        if (!piece("desired_outputs", row, row.size(), 0)) {
            return false;
        }
        std::copy(row.begin(), row.end(), &net.DesiredOutputs(1, p));
    }
    std::vector<double> history(static_cast<std::size_t>(net.SSEHistoryCount) * 2);
    for (std::size_t k = 0; k < history.size(); ++k) {
        history[k] =
            in.byte() % 4 == 0 ? edgeOrRaw(in) : (k % 2 == 0 ? static_cast<double>(k) / 2 : 1.0);
    }
    if (!files::CheckHistory(history, net.SweepCount).empty()) {
        return false;
    }
    for (std::size_t k = 0; k + 1 < history.size(); k += 2) {
        require(std::isfinite(history[k + 1]) && history[k + 1] >= 0, "an SSE taken");
        require(history[k] >= 0 && history[k] <= net.SweepCount, "a history epoch taken");
        require(k == 0 || history[k] > history[k - 2], "a history that does not rise taken");
        net.SSEHistory[k / 2 + 1] = {0.0, history[k], history[k + 1]};
    }
    return true;
}

void exercise(std::string_view bytes, NetworkOutcome& outcome) {
    Bytes in(bytes);
    NetworkFileHeader header = validHeader(in);
    require(files::CheckNetworkHeader(header).empty(), "a saved header is refused");
    for (unsigned changes = in.byte() % 4; changes > 0; --changes) {
        mutate(header, in);
    }
    if (const std::string problem = files::CheckNetworkHeader(header); !problem.empty()) {
        require(problem.back() == '.' && problem.front() >= 'a' && problem.front() <= 'z',
                "a message that does not end the sentence: " + problem);
        return;
    }
    checkAccepted(header);
    if (header.weights.rows * header.weights.columns * header.inputPatterns.rows > TrainLimit) {
        return;
    }
    core::PublicStuff net;
    files::ApplyNetworkHeader(header, net);
    net.InputPatterns = core::PatternTable(net.NumInputs, net.NumPatterns);
    net.DesiredOutputs = core::PatternTable(net.NumOutputs, net.NumPatterns);
    net.CreateUnitsAndWeights();
    net.TrainedOnProblem = true;
    if (!fillValues(net, in)) {
        return;
    }
    outcome.accepted = true;
    require(net.NetworkMatchesProblem(), "an opened network does not match its problem");

    // As "Continue Training" does on the opened network, then a report of everything.
    // Only short runs: without the maximum-epochs rule a run may go on to epoch 32767.
    const training::StoppingRules rules{net.MaxSweepsRule, net.MinErrorRule};
    if (!rules.maxEpochs || net.SweepsBoxValue > 20 ||
        training::ContinueMaxSweeps(net, std::to_string(net.SweepsBoxValue), {})) {
        return;
    }
    Quiet quiet;
    const training::RunResult result = training::RunTraining(net, rules, quiet);
    require(result.end != training::RunEnd::NoNetwork, "an opened network cannot train");
    const std::string notFinite = firstNonFinite(net);
    require(notFinite.empty(), "training on: " + notFinite);
    report::SectionFlags all{};
    all.fill(true);
    const report::ReportContext context{
        {}, [] { return std::string("d"); }, [] { return std::string("t"); }};
    std::string text;
    std::string error;
    require(report::ReportText(net, all, context, &text, error) || !error.empty(),
            "a report failed without a message");
    outcome.trained = true;
}

}  // namespace

NetworkOutcome exerciseNetworkChecks(std::string_view bytes) {
    NetworkOutcome outcome;
    try {
        exercise(bytes, outcome);
    } catch (const Violation& violation) {
        outcome.violation = violation.what;
    } catch (const std::bad_alloc&) {
        outcome.violation = "out of memory";
    }
    return outcome;
}

}  // namespace fuzzbody

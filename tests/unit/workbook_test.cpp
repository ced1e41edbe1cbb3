// The workbook read back with openpyxl (workbook_cells.py): sheets, headers, every value,
// the split of wide matrices, the chart and the colour scale; and failures that must leave
// the old file alone.

#include "report/workbook_writer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <sstream>
#include <string>

#include "core/arithmetic.h"
#include "files/loader.h"
#include "tests/support/network_builder.h"
#include "training/training_run.h"

namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

using Read = std::map<std::string, std::string>;

Read readBack(const fs::path& path) {
    FILE* pipe = ::popen(("/usr/bin/python3 " DAM_WORKBOOK_CELLS " " + path.string()).c_str(), "r");
    std::string all;
    for (char buf[4096]; pipe != nullptr && std::fgets(buf, sizeof buf, pipe) != nullptr;)
        all += buf;
    EXPECT_TRUE(pipe != nullptr && ::pclose(pipe) == 0) << "reading back failed";
    Read r;
    std::istringstream lines(all);
    for (std::string key, value; std::getline(lines, key, '\t') && std::getline(lines, value);)
        r[key] = value;
    return r;
}

std::string cell(const Read& r, const std::string& sheet, int row, int col) {
    const auto it = r.find(sheet + " " + std::to_string(row) + " " + std::to_string(col));
    return it == r.end() ? "missing" : it->second;
}

// Read back, a number is the double itself or its rounding to 16 significant digits.
void expectNumber(const Read& r, const std::string& sheet, int row, int col, double v) {
    const std::string got = cell(r, sheet, row, col);
    char rounded[40];
    std::snprintf(rounded, sizeof rounded, "%.15e", v);
    const double read = got[0] == 'n' ? std::strtod(got.c_str() + 2, nullptr) : -1e308;
    EXPECT_TRUE(read == v || read == std::strtod(rounded, nullptr))
        << sheet << " " << row << "," << col << ": " << got << " for " << rounded;
}

// A header row and column named by unit (the last column may have a name of its own), and
// every value.
template <typename F>
void expectMatrix(const Read& r, const std::string& sheet, const char* rowName, int rows,
                  const char* colName, int cols, F value, const char* lastName = nullptr) {
    for (int c = 1; c <= cols; ++c)
        EXPECT_EQ(cell(r, sheet, 1, c + 1),
                  "s " + (c == cols && lastName != nullptr ? std::string(lastName)
                                                           : colName + (" " + std::to_string(c))));
    for (int row = 1; row <= rows; ++row) {
        EXPECT_EQ(cell(r, sheet, row + 1, 1),
                  "s " + std::string(rowName) + " " + std::to_string(row));
        for (int c = 1; c <= cols; ++c)
            expectNumber(r, sheet, row + 1, c + 1, value(row, c));
    }
}

struct Quiet final : training::RunObserver {
    void printout(const training::Printout&) override {}
};

class WorkbookTest : public testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("workbook_test_" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_net = support::NetworkFromFile(DAM_EXAMPLES "/tiny.net");
        m_net.LearningRule = core::Rule::Delta;
        m_net.LearningRate = 0.3;
        m_net.MaxSweeps = 7;
        m_net.PrintSweeps = 2;
        m_net.MinError = 1e-30;
        m_net.FreshStart = 1;
        Quiet quiet;
        ASSERT_TRUE(training::RunTraining(m_net, {true, true}, quiet).message.empty());
    }
    void TearDown() override { fs::remove_all(m_dir); }
    bool write(const fs::path& path, std::string& error) {
        const report::ReportContext context{{".", ","},
                                            [] { return std::string("3/4/2002"); },
                                            [] { return std::string("10:15:00 AM"); }};
        return report::WriteWorkbook(m_net, path.string(), context, error);
    }

    fs::path m_dir;
    core::PublicStuff m_net;
};

TEST_F(WorkbookTest, EverySheetHoldsTheNetworksValues) {
    std::string error;
    ASSERT_TRUE(write(m_dir / "tiny.xlsx", error)) << error;
    const Read r = readBack(m_dir / "tiny.xlsx");
    EXPECT_EQ(r.at("sheets"),
              "Training|SSE By Sweeps|Weights|Input Patterns|Desired Outputs|"
              "Responses|Errors|Runs");
    const char* counts[][2] = {{"Training", "28"},       {"SSE By Sweeps", "10"},
                               {"Weights", "11"},        {"Input Patterns", "11"},
                               {"Desired Outputs", "8"}, {"Responses", "8"},
                               {"Errors", "11"},         {"Runs", "11"}};
    for (const auto& [sheet, count] : counts)
        EXPECT_EQ(r.at(std::string("count ") + sheet), count) << sheet;
    const char* training[][2] = {{"Training file", "s tiny.net"},
                                 {"Learning rule", "s Delta"},
                                 {"Learning rate", "n 0.3"},
                                 {"Epochs trained", "n 7.0"},
                                 {"Maximum epochs", "n 7.0"},
                                 {"Printout interval", "n 2.0"},
                                 {"Minimum error", "n 1e-30"},
                                 {"Stopping rules", "s Maximum epochs and minimum error"},
                                 {"Total SSE", ""},
                                 {"Inputs", "n 3.0"},
                                 {"Outputs", "n 2.0"},
                                 {"Patterns", "n 2.0"},
                                 {"Date", "s 3/4/2002"},
                                 {"Time", "s 10:15:00 AM"}};
    for (int row = 1; row <= 14; ++row) {
        EXPECT_EQ(cell(r, "Training", row, 1), "s " + std::string(training[row - 1][0]));
        if (row != 9) {
            EXPECT_EQ(cell(r, "Training", row, 2), training[row - 1][1]);
        }
    }
    expectNumber(r, "Training", 9, 2, m_net.TotalSSE);

    ASSERT_EQ(m_net.SSEHistoryCount, 4);  // epochs 0, 2, 4, 6
    EXPECT_EQ(cell(r, "SSE By Sweeps", 1, 1) + cell(r, "SSE By Sweeps", 1, 2),
              "s Epochs Total SSE");
    for (int k = 1; k <= 4; ++k) {
        expectNumber(r, "SSE By Sweeps", k + 1, 1, m_net.SSEHistory[k][1]);
        expectNumber(r, "SSE By Sweeps", k + 1, 2, m_net.SSEHistory[k][2]);
    }
    const auto& net = m_net;
    expectMatrix(r, "Weights", "Output", 2, "Input", 3,
                 [&](int j, int i) { return net.Weights.Weight(j, i); });
    expectMatrix(r, "Input Patterns", "Pattern", 2, "Input", 3,
                 [&](int p, int i) { return net.InputPatterns(i, p); });
    expectMatrix(r, "Desired Outputs", "Pattern", 2, "Output", 2,
                 [&](int p, int j) { return net.DesiredOutputs(j, p); });
    const auto recall = [&](int p, int j, double core::UnitRecord::*field) {
        EXPECT_EQ(core::ComputeResponses(m_net, p), core::ArithStatus::Ok);
        return j == 3 ? core::PatternSSE(m_net)
                      : m_net.OutputUnits[static_cast<std::size_t>(j)].*field;
    };
    expectMatrix(r, "Responses", "Pattern", 2, "Output", 2,
                 [&](int p, int j) { return recall(p, j, &core::UnitRecord::Activation); });
    expectMatrix(
        r, "Errors", "Pattern", 2, "Output", 3,
        [&](int p, int j) { return recall(p, j, &core::UnitRecord::Error); }, "Pattern SSE");

    EXPECT_TRUE(r.at("scales").starts_with("Weights B2:D3 colorScale num:-")) << r.at("scales");
    EXPECT_TRUE(r.at("scales").ends_with(" FF5A8AC6 FFFFFFFF FFF8696B")) << r.at("scales");
    EXPECT_EQ(
        r.at("charts"),
        "<a:t>Total Sum Of Squared Error As A Function Of Training Sweeps</a:t> <c:barChart> "
        "<a:srgbClr val=\"C8C8C8\" <a:srgbClr val=\"000000\" <c:f>'SSE By Sweeps'!$A$2:$A$5</c:f> "
        "<c:f>'SSE By Sweeps'!$B$2:$B$5</c:f> <a:t>Sweeps Of Training</a:t> <a:t>Network "
        "SSE</a:t>");
}

// Every run of the training file, a pair of columns each under its legend; other files'
// runs stay out.
TEST_F(WorkbookTest, RunsSheetHoldsEveryRunOfTheFile) {
    training::RunHistory runs;
    core::PublicStuff earlier = m_net;
    earlier.LearningRule = core::Rule::Hebb;
    earlier.LearningRate = 0.1;
    earlier.TrainedParts.clear();  // a run that kept no parts: its rule and rate for all
    earlier.SSEHistoryCount = 2;
    runs.RecordTraining(earlier, earlier, true);
    earlier.TrainingFileName = "other.net";  // another problem
    earlier.DesiredOutputs(1, 1) += 1.0;
    runs.RecordTraining(earlier, earlier, true);
    runs.RecordTraining(m_net, m_net, true);
    report::ReportContext context{{".", ","},
                                  [] { return std::string("3/4/2002"); },
                                  [] { return std::string("10:15:00 AM"); }};
    context.runs = &runs;
    std::string error;
    ASSERT_TRUE(report::WriteWorkbook(m_net, (m_dir / "runs.xlsx").string(), context, error))
        << error;
    const Read r = readBack(m_dir / "runs.xlsx");
    EXPECT_EQ(r.at("count Runs"), "18");  // 2 legends, 4 headings, 2 and 4 rows of two
    EXPECT_EQ(cell(r, "Runs", 1, 1), "s Run 1 (tiny.net): Hebb 0.1 for 7 epochs");
    EXPECT_EQ(cell(r, "Runs", 1, 3), "s Run 3 (tiny.net): Delta 0.3 for 7 epochs");
    EXPECT_EQ(cell(r, "Runs", 2, 4), "s Total SSE");
    for (int k = 1; k <= 4; ++k) {
        expectNumber(r, "Runs", k + 2, 3, m_net.SSEHistory[static_cast<std::size_t>(k)][1]);
        expectNumber(r, "Runs", k + 2, 4, m_net.SSEHistory[static_cast<std::size_t>(k)][2]);
    }
    EXPECT_EQ(r.count("Runs 5 1"), 0U);
}

TEST_F(WorkbookTest, WideMatricesContinueOnNumberedSheets) {
    m_net.NumInputs = 16400;
    m_net.NumOutputs = m_net.NumPatterns = 1;
    m_net.InputPatterns = core::PatternTable(16400, 1);
    m_net.DesiredOutputs = core::PatternTable(1, 1);
    m_net.CreateUnitsAndWeights();
    m_net.TrainedOnProblem = true;
    for (int i = 1; i <= 16400; ++i) {
        m_net.Weights.setWeight(1, i, i / 3.0);
        m_net.InputPatterns(i, 1) = 1.0 / i;
    }
    std::string error;
    ASSERT_TRUE(write(m_dir / "wide.xlsx", error)) << error;
    const Read r = readBack(m_dir / "wide.xlsx");
    EXPECT_EQ(r.at("sheets"),
              "Training|SSE By Sweeps|Weights|Weights (2)|Input Patterns|"
              "Input Patterns (2)|Desired Outputs|Responses|Errors|Runs");
    for (const std::string sheet : {"Weights", "Input Patterns"}) {
        const std::string unit = sheet[0] == 'W' ? "s Output 1" : "s Pattern 1";
        const std::string second = sheet + " (2)";
        EXPECT_EQ(cell(r, sheet, 1, 16384) + cell(r, sheet, 2, 1), "s Input 16383" + unit);
        EXPECT_EQ(cell(r, second, 1, 2) + cell(r, second, 1, 18) + cell(r, second, 2, 1),
                  "s Input 16384s Input 16400" + unit);
        EXPECT_EQ(r.at("count " + second), "35");
    }
    expectNumber(r, "Weights", 2, 16384, 16383 / 3.0);
    expectNumber(r, "Weights (2)", 2, 18, 16400 / 3.0);
    expectNumber(r, "Input Patterns (2)", 2, 2, 1.0 / 16384);
    const std::string scale =
        " colorScale num:-5466.666666666667 num:0.0 num:5466.666666666667 "
        "FF5A8AC6 FFFFFFFF FFF8696B";
    EXPECT_EQ(r.at("scales"), "Weights B2:XFD2" + scale + "|Weights (2) B2:R2" + scale);
}

// Names in any encoding and the largest doubles: every reader takes the workbook, and the
// numbers come back finite.
TEST_F(WorkbookTest, OutsideTextAndTheLargestDoublesReadBack) {
    m_net.TrainingFileName = "caf\xE9.net";
    m_net.InputPatterns(2, 1) = m_net.InputPatterns(2, 2) = 0.0;  // recalls stay finite
    m_net.Weights.setWeight(1, 2, std::numeric_limits<double>::max());
    m_net.Weights.setWeight(2, 2, -std::numeric_limits<double>::max());
    const report::ReportContext context{
        {".", ","}, [] { return std::string("3/4/2002"); }, [] { return std::string("\xFF"); }};
    std::string error;
    ASSERT_TRUE(report::WriteWorkbook(m_net, (m_dir / "odd.xlsx").string(), context, error))
        << error;
    const Read r = readBack(m_dir / "odd.xlsx");
    EXPECT_EQ(cell(r, "Training", 1, 2), "s caf\xEF\xBF\xBD.net");
    EXPECT_EQ(cell(r, "Training", 14, 2), "s \xEF\xBF\xBD");
    EXPECT_EQ(cell(r, "Weights", 2, 3), "n 1.797693134862315e+308");
    EXPECT_EQ(cell(r, "Weights", 3, 3), "n -1.797693134862315e+308");
    EXPECT_EQ(r.at("scales"),
              "Weights B2:D3 colorScale num:-1.797693134862315e+308 num:0.0 "
              "num:1.797693134862315e+308 FF5A8AC6 FFFFFFFF FFF8696B");
}

// The zip's 64-bit records go with any sheet that may pass 4 GiB, whichever sizes make it.
TEST(WorkbookZip64Test, ChosenByTheLargestSheet) {
    EXPECT_FALSE(report::WorkbookNeedsZip64(16383, 2000, 1000));
    EXPECT_TRUE(report::WorkbookNeedsZip64(16383, 4000, 1));  // weights
    EXPECT_TRUE(report::WorkbookNeedsZip64(8000, 1, 8000));   // input patterns
    EXPECT_TRUE(report::WorkbookNeedsZip64(1, 16383, 8000));  // responses and errors
    EXPECT_TRUE(report::WorkbookNeedsZip64(1, 32767, 4000));  // the first part of each
}

// Each failure names the path and the system's reason; the earlier file stays as it was
// and nothing else is left in the folder.
TEST_F(WorkbookTest, FailuresLeaveTheFolderAsItWas) {
    const fs::path path = m_dir / "tiny.xlsx";
    std::ofstream(path) << "earlier";
    fs::create_directory(m_dir / "folder.xlsx");
    const auto refused = [&](const fs::path& target, int reason, std::function<void()> around) {
        std::string error;
        around();
        const bool ok = write(target, error);
        around();
        EXPECT_FALSE(ok);
        EXPECT_NE(error.find(target.string() + "\": " + std::strerror(reason)), std::string::npos)
            << error;
    };
    refused(m_dir / "missing" / "tiny.xlsx", ENOENT, [] {});
    refused(m_dir / "folder.xlsx", EISDIR, [] {});
    // A full disk, played by a file size limit: writes fail with EFBIG, SIGXFSZ ignored.
    rlimit limits[2]{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limits[0]), 0);
    limits[1] = {4096, limits[0].rlim_max};
    ::signal(SIGXFSZ, SIG_IGN);
    int turn = 0;
    refused(path, EFBIG, [&] { ::setrlimit(RLIMIT_FSIZE, &limits[++turn % 2]); });
    // No permission: root writes anywhere, so it acts as nobody for the attempt.
    const bool root = ::geteuid() == 0;
    fs::permissions(m_dir, fs::perms::owner_write | fs::perms::others_write,
                    fs::perm_options::remove);
    refused(path, EACCES, [&] { (void)(root && ::seteuid(::geteuid() == 0 ? 65534 : 0)); });
    fs::permissions(m_dir, fs::perms::owner_all);
    // Cancelled, here when the cells are in.
    report::ReportContext cancelling{{".", ","},
                                     [] { return std::string("3/4/2002"); },
                                     [] { return std::string("10:15:00 AM"); }};
    core::Progress stopped;
    stopped.requestStop();
    cancelling.progress = &stopped;
    std::string cancelled;
    EXPECT_FALSE(report::WriteWorkbook(m_net, path.string(), cancelling, cancelled));
    EXPECT_NE(cancelled.find(path.string() + "\" was cancelled"), std::string::npos) << cancelled;
    // Pattern 2 drives output 1 beyond the double range.
    m_net.Weights.setWeight(1, 2, 1e300);
    m_net.InputPatterns(2, 2) = 1e10;
    std::string error;
    EXPECT_FALSE(write(path, error));
    EXPECT_NE(error.find("recalling pattern 2 failed"), std::string::npos) << error;

    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), {}), 2);
    EXPECT_TRUE(fs::is_empty(m_dir / "folder.xlsx"));
    std::ifstream in(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "earlier");
}

}  // namespace

// The workbook read back with openpyxl (workbook_cells.py): sheets, headers, every value,
// the split of wide matrices, the chart and the colour scale; and the failures that must
// leave the old file alone.

#include "report/workbook_writer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/arithmetic.h"
#include "core/loader.h"
#include "training/training_run.h"

namespace {

namespace fs = std::filesystem;
using Key = std::tuple<std::string, int, int>;  // sheet, row, column (from 1)

struct Read {
    std::vector<std::string> sheets, scales, charts;
    std::map<Key, std::string> cells;  // "n <value>" or "s <text>"
};

Read readBack(const fs::path& path) {
    Read out;
    FILE* pipe =
        ::popen(("/usr/bin/python3 " DAM_WORKBOOK_CELLS " '" + path.string() + "'").c_str(), "r");
    std::string all;
    for (char buf[4096]; pipe != nullptr && std::fgets(buf, sizeof buf, pipe) != nullptr;)
        all += buf;
    EXPECT_TRUE(pipe != nullptr && ::pclose(pipe) == 0) << "reading back failed";
    std::istringstream lines(all);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string x; std::getline(fields, x, '\t');)
            f.push_back(x);
        const std::string rest = line.substr(line.find('\t', f[0].size() + 1) + 1);
        if (f[0] == "sheet")
            out.sheets.push_back(f[1]);
        else if (f[0] == "scale")
            out.scales.push_back(f[1] + "\t" + rest);
        else if (f[0] == "chart")
            out.charts.push_back(rest);
        else
            out.cells[{f[1], std::stoi(f[2]), std::stoi(f[3])}] = f[4] + " " + f[5];
    }
    return out;
}

void expectText(const Read& r, const std::string& sheet, int row, int col, const std::string& s) {
    const auto it = r.cells.find({sheet, row, col});
    EXPECT_EQ(it == r.cells.end() ? "missing" : it->second, "s " + s)
        << sheet << " " << row << "," << col;
}

// Read back, a number is the double itself or its rounding to 16 significant digits.
void expectNumber(const Read& r, const std::string& sheet, int row, int col, double v) {
    const auto it = r.cells.find({sheet, row, col});
    ASSERT_TRUE(it != r.cells.end() && it->second[0] == 'n') << sheet << " " << row << "," << col;
    const double read = std::strtod(it->second.c_str() + 2, nullptr);
    char rounded[40];
    std::snprintf(rounded, sizeof rounded, "%.15e", v);
    EXPECT_TRUE(read == v || read == std::strtod(rounded, nullptr))
        << sheet << " " << row << "," << col << ": " << it->second << " for " << rounded;
}

int cellCount(const Read& r, const std::string& sheet) {
    int n = 0;
    for (const auto& [key, value] : r.cells)
        n += std::get<0>(key) == sheet;
    return n;
}

struct Quiet final : training::RunObserver {
    void printout(const training::Printout&) override {}
    bool keepGoing() override { return true; }
};

report::ReportContext context() {
    return {{".", ","},
            [] { return std::string("3/4/2002"); },
            [] { return std::string("10:15:00 AM"); }};
}

class WorkbookTest : public testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("workbook_test_" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        std::string error;
        ASSERT_TRUE(core::LoadTrainingFile(m_net, DAM_EXAMPLES "/tiny.net", &error)) << error;
        m_net.TrainingFileName = "tiny.net";
        m_net.CreateUnitsAndWeights();
        m_net.LearningRule = "Delta";
        m_net.LearningRate = 0.3;
        m_net.MaxSweeps = 7;
        m_net.PrintSweeps = 2;
        m_net.MinError = 1e-30;
        m_net.FreshStart = 1;
        Quiet quiet;
        ASSERT_TRUE(training::RunTraining(m_net, {true, true}, quiet).message.empty());
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(m_dir, fs::perms::owner_all, ec);
        fs::remove_all(m_dir, ec);
    }
    bool write(const fs::path& path, std::string* error) {
        return report::WriteWorkbook(m_net, path.string(), context(), error);
    }
    std::set<std::string> entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir))
            names.insert(entry.path().filename().string());
        return names;
    }

    fs::path m_dir;
    core::PublicStuff m_net;
};

TEST_F(WorkbookTest, EverySheetHoldsTheNetworksValues) {
    const fs::path path = m_dir / "tiny.xlsx";
    std::string error;
    ASSERT_TRUE(write(path, &error)) << error;
    const Read r = readBack(path);
    EXPECT_EQ(r.sheets,
              (std::vector<std::string>{"Training", "SSE By Sweeps", "Weights", "Input Patterns",
                                        "Desired Outputs", "Responses", "Errors"}));
    const char* labels[] = {"Training file",  "Learning rule",
                            "Learning rate",  "Epochs trained",
                            "Maximum epochs", "Printout interval",
                            "Minimum error",  "Stopping rules",
                            "Total SSE",      "Inputs",
                            "Outputs",        "Patterns",
                            "Date",           "Time"};
    for (int row = 1; row <= 14; ++row)
        expectText(r, "Training", row, 1, labels[row - 1]);
    expectText(r, "Training", 1, 2, "tiny.net");
    expectText(r, "Training", 2, 2, "Delta");
    const double numbers[] = {0.3, 7, 7, 2, 1e-30};
    for (int row = 3; row <= 7; ++row)
        expectNumber(r, "Training", row, 2, numbers[row - 3]);
    expectText(r, "Training", 8, 2, "Maximum epochs and minimum error");
    expectNumber(r, "Training", 9, 2, m_net.TotalSSE);
    expectNumber(r, "Training", 10, 2, 3);
    expectNumber(r, "Training", 11, 2, 2);
    expectNumber(r, "Training", 12, 2, 2);
    expectText(r, "Training", 13, 2, "3/4/2002");
    expectText(r, "Training", 14, 2, "10:15:00 AM");
    EXPECT_EQ(cellCount(r, "Training"), 28);

    expectText(r, "SSE By Sweeps", 1, 1, "Epoch");
    expectText(r, "SSE By Sweeps", 1, 2, "Total SSE");
    ASSERT_EQ(m_net.SSEHistoryCount, 4);  // epochs 0, 2, 4, 6
    for (int k = 1; k <= 4; ++k) {
        expectNumber(r, "SSE By Sweeps", k + 1, 1, m_net.SSEHistory[k][1]);
        expectNumber(r, "SSE By Sweeps", k + 1, 2, m_net.SSEHistory[k][2]);
    }
    EXPECT_EQ(cellCount(r, "SSE By Sweeps"), 10);

    // Rows are output units (Weights) or patterns; header row and column named by unit.
    const auto matrix = [&](const std::string& sheet, const char* rowName, int rows,
                            const char* colName, int cols, auto value) {
        for (int c = 1; c <= cols; ++c)
            expectText(r, sheet, 1, c + 1, colName + std::string(" ") + std::to_string(c));
        for (int row = 1; row <= rows; ++row) {
            expectText(r, sheet, row + 1, 1, rowName + std::string(" ") + std::to_string(row));
            for (int c = 1; c <= cols; ++c)
                expectNumber(r, sheet, row + 1, c + 1, value(row, c));
        }
    };
    matrix("Weights", "Output", 2, "Input", 3,
           [&](int j, int i) { return m_net.Weights.Weight(j, i); });
    matrix("Input Patterns", "Pattern", 2, "Input", 3,
           [&](int p, int i) { return m_net.InputPatterns(i, p); });
    matrix("Desired Outputs", "Pattern", 2, "Output", 2,
           [&](int p, int j) { return m_net.DesiredOutputs(j, p); });
    const auto recalled = [&](int p, int j, double core::UnitRecord::*field) {
        EXPECT_EQ(core::ComputeResponses(m_net, p), core::ArithStatus::Ok);
        return m_net.OutputUnits[static_cast<std::size_t>(j)].*field;
    };
    matrix("Responses", "Pattern", 2, "Output", 2,
           [&](int p, int j) { return recalled(p, j, &core::UnitRecord::Activation); });
    matrix("Errors", "Pattern", 2, "Output", 2,
           [&](int p, int j) { return recalled(p, j, &core::UnitRecord::Error); });
    expectText(r, "Errors", 1, 4, "Pattern SSE");
    for (int p = 1; p <= 2; ++p) {
        const double e1 = recalled(p, 1, &core::UnitRecord::Error);
        const double e2 = recalled(p, 2, &core::UnitRecord::Error);
        expectNumber(r, "Errors", p + 1, 4, e1 * e1 + e2 * e2);
    }
    for (const char* sheet : {"Weights", "Input Patterns", "Responses"})
        EXPECT_EQ(cellCount(r, sheet), sheet[0] == 'R' ? 8 : 11) << sheet;
    EXPECT_EQ(cellCount(r, "Errors"), 11);

    ASSERT_EQ(r.scales.size(), 1u);
    EXPECT_TRUE(r.scales[0].starts_with("Weights\tB2:D3\tcolorScale\tnum:-"));
    EXPECT_TRUE(r.scales[0].ends_with("\tFF5A8AC6 FFFFFFFF FFF8696B")) << r.scales[0];
    ASSERT_EQ(r.charts.size(), 1u);
    EXPECT_EQ(
        r.charts[0],
        "<a:t>Total Sum Of Squared Error As A Function Of Training Sweeps</a:t>\t<c:barChart>\t"
        "<a:srgbClr val=\"C8C8C8\"\t<a:srgbClr val=\"000000\"\t<c:f>'SSE By "
        "Sweeps'!$A$2:$A$5</c:f>\t"
        "<c:f>'SSE By Sweeps'!$B$2:$B$5</c:f>\t<a:t>Sweeps Of Training</a:t>\t<a:t>Network "
        "SSE</a:t>");
}

TEST_F(WorkbookTest, WideMatricesContinueOnNumberedSheets) {
    m_net.NumInputs = 16400;
    m_net.NumOutputs = m_net.NumPatterns = 1;
    m_net.InputPatterns = core::PatternTable(16400, 1);
    m_net.DesiredOutputs = core::PatternTable(1, 1);
    m_net.CreateUnitsAndWeights();
    for (int i = 1; i <= 16400; ++i) {
        m_net.Weights.setWeight(1, i, i / 3.0);
        m_net.InputPatterns(i, 1) = 1.0 / i;
    }
    const fs::path path = m_dir / "wide.xlsx";
    std::string error;
    ASSERT_TRUE(write(path, &error)) << error;
    const Read r = readBack(path);
    EXPECT_EQ(r.sheets, (std::vector<std::string>{
                            "Training", "SSE By Sweeps", "Weights", "Weights (2)", "Input Patterns",
                            "Input Patterns (2)", "Desired Outputs", "Responses", "Errors"}));
    for (const char* sheet : {"Weights", "Input Patterns"}) {
        const std::string second = sheet + std::string(" (2)");
        const std::string unit = sheet[0] == 'W' ? "Output 1" : "Pattern 1";
        expectText(r, sheet, 1, 16384, "Input 16383");
        expectText(r, sheet, 2, 1, unit);
        expectText(r, second, 1, 2, "Input 16384");
        expectText(r, second, 1, 18, "Input 16400");
        expectText(r, second, 2, 1, unit);
        EXPECT_EQ(cellCount(r, second), 35);
    }
    expectNumber(r, "Weights", 2, 16384, 16383 / 3.0);
    expectNumber(r, "Weights (2)", 2, 18, 16400 / 3.0);
    expectNumber(r, "Input Patterns (2)", 2, 2, 1.0 / 16384);
    EXPECT_EQ(r.scales, (std::vector<std::string>{
                            "Weights\tB2:XFD2\tcolorScale\tnum:-5466.666666666667 num:0.0 "
                            "num:5466.666666666667\tFF5A8AC6 FFFFFFFF FFF8696B",
                            "Weights (2)\tB2:R2\tcolorScale\tnum:-5466.666666666667 "
                            "num:0.0 num:5466.666666666667\tFF5A8AC6 FFFFFFFF FFF8696B"}));
}

// Each failure names the path and the system's reason, keeps the earlier file and leaves
// nothing else behind.
void expectRefused(bool ok, const std::string& error, const fs::path& path, int reason) {
    EXPECT_FALSE(ok);
    EXPECT_NE(error.find(path.string()), std::string::npos) << error;
    EXPECT_NE(error.find(std::strerror(reason)), std::string::npos)
        << error << "\nexpected " << std::strerror(reason);
}

TEST_F(WorkbookTest, FailuresLeaveTheFolderAsItWas) {
    std::string error;
    const fs::path missing = m_dir / "missing" / "tiny.xlsx";
    expectRefused(write(missing, &error), error, missing, ENOENT);
    const fs::path folder = m_dir / "folder.xlsx";
    fs::create_directory(folder);
    expectRefused(write(folder, &error), error, folder, EISDIR);
    EXPECT_TRUE(fs::is_empty(folder));

    const fs::path path = m_dir / "tiny.xlsx";
    std::ofstream(path) << "earlier";
    const std::set<std::string> before = entries();
    // A full disk, played by a file size limit: writes fail with EFBIG, SIGXFSZ ignored.
    ::rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    ::rlimit small = saved;
    small.rlim_cur = 4096;
    const auto handler = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = write(path, &error);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    ::signal(SIGXFSZ, handler);
    expectRefused(ok, error, path, EFBIG);

    // No permission: root writes anywhere, so it acts as nobody for the attempt.
    fs::permissions(m_dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_exec);
    const bool asRoot = ::geteuid() == 0;
    ASSERT_TRUE(!asRoot || ::seteuid(65534) == 0);
    const bool allowed = write(path, &error);
    ASSERT_TRUE(!asRoot || ::seteuid(0) == 0);
    fs::permissions(m_dir, fs::perms::owner_all);
    expectRefused(allowed, error, path, EACCES);

    // Pattern 2 drives output 1 beyond the double range.
    m_net.Weights.setWeight(1, 2, 1e300);
    m_net.InputPatterns(2, 2) = 1e10;
    EXPECT_FALSE(write(path, &error));
    EXPECT_NE(error.find("recalling pattern 2 failed"), std::string::npos) << error;

    EXPECT_EQ(entries(), before);
    std::ifstream in(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "earlier");
}

}  // namespace

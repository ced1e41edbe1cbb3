#include "report/report_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/arithmetic.h"
#include "files/loader.h"
#include "tests/support/child_process.h"
#include "tests/support/file_bytes.h"
#include "tests/support/network_builder.h"
#include "tests/support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using core::PublicStuff;
using report::SectionFlags;
using support::inChild;
using support::readBytes;
using support::writeBytes;

constexpr std::size_t npos = std::string::npos;
const std::string kEnd = "\r\r\n";
const std::string kRule = std::string(45, '=') + kEnd;

// An expected report from tests/data/report, written by hand byte for byte.
std::string expectedReport(const std::string& name) {
    std::string bytes = readBytes(fs::path(DAM_TEST_DATA) / "report" / name);
    EXPECT_FALSE(bytes.empty()) << "missing test file " << name;
    return bytes;
}

report::ReportContext usContext() {
    return {text::NumberSeparators{".", ","}, [] { return std::string("3/4/2002"); },
            [] { return std::string("10:15:00 AM"); }};
}

SectionFlags sections(std::initializer_list<int> on) {
    SectionFlags flags{};
    for (int flag : on) {
        flags[static_cast<std::size_t>(flag)] = true;
    }
    return flags;
}

void loadProblem(PublicStuff& net, std::string_view numbers, const std::string& name) {
    net = support::NetworkFromText(numbers, name);
    net.TrainedOnProblem = true;
}

// Weights laid out as the report shows them: one row per input unit, one value per output.
void setWeights(PublicStuff& net, std::initializer_list<std::initializer_list<double>> rows) {
    int i = 0;
    for (const auto& row : rows) {
        ++i;
        int j = 0;
        for (double w : row) {
            net.Weights.setWeight(++j, i, w);
        }
    }
}

void setHistory(PublicStuff& net, std::initializer_list<std::array<double, 2>> rows) {
    std::size_t k = 0;
    for (const auto& row : rows) {
        ++k;
        net.SSEHistory[k][1] = row[0];
        net.SSEHistory[k][2] = row[1];
    }
    net.SSEHistoryCount = static_cast<std::int16_t>(k);
}

// Two inputs, two outputs, trained with the Delta rule for 25 epochs.
void makePairs(PublicStuff& net) {
    ASSERT_NO_FATAL_FAILURE(loadProblem(net, "2 0 2 2\n1 0\n0 1\n1 -1\n-1 1\n", "pairs.net"));
    net.LearningRule = core::Rule::Delta;
    net.LearningRate = 0.1;
    net.SweepCount = 25;
    net.TotalSSE = 0.5;
    setWeights(net, {{0.5, -1.25}, {0.0, 12.4}});
}

// Three inputs, two outputs, three patterns, with weights that make every recall exact:
// responses (.5, 1000), (-.25, -.25), (0, 2); errors (.125, -1234.5), (-.25, .25), (.07, 0).
void makeSmall(PublicStuff& net) {
    ASSERT_NO_FATAL_FAILURE(loadProblem(net,
                                        "2 0 3 3\n"
                                        "1 0 0\n0 1 1\n0 0 -2\n"
                                        "0.625 -234.5\n-0.5 0\n0.07 2\n",
                                        "small.net"));
    net.LearningRule = core::Rule::Hebb;
    net.LearningRate = 0.05;
    net.SweepCount = 100;
    // Not the SSE of these weights: the report prints what training stored.
    net.TotalSSE = 42.5;
    setWeights(net, {{0.5, 1000}, {-0.25, 0.75}, {0, -1}});
    setHistory(net, {{0, 2},
                     {1, 1.25},
                     {10, 0.0123},
                     {250, 150},
                     {1000, 9.996},
                     {12345, 0},
                     {32767, 1.5e-100},
                     {9999, 9999}});
    // The last row is left over from a longer earlier run.
    net.SSEHistoryCount = 7;
    // Stale unit records from an earlier recall; the report must recall each pattern itself.
    for (auto& unit : net.OutputUnits) {
        unit = {77, 77, 77};
    }
    for (auto& unit : net.InputUnits) {
        unit = {77, 77, 77};
    }
}

std::string reportOf(PublicStuff& net, const SectionFlags& flags,
                     const report::ReportContext& context = usContext()) {
    std::string text;
    std::string error;
    EXPECT_TRUE(report::ReportText(net, flags, context, &text, error)) << error;
    return text;
}

// ---------------------------------------------------------------------------------------
// The text

TEST(ReportTextTest, PairsWithGeneralInformationAndWeights) {
    PublicStuff net;
    ASSERT_NO_FATAL_FAILURE(makePairs(net));
    EXPECT_EQ(reportOf(net, sections({1, 4})), expectedReport("pairs_general_weights.txt"));
}

TEST(ReportTextTest, SavePageDefaults) {
    PublicStuff net;
    ASSERT_NO_FATAL_FAILURE(makeSmall(net));
    EXPECT_EQ(reportOf(net, report::DefaultSections), expectedReport("small_save_defaults.txt"));
}

TEST(ReportTextTest, AllSections) {
    PublicStuff net;
    ASSERT_NO_FATAL_FAILURE(makeSmall(net));
    EXPECT_EQ(reportOf(net, sections({0, 1, 2, 3, 4, 5, 6})),
              expectedReport("small_all_sections.txt"));
}

// The report with every section, cut after each section rule: the first two header lines,
// the rest of the header, then one piece per section in file order.
std::vector<std::string> cutAfterRules(const std::string& text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t at = text.find(kRule); at != npos; at = text.find(kRule, start)) {
        pieces.push_back(text.substr(start, at + kRule.size() - start));
        start = at + kRule.size();
    }
    EXPECT_EQ(start, text.size()) << "bytes after the last rule";
    return pieces;
}

TEST(ReportTextTest, EverySetOfSectionsComesInFixedOrder) {
    const std::vector<std::string> pieces = cutAfterRules(expectedReport("small_all_sections.txt"));
    ASSERT_EQ(pieces.size(), 9u);
    const std::string header = pieces[0] + pieces[1];

    struct Placed {
        int flag;
        std::string_view firstLine;
    };
    // File order; the flags are numbered like the save page's check boxes.
    const Placed order[] = {
        {1, "Learning rule: "},
        {2, "Network Responses To Each Input Pattern:"},
        {3, "After training, sum of squared error was: "},
        {4, "Connection weights from input units (rows) to output units (columns):"},
        {0, "The set of input patterns was:"},
        {5, "The set of desired outputs was:"},
        {6, "Network SSE as a function of sweeps of training was:"},
    };
    for (std::size_t k = 0; k < std::size(order); ++k) {
        ASSERT_TRUE(pieces[k + 2].starts_with(order[k].firstLine)) << pieces[k + 2];
    }

    // Mask 0 is the header alone, seven lines ending with the section rule.
    for (unsigned mask = 0; mask < 128; ++mask) {
        SectionFlags flags{};
        std::string expected = header;
        for (std::size_t k = 0; k < std::size(order); ++k) {
            if ((mask >> k) & 1u) {
                flags[static_cast<std::size_t>(order[k].flag)] = true;
                expected += pieces[k + 2];
            }
        }
        PublicStuff net;
        ASSERT_NO_FATAL_FAILURE(makeSmall(net));
        EXPECT_EQ(reportOf(net, flags), expected) << "sections in file order, mask " << mask;
    }
}

TEST(ReportTextTest, EmptySSEHistory) {
    PublicStuff net;
    ASSERT_NO_FATAL_FAILURE(makeSmall(net));
    net.SSEHistoryCount = 0;
    EXPECT_EQ(reportOf(net, sections({6})), expectedReport("small_sse_empty.txt"));
}

// "Standard" text of a whole number below a million: thousands grouped, two decimals.
std::string standardWhole(int n) {
    if (n < 1000) {
        return std::to_string(n) + ".00";
    }
    std::string low = std::to_string(n % 1000);
    low.insert(0, 3 - low.size(), '0');
    return std::to_string(n / 1000) + "," + low + ".00";
}

TEST(ReportTextTest, FullSSEHistory) {
    PublicStuff net;
    ASSERT_NO_FATAL_FAILURE(makeSmall(net));
    struct Scientific {
        double value;
        std::string_view text;
    };
    const Scientific sse[] = {{2, "2.00E+00"},         {1.25, "1.25E+00"},     {0.0123, "1.23E-02"},
                              {150, "1.50E+02"},       {9.996, "1.00E+01"},    {0, "0.00E+00"},
                              {1.5e-100, "1.50E-100"}, {123456789, "1.23E+08"}};
    std::string rows;
    const auto count = static_cast<std::size_t>(core::SSEHistoryRows);
    for (std::size_t k = 1; k <= count; ++k) {
        const int sweep = 10 * static_cast<int>(k - 1);
        const Scientific& s = sse[k % std::size(sse)];
        net.SSEHistory[k][1] = sweep;
        net.SSEHistory[k][2] = s.value;
        rows += standardWhole(sweep) + "\t" + std::string(s.text) + "\r\n";
    }
    net.SSEHistoryCount = static_cast<std::int16_t>(count);
    ASSERT_NE(rows.find("\r\n1,000.00\t"), npos);
    ASSERT_TRUE(rows.ends_with("\r\n19,990.00\t2.00E+00\r\n"));

    const std::string empty = expectedReport("small_sse_empty.txt");
    const std::string expected = empty.substr(0, empty.size() - kRule.size()) + rows + kRule;
    EXPECT_EQ(reportOf(net, sections({6})), expected);
}

TEST(ReportTextTest, GermanSeparators) {
    PublicStuff net;
    ASSERT_NO_FATAL_FAILURE(loadProblem(net, "2 0 2 2\n1 0\n0 1\n1 -1\n-1 1\n", "paare.net"));
    net.LearningRule = core::Rule::Delta;
    net.LearningRate = 1.0 / 3.0;
    net.SweepCount = 1000;
    setWeights(net, {{1234.5, -0.25}, {0, 12.4}});
    setHistory(net, {{0, 2}, {1, 1.25}, {1000, 0.0123}, {20000, 150}});
    const report::ReportContext german{text::NumberSeparators{",", "."},
                                       [] { return std::string("04.03.2002"); },
                                       [] { return std::string("10:15:00"); }};
    EXPECT_EQ(reportOf(net, sections({1, 4, 6}), german), expectedReport("paare_german.txt"));
}

TEST(ReportTextTest, RateAndTotalSSEInGeneralFormat) {
    struct Case {
        double value;
        std::string_view text;
    };
    const Case cases[] = {
        {0.05, "0.05"},      {1.0 / 3.0, "0.333333333333333"}, {2, "2"}, {0, "0"}, {1e-5, "1E-05"},
        {2.5e20, "2.5E+20"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        PublicStuff net;
        ASSERT_NO_FATAL_FAILURE(makeSmall(net));
        net.LearningRate = c.value;
        net.TotalSSE = c.value;
        const std::string text = reportOf(net, sections({1, 3}));
        const auto line = [&c](const char* label) {
            std::string whole = kEnd;
            whole += label;
            whole += c.text;
            whole += kEnd;
            return whole;
        };
        EXPECT_NE(text.find(line("Learning rate: ")), npos);
        EXPECT_NE(text.find(line("After training, sum of squared error was: ")), npos);
    }
}

// The lines of one section: those between its sub-rule and its closing rule, each split at
// its TABs. Every such line must end with a TAB.
std::vector<std::vector<std::string>> sectionRows(const std::string& text,
                                                  std::string_view heading) {
    std::vector<std::vector<std::string>> rows;
    const std::size_t at = text.find(kEnd + std::string(heading) + kEnd);
    if (at == npos) {
        ADD_FAILURE() << "no section " << heading;
        return rows;
    }
    const std::string subRule = std::string(15, '-') + kEnd;
    std::size_t start = text.find(subRule, at);
    if (start == npos) {
        ADD_FAILURE() << "no sub-rule after " << heading;
        return rows;
    }
    start += subRule.size();
    const std::string rule = std::string(45, '=');
    for (std::size_t end = text.find(kEnd, start); end != npos; end = text.find(kEnd, start)) {
        const std::string line = text.substr(start, end - start);
        start = end + kEnd.size();
        if (line == rule) {
            return rows;
        }
        if (!line.ends_with('\t')) {
            ADD_FAILURE() << "no TAB at the end of '" << line << "'";
            continue;
        }
        std::vector<std::string> fields;
        for (std::size_t from = 0, tab = line.find('\t'); tab != npos;
             from = tab + 1, tab = line.find('\t', from)) {
            fields.push_back(line.substr(from, tab - from));
        }
        rows.push_back(fields);
    }
    ADD_FAILURE() << "section " << heading << " has no closing rule";
    return rows;
}

double parsed(const std::string& field) {
    char* end = nullptr;
    const double v = std::strtod(field.c_str(), &end);
    EXPECT_TRUE(field.size() > 3 && (field[0] == '+' || field[0] == '-') &&
                end == field.c_str() + field.size() && field[field.size() - 3] == '.')
        << "'" << field << "' is not in the +###.00;-###.00 form";
    return v;
}

// A bigger network whose values are all whole or quarter numbers, so every response and
// error the report prints is exact; numbers of two digits in every label.
TEST(ReportTextTest, SectionsAgreeWithTheNetwork) {
    constexpr int kInputs = 11;
    constexpr int kOutputs = 10;
    constexpr int kPatterns = 12;
    std::uint32_t seed = 12345;
    auto next = [&seed](int span) {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(2 * span + 1)) - span;
    };

    support::Rows x(kPatterns);
    support::Rows d(kPatterns);
    for (int p = 0; p < kPatterns; ++p) {
        for (int i = 1; i <= kInputs; ++i) {
            x[p].push_back(next(3));
        }
        for (int j = 1; j <= kOutputs; ++j) {
            d[p].push_back(0.25 * next(200));
        }
    }
    PublicStuff net = support::NetworkFromRows(x, d, "bigger.net");
    net.TrainedOnProblem = true;
    for (int i = 1; i <= kInputs; ++i) {
        for (int j = 1; j <= kOutputs; ++j) {
            net.Weights.setWeight(j, i, 0.25 * next(40));
        }
    }
    net.TrainingFileName = "bigger.net";
    net.LearningRule = core::Rule::Delta;
    net.LearningRate = 0.1;

    const std::string text = reportOf(net, sections({0, 2, 3, 4, 5}));
    const auto responses = sectionRows(text, "Network Responses To Each Input Pattern:");
    const auto errors = sectionRows(text, "Network Response Errors To Each Input Pattern:");
    const auto weights =
        sectionRows(text, "Connection weights from input units (rows) to output units (columns):");
    const auto inputs = sectionRows(text, "The set of input patterns was:");
    const auto desired = sectionRows(text, "The set of desired outputs was:");
    ASSERT_EQ(responses.size(), static_cast<std::size_t>(kPatterns));
    ASSERT_EQ(errors.size(), static_cast<std::size_t>(kPatterns));
    ASSERT_EQ(inputs.size(), static_cast<std::size_t>(kPatterns));
    ASSERT_EQ(desired.size(), static_cast<std::size_t>(kPatterns));
    ASSERT_EQ(weights.size(), static_cast<std::size_t>(kInputs + 1));

    for (int p = 1; p <= kPatterns; ++p) {
        SCOPED_TRACE("pattern " + std::to_string(p));
        const auto row = static_cast<std::size_t>(p - 1);
        const std::string label = "Pattern " + std::to_string(p);
        for (const auto* section : {&responses, &errors, &inputs, &desired}) {
            EXPECT_EQ((*section)[row][0], label);
        }
        ASSERT_EQ(responses[row].size(), static_cast<std::size_t>(kOutputs + 1));
        ASSERT_EQ(errors[row].size(), static_cast<std::size_t>(kOutputs + 1));
        ASSERT_EQ(desired[row].size(), static_cast<std::size_t>(kOutputs + 1));
        ASSERT_EQ(inputs[row].size(), static_cast<std::size_t>(kInputs + 1));
        for (int i = 1; i <= kInputs; ++i) {
            EXPECT_EQ(parsed(inputs[row][static_cast<std::size_t>(i)]), net.InputPatterns(i, p));
        }
        for (int j = 1; j <= kOutputs; ++j) {
            const auto col = static_cast<std::size_t>(j);
            double response = 0;
            for (int i = 1; i <= kInputs; ++i) {
                response += net.Weights.Weight(j, i) * net.InputPatterns(i, p);
            }
            EXPECT_EQ(parsed(responses[row][col]), response) << "output " << j;
            EXPECT_EQ(parsed(desired[row][col]), net.DesiredOutputs(j, p)) << "output " << j;
            EXPECT_EQ(parsed(errors[row][col]),
                      parsed(desired[row][col]) - parsed(responses[row][col]))
                << "output " << j;
        }
    }

    ASSERT_EQ(weights[0].size(), static_cast<std::size_t>(kOutputs + 1));
    EXPECT_EQ(weights[0][0], "");
    for (int j = 1; j <= kOutputs; ++j) {
        EXPECT_EQ(weights[0][static_cast<std::size_t>(j)], "Out " + std::to_string(j));
    }
    for (int i = 1; i <= kInputs; ++i) {
        const auto& row = weights[static_cast<std::size_t>(i)];
        ASSERT_EQ(row.size(), static_cast<std::size_t>(kOutputs + 1));
        EXPECT_EQ(row[0], "INP " + std::to_string(i));
        for (int j = 1; j <= kOutputs; ++j) {
            EXPECT_EQ(parsed(row[static_cast<std::size_t>(j)]), net.Weights.Weight(j, i))
                << "INP " << i << " Out " << j;
        }
    }
}

void expectSameUnits(const PublicStuff& actual, const PublicStuff& expected) {
    for (int i = 1; i <= expected.NumInputs; ++i) {
        const auto k = static_cast<std::size_t>(i);
        EXPECT_EQ(actual.InputUnits[k].NetInput, expected.InputUnits[k].NetInput) << "input " << i;
        EXPECT_EQ(actual.InputUnits[k].Activation, expected.InputUnits[k].Activation)
            << "input " << i;
        EXPECT_EQ(actual.InputUnits[k].Error, expected.InputUnits[k].Error) << "input " << i;
    }
    for (int j = 1; j <= expected.NumOutputs; ++j) {
        const auto k = static_cast<std::size_t>(j);
        EXPECT_EQ(actual.OutputUnits[k].NetInput, expected.OutputUnits[k].NetInput)
            << "output " << j;
        EXPECT_EQ(actual.OutputUnits[k].Activation, expected.OutputUnits[k].Activation)
            << "output " << j;
        EXPECT_EQ(actual.OutputUnits[k].Error, expected.OutputUnits[k].Error) << "output " << j;
    }
}

void expectSameExceptUnits(const PublicStuff& actual, const PublicStuff& expected) {
    EXPECT_EQ(actual.TrainingFileName, expected.TrainingFileName);
    EXPECT_EQ(core::RuleName(actual.LearningRule), core::RuleName(expected.LearningRule));
    EXPECT_EQ(actual.LearningRate, expected.LearningRate);
    EXPECT_EQ(actual.SweepCount, expected.SweepCount);
    EXPECT_EQ(actual.TotalSSE, expected.TotalSSE);
    EXPECT_EQ(actual.SSEHistoryCount, expected.SSEHistoryCount);
    EXPECT_EQ(actual.SSEHistory, expected.SSEHistory);
    for (int i = 1; i <= expected.NumInputs; ++i) {
        for (int j = 1; j <= expected.NumOutputs; ++j) {
            EXPECT_EQ(actual.Weights.Weight(j, i), expected.Weights.Weight(j, i));
            EXPECT_EQ(actual.Weights.Change(j, i), expected.Weights.Change(j, i));
        }
    }
    for (int p = 1; p <= expected.NumPatterns; ++p) {
        for (int i = 1; i <= expected.NumInputs; ++i) {
            EXPECT_EQ(actual.InputPatterns(i, p), expected.InputPatterns(i, p));
        }
        for (int j = 1; j <= expected.NumOutputs; ++j) {
            EXPECT_EQ(actual.DesiredOutputs(j, p), expected.DesiredOutputs(j, p));
        }
    }
}

TEST(ReportTextTest, UnitRecordsHoldTheRecallOfTheLastPattern) {
    struct Case {
        SectionFlags flags;
        bool recalls;
    };
    const Case cases[] = {
        {sections({2}), true},
        {sections({3}), true},
        {sections({0, 1, 2, 3, 4, 5, 6}), true},
        {sections({0, 1, 4, 5, 6}), false},
        {SectionFlags{}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.flags));
        PublicStuff net;
        ASSERT_NO_FATAL_FAILURE(makeSmall(net));
        PublicStuff before;
        ASSERT_NO_FATAL_FAILURE(makeSmall(before));
        PublicStuff recalled;
        ASSERT_NO_FATAL_FAILURE(makeSmall(recalled));
        ASSERT_EQ(core::ComputeResponses(recalled, 3), core::ArithStatus::Ok);

        (void)reportOf(net, c.flags);
        expectSameUnits(net, c.recalls ? recalled : before);
        expectSameExceptUnits(net, before);
    }
}

TEST(ReportTextTest, ReadsTheTimeAfterTheDate) {
    int calls = 0;
    int dateCall = 0;
    int timeCall = 0;
    const report::ReportContext context{text::NumberSeparators{},
                                        [&] {
                                            dateCall = ++calls;
                                            return std::string("3/4/2002");
                                        },
                                        [&] {
                                            timeCall = ++calls;
                                            return std::string("10:15:00 AM");
                                        }};
    PublicStuff net;
    ASSERT_NO_FATAL_FAILURE(makePairs(net));
    EXPECT_EQ(reportOf(net, sections({1, 4}), context),
              expectedReport("pairs_general_weights.txt"));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(dateCall, 1);
    EXPECT_EQ(timeCall, 2);
}

// Pattern 3 drives output 2 beyond the double range: -1e10 * 1e300.
void makeOverflowAtLastPattern(PublicStuff& net) {
    net.Weights.setWeight(2, 3, 1e300);
    net.InputPatterns(3, 3) = -1e10;
}

TEST(ReportTextTest, RecallOverflowProducesNothing) {
    for (const SectionFlags& flags : {sections({2}), sections({3}), sections({1, 2, 3, 6})}) {
        SCOPED_TRACE(::testing::PrintToString(flags));
        PublicStuff net;
        ASSERT_NO_FATAL_FAILURE(makeSmall(net));
        makeOverflowAtLastPattern(net);
        std::string text = "before";
        std::string error;
        EXPECT_FALSE(report::ReportText(net, flags, usContext(), &text, error));
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(text.empty() || text == "before") << text;
    }
}

// Memory running out while the text is built ends in a message, not an abort: the child
// may hold only a megabyte more than it does.
TEST(ReportTextTest, RunningOutOfMemoryIsAMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#else
    std::string error;
    std::string numbers = "600 0 600 1";
    for (int k = 0; k < 1200; ++k) {
        numbers += " 1";
    }
    PublicStuff net = support::NetworkFromText(numbers, "big.net");
    net.TrainedOnProblem = true;
    const int status = inChild([&] {
        rlim_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (1 << 20);
        const ::rlimit small{limit, limit};
        std::string text;
        return ::setrlimit(RLIMIT_AS, &small) == 0 &&
                       !report::ReportText(net, sections({4}), usContext(), &text, error) &&
                       error.find("not enough memory") != npos
                   ? 0
                   : 1;
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
#endif
}

// Recalls large enough to run on several threads give the text, the message and the unit
// records of recalling on one: whole, and with pattern 40 of 64 overflowing.
TEST(ReportTextTest, RecallsOnThreadsMatchOneThread) {
    std::string numbers = "128 0 128 64";
    for (int k = 0; k < 64 * 256; ++k) {
        numbers += k % 5 == 0 ? " -0.75" : " 0.125";
    }
    for (const bool overflow : {false, true}) {
        SCOPED_TRACE(overflow ? "overflow" : "whole");
        std::array<PublicStuff, 2> nets;
        std::array<std::string, 2> texts;
        std::array<std::string, 2> errors;
        for (std::size_t k = 0; k < 2; ++k) {
            ASSERT_NO_FATAL_FAILURE(loadProblem(nets[k], numbers, "recall.net"));
            for (int i = 1; i <= 128; ++i) {
                for (int j = 1; j <= 128; ++j) {
                    nets[k].Weights.setWeight(j, i, (i * 7 - j * 3) % 23 / 4.0);
                }
            }
            if (overflow) {
                nets[k].Weights.setWeight(5, 9, 1e300);
                nets[k].InputPatterns(9, 40) = 1e10;
            }
            report::ReportContext context = usContext();
            context.threads = k == 0 ? 1 : 3;
            EXPECT_EQ(report::ReportText(nets[k], sections({2, 3}), context, &texts[k], errors[k]),
                      !overflow);
        }
        EXPECT_TRUE(texts[0] == texts[1]);
        EXPECT_EQ(errors[0], errors[1]);
        if (overflow) {
            EXPECT_NE(errors[1].find("recalling pattern 40 failed"), npos) << errors[1];
        }
        for (int j = 1; j <= 128; ++j) {
            const auto u = static_cast<std::size_t>(j);
            EXPECT_EQ(nets[0].OutputUnits[u].Activation, nets[1].OutputUnits[u].Activation);
            EXPECT_EQ(nets[0].OutputUnits[u].Error, nets[1].OutputUnits[u].Error);
        }
        EXPECT_EQ(nets[0].InputUnits[9].Activation, nets[1].InputUnits[9].Activation);
    }
}

TEST(ReportTextTest, RefusesCountsOutsideTheSixteenBitRange) {
    struct Case {
        std::string_view what;
        std::function<void(PublicStuff&)> change;
    };
    const Case cases[] = {
        {"no patterns", [](PublicStuff& net) { net.NumPatterns = 0; }},
        {"no inputs", [](PublicStuff& net) { net.NumInputs = 0; }},
        {"negative outputs", [](PublicStuff& net) { net.NumOutputs = -1; }},
        {"32768 patterns",
         [](PublicStuff& net) {
             // Arrays of the full size, so that only the count can be refused.
             net.NumPatterns = 32768;
             net.InputPatterns = core::PatternTable(net.NumInputs, net.NumPatterns);
             net.DesiredOutputs = core::PatternTable(net.NumOutputs, net.NumPatterns);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PublicStuff net;
        ASSERT_NO_FATAL_FAILURE(makeSmall(net));
        c.change(net);
        std::string text;
        std::string error;
        EXPECT_FALSE(report::ReportText(net, report::DefaultSections, usContext(), &text, error));
        EXPECT_FALSE(error.empty());
    }
}

// ---------------------------------------------------------------------------------------
// The file

// Replacing the file itself, and all it may refuse, is ReplacementFile's: see
// replacement_file_test.cpp.
class WriteReportTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(makePairs(m_net)); }

    bool write(const fs::path& path, std::string& error,
               const SectionFlags& flags = sections({1, 4})) {
        return report::WriteReport(m_net, path.string(), flags, usContext(), error);
    }

    std::set<std::string> entries() const { return m_folder.entries(); }

    support::ScratchFolder m_folder{"report_test"};
    const fs::path m_dir = m_folder.path();
    PublicStuff m_net;
};

TEST_F(WriteReportTest, WritesTheReportBytes) {
    const fs::path path = m_dir / "pairs.txt";
    std::string error;
    ASSERT_TRUE(write(path, error)) << error;
    EXPECT_EQ(readBytes(path), expectedReport("pairs_general_weights.txt"));
    EXPECT_EQ(entries(), std::set<std::string>{"pairs.txt"});
}

TEST_F(WriteReportTest, ReplacesALongerFileWhole) {
    const fs::path path = m_dir / "pairs.txt";
    writeBytes(path, std::string(10000, 'x') + "end of an earlier report\r\r\n");
    std::string error;
    ASSERT_TRUE(write(path, error)) << error;
    EXPECT_EQ(readBytes(path), expectedReport("pairs_general_weights.txt"));
    EXPECT_EQ(entries(), std::set<std::string>{"pairs.txt"});
}

TEST_F(WriteReportTest, WritesToAPathWithoutFolder) {
    const fs::path before = fs::current_path();
    fs::current_path(m_dir);
    std::string error;
    const bool ok = write("relative.txt", error);
    fs::current_path(before);
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(readBytes(m_dir / "relative.txt"), expectedReport("pairs_general_weights.txt"));
    EXPECT_EQ(entries(), std::set<std::string>{"relative.txt"});
}

// A target the report may not replace: the refusal comes back whole, naming the path.
TEST_F(WriteReportTest, PassesARefusalOfTheTargetThroughWithThePath) {
    const fs::path path = m_dir / "kept.txt";
    writeBytes(path, "earlier");
    ::chmod(path.c_str(), 0444);
    std::string error;
    EXPECT_FALSE(write(path, error));
    EXPECT_TRUE(error.starts_with("Cannot write the report \"" + path.string() + "\": ")) << error;
    EXPECT_NE(error.find("its owner has protected it against writing"), npos) << error;
    EXPECT_EQ(readBytes(path), "earlier");
    EXPECT_EQ(entries(), std::set<std::string>{"kept.txt"});
}

TEST_F(WriteReportTest, RecallOverflowLeavesTheTargetAlone) {
    const fs::path path = m_dir / "pairs.txt";
    writeBytes(path, "earlier");
    // Pattern 2 drives output 1 beyond the double range: 1e300 * 1e10.
    m_net.Weights.setWeight(1, 2, 1e300);
    m_net.InputPatterns(2, 2) = 1e10;
    std::string error;
    EXPECT_FALSE(write(path, error, sections({1, 2, 4})));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(readBytes(path), "earlier");
    EXPECT_EQ(entries(), std::set<std::string>{"pairs.txt"});
}

// A report many times larger than the writer's buffers is written under an address-space
// limit that leaves room for little more than those buffers (building it whole needs more
// than twice its size); written by one thread it has the bytes that three threads format.
TEST_F(WriteReportTest, LargeReportStreamsInBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#else
    PublicStuff net;
    std::string numbers = "2000 0 1800 1";  // outputs, 0, inputs, patterns
    for (int k = 0; k < 3800; ++k) {
        numbers += k % 3 == 0 ? " -2.5" : " 1";
    }
    ASSERT_NO_FATAL_FAILURE(loadProblem(net, numbers, "large.net"));
    for (int i = 1; i <= 1800; ++i) {
        for (int j = 1; j <= 2000; ++j) {
            net.Weights.setWeight(j, i, ((i * 7919 + j * 104729) % 200001 - 100000) / 64.0);
        }
    }
    const fs::path path = m_dir / "large.txt";
    const int status = inChild([&] {
        rlim_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (24 << 20);
        const ::rlimit small{limit, limit};
        report::ReportContext oneThread = usContext();
        oneThread.threads = 1;
        std::string error;
        return ::setrlimit(RLIMIT_AS, &small) == 0 &&
                       report::WriteReport(net, path.string(), sections({4, 0, 5}), oneThread,
                                           error)
                   ? 0
                   : 1;
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    report::ReportContext threeThreads = usContext();
    threeThreads.threads = 3;
    std::string text;
    std::string error;
    ASSERT_TRUE(report::ReportText(net, sections({4, 0, 5}), threeThreads, &text, error)) << error;
    EXPECT_GT(text.size(), std::size_t{24} << 20);
    EXPECT_TRUE(readBytes(path) == text);
    EXPECT_NE(text.find("INP 1800\t+919.66\t"), npos);
    EXPECT_EQ(entries(), std::set<std::string>{"large.txt"});
#endif
}

}  // namespace

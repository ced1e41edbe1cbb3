#include "files/loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <random>
#include <string>
#include <vector>

// Records the largest single allocation, to show that a header's claims alone never
// make the loader allocate.
namespace {
std::atomic<std::size_t> g_largestAllocation{0};
}

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    std::size_t seen = g_largestAllocation.load();
    while (size > seen && !g_largestAllocation.compare_exchange_weak(seen, size)) {
    }
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

namespace fs = std::filesystem;
using core::PublicStuff;

class LoaderTest : public testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("loader_test_" + std::to_string(::getpid()) + "_" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(m_dir, fs::perms::owner_all, ec);
        fs::remove_all(m_dir, ec);
    }

    std::string write(const std::string& name, const std::string& bytes) {
        const fs::path path = m_dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    fs::path m_dir;
};

// Compares everything the loader may change.
void expectSameProblem(const PublicStuff& a, const PublicStuff& b) {
    ASSERT_EQ(a.NumOutputs, b.NumOutputs);
    ASSERT_EQ(a.SecondHeaderValue, b.SecondHeaderValue);
    ASSERT_EQ(a.NumInputs, b.NumInputs);
    ASSERT_EQ(a.NumPatterns, b.NumPatterns);
    for (int p = 0; p <= a.NumPatterns; ++p) {
        for (int i = 0; i <= a.NumInputs; ++i)
            EXPECT_EQ(a.InputPatterns(i, p), b.InputPatterns(i, p));
        for (int j = 0; j <= a.NumOutputs; ++j)
            EXPECT_EQ(a.DesiredOutputs(j, p), b.DesiredOutputs(j, p));
    }
}

TEST_F(LoaderTest, LayoutsLoadIdentically) {
    const std::vector<std::string> layouts = {
        "2\n7\n3\n2\n1\n0\n1\n0\n1\n0\n1\n0\n0\n1\n",
        "2 7 3 2\n1 0 1\n0 1 0\n1 0\n0 1\n",
        "2,7,3,2,1,0,1,0,1,0,1,0,0,1",
        "\xEF\xBB\xBF 2, 7,\t3 ,2\r\n1,,0 ,  1\r\n\r\n0\t1\t0\r\n1 0\r\n0 1",
        "2 7 3 2 +1 0e0 1.0 .0 1. -0 10e-1 0 0 1 99 98 and trailing words",
    };
    PublicStuff first;
    std::string error;
    ASSERT_TRUE(files::LoadTrainingFile(first, write("a.net", layouts[0]), error)) << error;
    EXPECT_EQ(first.NumOutputs, 2);
    EXPECT_EQ(first.SecondHeaderValue, 7);
    EXPECT_EQ(first.NumInputs, 3);
    EXPECT_EQ(first.NumPatterns, 2);
    EXPECT_EQ(first.InputPatterns(1, 1), 1.0);
    EXPECT_EQ(first.InputPatterns(2, 2), 1.0);
    EXPECT_EQ(first.DesiredOutputs(1, 1), 1.0);
    EXPECT_EQ(first.DesiredOutputs(2, 2), 1.0);
    EXPECT_EQ(first.DesiredOutputs(1, 2), 0.0);
    for (std::size_t k = 1; k < layouts.size(); ++k) {
        SCOPED_TRACE(k);
        PublicStuff other;
        ASSERT_TRUE(files::LoadTrainingData(other, layouts[k], "x.net", error)) << error;
        expectSameProblem(first, other);
    }
}

TEST_F(LoaderTest, ReadsInputsFirstThenOutputs) {
    PublicStuff net;
    std::string error;
    // 1 output, 4 inputs, 3 patterns: 12 inputs, then 3 desired outputs.
    ASSERT_TRUE(files::LoadTrainingData(net, "1 0 4 3  1 2 3 4  5 6 7 8  9 10 11 12  -1 -2 -3",
                                        "x.net", error));
    EXPECT_EQ(net.InputPatterns(4, 1), 4);
    EXPECT_EQ(net.InputPatterns(1, 3), 9);
    EXPECT_EQ(net.DesiredOutputs(1, 1), -1);
    EXPECT_EQ(net.DesiredOutputs(1, 3), -3);
    // Numbers keep their exact values; a tiny one underflows to zero.
    ASSERT_TRUE(
        files::LoadTrainingData(net, "1 0 1 2  2.50E+02 1e-3 -1e-400 4.9e-324", "x.net", error));
    EXPECT_EQ(net.InputPatterns(1, 1), 250.0);
    EXPECT_EQ(net.InputPatterns(1, 2), 0.001);
    EXPECT_EQ(net.DesiredOutputs(1, 1), 0.0);
    EXPECT_TRUE(std::signbit(net.DesiredOutputs(1, 1)));
    EXPECT_EQ(net.DesiredOutputs(1, 2), 4.9e-324);
}

TEST_F(LoaderTest, SecondFileReplacesTheFirstCompletely) {
    PublicStuff net;
    std::string error;
    ASSERT_TRUE(files::LoadTrainingData(net, "3 0 3 3 1 2 3 4 5 6 7 8 9 9 8 7 6 5 4 3 2 1", "a.net",
                                        error));
    net.LearningRate = 0.5;
    net.SweepCount = 12;
    ASSERT_TRUE(files::LoadTrainingData(net, "1 0 1 1 5 6", "b.net", error));
    EXPECT_EQ(net.NumOutputs, 1);
    EXPECT_EQ(net.NumPatterns, 1);
    EXPECT_EQ(net.InputPatterns.units(), 1);
    EXPECT_EQ(net.InputPatterns.patterns(), 1);
    EXPECT_EQ(net.InputPatterns(1, 1), 5);
    EXPECT_EQ(net.DesiredOutputs(1, 1), 6);
    EXPECT_EQ(net.LearningRate, 0.5);  // the loader changes nothing else
    EXPECT_EQ(net.SweepCount, 12);
}

struct BadFile {
    const char* name;
    std::string bytes;
    std::string message;
};

TEST_F(LoaderTest, BadContentsAreRefusedWithThePlaceAndNothingChanges) {
    const std::vector<BadFile> cases = {
        {"empty", "", "ends early: the header should hold 4 numbers, but only 0 were found."},
        {"header", "2 0\n3",
         "ends early: the header should hold 4 numbers, but only 3 were found."},
        {"inputs", "2 0 3 2\n1 0 1\n0",
         "ends early: the input patterns should hold 6 numbers (2 patterns of 3 input units), "
         "but only 4 were found."},
        {"outputs", "2 0 3 2 1 0 1 0 1 0 1",
         "ends early: the desired outputs should hold 4 numbers (2 patterns of 2 output units), "
         "but only 1 was found."},
        {"word", "1 0 2 1\n1 x1.5\n",
         "has \"x1.5\" at line 2, column 3 (input patterns, pattern 1, unit 2), where a number "
         "was expected."},
        {"double dot", "1 0 1 1 1.2.3 1", "has \"1.2.3\" at line 1, column 9"},
        {"plus minus", "1 0 1 1 +-1 1", "has \"+-1\""},
        {"overflow", "1 0 1 1\r\n1 1e400",
         "has \"1e400\" at line 2, column 3 (desired outputs, "
         "pattern 1, unit 1), a number too large for double"},
        {"inf", "1 0 1 1 inf 1",
         "has \"inf\" at line 1, column 9 (input patterns, pattern 1, unit "
         "1), which is not a finite number."},
        {"nan", "1 0 1 1 1 NaN", "which is not a finite number."},
        {"zero count", "0 0 1 1 1 1",
         "gives \"0\" as the number of output units at line 1, column 1; it must lie between 1 "
         "and 32767."},
        {"too many", "1 0 32768 1", "gives \"32768\" as the number of input units"},
        {"negative", "1 0 1 -2", "gives \"-2\" as the number of patterns"},
        {"second", "1 3e9 1 1 1 1",
         "as the second header value at line 1, column 3; it must lie "
         "between -2147483648 and 2147483647."},
        {"fraction", "1 0 2.5 1 1 1 1",
         "gives \"2.5\" as the number of input units at line 1, column 5; it must be a whole "
         "number."},
        {"control bytes", "1 0 1 1 \x01\x02 1", "has \"??\""},
        // The same faults with enough text after them for the eight-bytes-at-a-time reader.
        {"double dot, long file", "1 0 1 1 1.2.3 1                    ",
         "has \"1.2.3\" at line 1, column 9"},
        {"letter after digits, long file", "1 0 1 1\n12x 1                    ",
         "has \"12x\" at line 2, column 1"},
        {"letter after fraction, long file", "1 0 1 1\n-1.25e 1                    ",
         "has \"-1.25e\" at line 2, column 1"},
        {"non-ASCII after digits, long file", "1 0 1 1\n5\xC3\xA9 1                    ",
         "has \"5\xC3\xA9\" at line 2, column 1"},
        {"lone minus, long file", "1 0 1 1\n- 1                    ", "has \"-\" at line 2"},
    };
    PublicStuff net;
    std::string error;
    ASSERT_TRUE(files::LoadTrainingData(net, "1 42 2 1 0.5 -0.5 3", "good.net", error));
    const PublicStuff before = net;
    for (const BadFile& bad : cases) {
        SCOPED_TRACE(bad.name);
        error.clear();
        EXPECT_FALSE(files::LoadTrainingData(net, bad.bytes, "bad.net", error));
        EXPECT_EQ(error.rfind("The training file \"bad.net\" ", 0), 0u) << error;
        EXPECT_NE(error.find(bad.message), std::string::npos) << error;
        expectSameProblem(net, before);
    }
}

TEST_F(LoaderTest, HugeClaimsInATinyFileFailAtOnce) {
    PublicStuff net;
    std::string error;
    const std::string path = write("claims.net", "32767 0 32767 32767 1 2 3 4 5\n");
    ASSERT_LT(fs::file_size(path), 31u);
    g_largestAllocation = 0;
    EXPECT_FALSE(files::LoadTrainingFile(net, path, error));
    EXPECT_LT(g_largestAllocation.load(), 4096u);
    EXPECT_NE(error.find("ends early: the input patterns should hold 1073676289 numbers "
                         "(32767 patterns of 32767 input units), but only 5 were found."),
              std::string::npos)
        << error;
    EXPECT_EQ(net.NumInputs, 0);
    EXPECT_FALSE(net.InputPatterns.exists());
}

TEST_F(LoaderTest, FilesThatCannotBeReadGiveTheSystemsReason) {
    PublicStuff net;
    std::string error;
    const std::string missing = (m_dir / "missing.net").string();
    EXPECT_FALSE(files::LoadTrainingFile(net, missing, error));
    EXPECT_EQ(error,
              "Cannot open the training file \"" + missing + "\": No such file or directory.");

    fs::create_directory(m_dir / "folder.net");
    EXPECT_FALSE(files::LoadTrainingFile(net, (m_dir / "folder.net").string(), error));
    EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;

    const std::string locked = write("locked.net", "1 0 1 1 1 1");
    ::chmod(locked.c_str(), 0);
    if (::geteuid() != 0) {  // root reads anything
        EXPECT_FALSE(files::LoadTrainingFile(net, locked, error));
        EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
    }
    EXPECT_EQ(net.NumPatterns, 0);
}

TEST_F(LoaderTest, ReadsAFileOfManyChunks) {
    // About 200 kB of text: more than the first chunk the reader takes.
    std::string text = "1 0 1 20000\n";
    for (int p = 1; p <= 20000; ++p)
        text += std::to_string(p) + ".25\n";
    for (int p = 1; p <= 20000; ++p)
        text += std::to_string(-p) + "\n";
    PublicStuff net;
    std::string error;
    ASSERT_TRUE(files::LoadTrainingFile(net, write("chunks.net", text), error)) << error;
    EXPECT_EQ(net.InputPatterns(1, 20000), 20000.25);
    EXPECT_EQ(net.DesiredOutputs(1, 12345), -12345);
}

// A FIFO would wait for a writer for good, a device may never end: nothing but a plain file
// is opened.
TEST_F(LoaderTest, FifoAndLinkToItAreRefusedAtOnce) {
    const fs::path fifo = m_dir / "pipe.net";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink(fifo, m_dir / "link.net");
    std::vector<fs::path> paths{fifo, m_dir / "link.net"};
    // A device of endless zeros, made in this folder only (needs root).
    if (::mknod((m_dir / "zero.net").c_str(), S_IFCHR | 0444, ::makedev(1, 5)) == 0)
        paths.push_back(m_dir / "zero.net");
    for (const fs::path& path : paths) {
        PublicStuff net;
        std::string error;
        EXPECT_FALSE(files::LoadTrainingFile(net, path.string(), error));
        EXPECT_EQ(error, "The training file \"" + path.string() +
                             "\" is not a regular file (a device, FIFO or socket, or a link to "
                             "one), so it is not read. Choose a training file (.net).");
    }
}

// Whatever follows the announced numbers is never read: a 3 GB file (sparse, so nothing is
// written) whose first bytes hold a whole problem loads with a small buffer, and one whose
// last number runs on into the rest is refused after a megabyte.
TEST_F(LoaderTest, ReadingStopsAtTheAnnouncedCounts) {
    struct Case {
        std::string head;
        bool loads;
    };
    for (const Case& c : {Case{"1 0 1 1 1 -2\n", true}, Case{"1 0 1 1 1 -2", false}}) {
        const std::string path = write("huge.net", c.head);
        ASSERT_EQ(::truncate(path.c_str(), off_t{3} << 30), 0);
        PublicStuff net;
        std::string error;
        EXPECT_EQ(files::LoadTrainingFile(net, path, error), c.loads) << error;
        if (c.loads) {
            EXPECT_EQ(net.DesiredOutputs(1, 1), -2.0);
        } else {
            EXPECT_NE(error.find("has \"-2??????"), std::string::npos) << error;
            EXPECT_NE(error.find("where a number was expected"), std::string::npos) << error;
        }
    }
}

// Numbers after the last desired output are not loaded, but the student is told, and a
// decimal comma (which splits 0,5 into two numbers) is named as the likely cause.
TEST_F(LoaderTest, WhatFollowsTheLastDesiredOutputIsCountedNotLoaded) {
    struct Case {
        std::string bytes;
        std::string note;
    };
    const std::vector<Case> cases{
        {"1 0 1 1 5 6\n", ""},
        {"1 0 1 1 5 6 7", "1 more number after the last desired output was not read."},
        {"1 0 1 1 5 6 1 2 3 4 5 6 7 8 9 10 11 12\n",
         "12 more numbers after the last desired output were not read."},
        {"1 0 1 1 5 6 7 end", "Text after the last desired output was not read."},
        {"1 0 2 1 0,5 1 0,25\n",
         "2 more numbers after the last desired output were not read. A comma separates "
         "numbers (so \"0,5\" is read as 0 and 5)."},
    };
    for (const Case& c : cases) {
        PublicStuff net;
        std::string error;
        files::FileTail tail;
        ASSERT_TRUE(files::LoadTrainingData(net, c.bytes, "x.net", error, tail)) << error;
        EXPECT_EQ(files::TailNote(tail), c.note) << c.bytes;
        PublicStuff fromFile;
        files::FileTail fileTail;
        ASSERT_TRUE(files::LoadTrainingFile(fromFile, write("tail.net", c.bytes), error, nullptr,
                                            &fileTail));
        EXPECT_EQ(files::TailNote(fileTail), c.note) << c.bytes;
    }
    PublicStuff net;
    std::string error;
    files::FileTail tail;
    ASSERT_TRUE(files::LoadTrainingData(net, "1 0 1 1 0,5 0,25", "x.net", error, tail));
    EXPECT_EQ(net.DesiredOutputs(1, 1), 5.0);
}

// Only 64 KiB after the last desired output is looked at: " 7" fills it with 32768 numbers,
// the last of which touches its edge and may go on, so 32767 are counted.
TEST_F(LoaderTest, ALongTailIsCountedAsFarAsItIsLookedAt) {
    std::string bytes = "1 0 1 1 5 6";
    for (int k = 0; k < 40000; ++k)
        bytes += " 7";
    const std::string note =
        "At least 32767 more numbers after the last desired output were not read.";
    PublicStuff net;
    std::string error;
    files::FileTail tail;
    ASSERT_TRUE(files::LoadTrainingData(net, bytes, "x.net", error, tail));
    EXPECT_EQ(files::TailNote(tail), note);
    // A 3 GB file (sparse) whose numbers go on past the look is not read to its end.
    const std::string path = write("long.net", bytes + "\n");
    ASSERT_EQ(::truncate(path.c_str(), off_t{3} << 30), 0);
    files::FileTail fileTail;
    ASSERT_TRUE(files::LoadTrainingFile(net, path, error, nullptr, &fileTail)) << error;
    EXPECT_EQ(files::TailNote(fileTail), note);
}

}  // namespace

namespace {

TEST(ShippedExamples, EveryExampleLoads) {
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(DAM_EXAMPLES)) {
        if (entry.path().extension() != ".net")
            continue;
        SCOPED_TRACE(entry.path().string());
        core::PublicStuff net;
        std::string error;
        EXPECT_TRUE(files::LoadTrainingFile(net, entry.path().string(), error)) << error;
        ++loaded;
    }
    EXPECT_GE(loaded, 6);
}

}  // namespace

namespace {

TEST(LoaderNumbers, EveryValueEqualsTheStandardConversion) {
    // Short decimals take a quick path; every value must still be exactly what
    // std::from_chars gives, including near ties, long fractions and signed zeros.
    std::mt19937_64 rng(11);
    std::vector<std::string> fields = {"0",
                                       "-0",
                                       "+0.0",
                                       "-.0",
                                       "5.",
                                       ".5",
                                       "1e0",
                                       "1E-3",
                                       "2.50E+02",
                                       "123456789012345",
                                       "1234567890123456",
                                       "0.1",
                                       "0.3",
                                       "9007199254740993",
                                       "0.000000000000000000000001",
                                       "4.9e-324"};
    for (int k = 0; k < 20000; ++k) {
        std::string field = (rng() & 1) ? "-" : "";
        const int whole = static_cast<int>(rng() % 9);
        const int fraction = static_cast<int>(rng() % 18);
        for (int d = 0; d < whole; ++d)
            field += static_cast<char>('0' + rng() % 10);
        if (fraction > 0 || whole == 0) {
            field += '.';
            for (int d = 0; d < std::max(fraction, 1); ++d)
                field += static_cast<char>('0' + rng() % 10);
        }
        fields.push_back(field);
    }
    // Every kind of separator, so fields end at each of them.
    const char* separators[] = {"\n", " ", ",", "\t", "\r\n", " ,  "};
    std::string text = "1 0 1 " + std::to_string(fields.size()) + "\n";
    for (const std::string& field : fields)
        text += field + separators[rng() % std::size(separators)];
    for (std::size_t k = 0; k < fields.size(); ++k)
        text += "0\n";
    core::PublicStuff net;
    std::string error;
    ASSERT_TRUE(files::LoadTrainingData(net, text, "numbers.net", error)) << error;
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const std::string& field = fields[k];
        const char* first = field.data() + (field[0] == '+' ? 1 : 0);
        double expected = 0.0;
        std::from_chars(first, field.data() + field.size(), expected);
        const double loaded = net.InputPatterns(1, static_cast<int>(k) + 1);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(loaded), std::bit_cast<std::uint64_t>(expected))
            << field;
    }
}

}  // namespace

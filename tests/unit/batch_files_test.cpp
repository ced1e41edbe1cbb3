// The batch trainer run as a program: what it refuses before training, and standard
// output or a signal failing it on the way.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

class BatchFilesTest : public testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("batch_files_test_" + std::to_string(::getpid()) + "_" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
        m_errors = m_dir.string() + ".errors";
        fs::copy_file(DAM_EXAMPLES "/tiny.net", m_dir / "t.net");
        fs::create_symlink("t.net", m_dir / "l.xlsx");
        ASSERT_EQ(::mkfifo((m_dir / "fifo").c_str(), 0600), 0);
        m_made = entries();
    }
    void TearDown() override {
        fs::remove_all(m_dir);
        fs::remove(m_errors);
    }

    // distmem-batch with `args` in the test's folder, standard output to `out`, standard
    // error to m_errors.
    pid_t start(const Args& args, int out) const {
        const pid_t child = ::fork();
        if (child == 0) {
            std::vector<char*> argv{const_cast<char*>(DAM_BATCH)};
            for (const std::string& arg : args) {
                argv.push_back(const_cast<char*>(arg.c_str()));
            }
            argv.push_back(nullptr);
            const int errors = ::open(m_errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (::chdir(m_dir.c_str()) == 0 && ::dup2(out, 1) == 1 && ::dup2(errors, 2) == 2) {
                ::execv(DAM_BATCH, argv.data());
            }
            ::_exit(127);
        }
        return child;
    }
    // The exit status, or 128 + the signal that ended it.
    int finish(pid_t child) const {
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    int batch(const Args& args, const char* out = "/dev/null") const {
        const int fd = ::open(out, O_WRONLY | O_CREAT, 0600);
        const int status = finish(start(args, fd));
        ::close(fd);
        return status;
    }
    std::string said() const { return read(m_errors); }
    static std::string read(const fs::path& path) {
        std::ifstream in(path);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::set<std::string> entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    fs::path m_dir;
    fs::path m_errors;  // beside m_dir, so that tests running side by side keep apart
    std::set<std::string> m_made;
};

// Refused at the start, before any training (no summary line): nothing is written and no
// temporary file is left.
TEST_F(BatchFilesTest, RefusedBeforeTraining) {
    const std::pair<Args, std::string> cases[] = {
        {{"t.net", "--workbook", "l.xlsx"}, "2 --workbook names the training file itself"},
        {{"t.net", "--report", "o.txt", "--workbook", "./o.txt"},
         "2 --report and --workbook name the same file"},
        {{"t.net", "--workbook", "o.h5", "--save-network", "o.h5"},
         "2 --workbook and --save-network name the same file"},
        {{"t.net", "--workbook", ""}, "2 --workbook needs a file name"},
        {{"t.net", "--save-network", "o.net"},
         "2 --save-network needs a name ending in .h5, not \"o.net\""},
        {{"t.net", "--workbook", "fifo"}, "1 workbook \"fifo\": it is not a regular file"},
        {{"t.net", "--workbook", "no/w.xlsx"}, "1 workbook \"no/w.xlsx\": No such file"},
        {{"t.net", "--diagnose", "--report", "r.txt"},
         "2 --report needs a trained network, and --diagnose trains nothing"},
        {{"t.net", "--diagnose", "--workbook", "w.xlsx"}, "2 --workbook needs a trained network"},
        {{"t.net", "--diagnose", "--report", "-"},
         "2 --report - and --diagnose would both write to standard output"},
        {{"t.net", "--rate", "-1"},
         "2 distmem-batch: the learning rate \"-1\" is negative; give a rate of 0 or more.\n"},
        {{"t.net", "--diagnose", "--rate", "-0.5"}, "2 the learning rate \"-0.5\" is negative"},
        {{"t.net", "--test", DAM_EXAMPLES "/bipolar.net"},
         "2 The test file \"" DAM_EXAMPLES
         "/bipolar.net\" has 8 inputs and 4 outputs, but the trained network has 3 inputs and "
         "2 outputs."},
        {{"t.net", "--test", "missing.net"}, "2 missing.net"},
        {{"t.net", "--test", "./t.net"}, "2 --test names the training file itself"},
        {{"t.net", "--test", "t.net", "--degrade", "--json"},
         "2 --json prints one JSON object: give only one of --diagnose, --test and --degrade"},
        {{"t.net", "--cpu", "sse9"}, "2 --cpu takes avx512, avx2 or baseline, not \"sse9\""},
        {{"t.net", "--seed", "4"},
         "2 distmem-batch: --seed goes with --degrade\nRun \"distmem-batch --help\" for the "
         "options.\n"},
    };
    for (const auto& [args, expected] : cases) {
        const int status = batch(args, (m_dir / "out").c_str());
        EXPECT_EQ(expected[0] - '0', status) << expected;
        EXPECT_NE(said().find(expected.substr(2)), std::string::npos) << said();
        EXPECT_EQ(fs::file_size(m_dir / "out"), 0u) << expected;
        fs::remove(m_dir / "out");
        EXPECT_EQ(entries(), m_made) << expected;
    }
}

// Numbers after the last desired output are named on standard error, trained or
// diagnosed; a rate of -0 is 0.
TEST_F(BatchFilesTest, NumbersAfterTheLastDesiredOutputAreNamed) {
    std::ofstream(m_dir / "tail.net") << "1 0 1 1 1 2 3 4\n";
    for (const Args& args : {Args{"tail.net", "--rate", "-0"}, Args{"tail.net", "--diagnose"}}) {
        EXPECT_EQ(batch(args), 0) << said();
        EXPECT_EQ(said(),
                  "distmem-batch: warning: 2 more numbers after the last desired output "
                  "were not read.\n");
    }
}

// With --json the result is one JSON object on standard output, the summary on standard error.
TEST_F(BatchFilesTest, ExperimentsPrintOneJsonObject) {
    for (const Args& args : {Args{"t.net", "--degrade", "--seed", "5", "--json"},
                             Args{"t.net", "--test", DAM_EXAMPLES "/dependent.net", "--json"}}) {
        ASSERT_EQ(batch(args, (m_dir / "out").c_str()), 0) << said();
        const std::string out = read(m_dir / "out");
        EXPECT_EQ(out.front(), '{');
        EXPECT_EQ(out.find('\n'), out.size() - 1) << out;
        EXPECT_NE(out.find(args[1] == "--degrade" ? "{\"seed\": 5, \"trials\": 20, \"noise\": [{"
                                                  : "\"recalled_nearest\": "),
                  std::string::npos)
            << out;
        EXPECT_NE(said().find("t.net: Hebb rule, rate 0.1, 100 epochs"), std::string::npos);
        fs::remove(m_dir / "out");
    }
}

// The usage lines are laid out from the table of options; the text stays as written.
TEST_F(BatchFilesTest, HelpPrintsTheUsageAsWritten) {
    ASSERT_EQ(batch({"--help"}, (m_dir / "out").c_str()), 0);
    EXPECT_EQ(read(m_dir / "out"), read(DAM_TEST_DATA "/batch_usage.txt"));
}

// Every instruction set the processor runs trains, reports and recalls to the same bits;
// one it lacks is refused before training.
TEST_F(BatchFilesTest, EveryCpuPathGivesTheSameResults) {
    const std::string large = DAM_EXAMPLES "/large.net";
    fs::copy_file(large, m_dir / "tests.net");
    std::string first;
    for (const std::string path : {"baseline", "avx2", "avx512"}) {
        const Args args{large,       "--rule", "Delta",      "--cpu",       path,     "--test",
                        "tests.net", "--json", "--report",   path + ".txt", "--date", "D",
                        "--time",    "T",      "--sections", "0123456"};
        const int status = batch(args, (m_dir / "out").c_str());
        if (status == 2) {
            EXPECT_NE(said().find("this processor lacks its instructions"), std::string::npos);
            continue;
        }
        ASSERT_EQ(status, 0) << said();
        const std::string results = read(m_dir / "out") + read(m_dir / (path + ".txt"));
        EXPECT_EQ(results, first.empty() ? results : first) << path;
        first = results;
        fs::remove(m_dir / "out");
    }
}

// A saved network is diagnosed untrained on, and every file asked for is written of it.
TEST_F(BatchFilesTest, DiagnosingASavedNetworkWritesEveryFile) {
    ASSERT_EQ(batch({"t.net", "--save-network", "s.h5"}), 0);
    EXPECT_EQ(batch({"s.h5", "--diagnose", "--report", "r.txt", "--workbook", "w.xlsx",
                     "--save-network", "s.h5"},
                    (m_dir / "out").c_str()),
              0)
        << said();
    EXPECT_NE(read(m_dir / "out").find("SSE"), std::string::npos);
    EXPECT_GT(fs::file_size(m_dir / "r.txt") * fs::file_size(m_dir / "w.xlsx"), 0u);
}

// A full disk or a closed pipe on standard output fails the run with a message and
// status 1, and leaves no temporary file.
TEST_F(BatchFilesTest, StandardOutputFailuresAreReported) {
    for (const Args& args :
         {Args{"t.net"}, {"t.net", "--diagnose"}, {"--help"}, {"t.net", "--report", "-"}}) {
        EXPECT_EQ(batch(args, "/dev/full"), 1) << args.back();
        EXPECT_NE(said().find("to standard output: No space left on device."), std::string::npos)
            << said();
    }
    int closed[2];
    ASSERT_EQ(::pipe(closed), 0);
    ::close(closed[0]);
    EXPECT_EQ(finish(start({"t.net", "--report", "r.txt", "--workbook", "w.xlsx"}, closed[1])), 1);
    ::close(closed[1]);
    EXPECT_NE(said().find("Cannot write to standard output: Broken pipe."), std::string::npos);
    EXPECT_EQ(entries(), m_made);
}

// SIGHUP during a run removes the report's, the workbook's and the network's temporary
// files, and the earlier report stays.
TEST_F(BatchFilesTest, HangUpRemovesEveryTemporaryFile) {
    std::ofstream big(m_dir / "big.net");  // long enough to train that the signal comes first
    big << "300 0 300 40";
    for (int k = 0; k < 600 * 40; ++k) {
        big << (k % 7 == 0 ? " 1" : " 0");
    }
    big.close();
    std::ofstream(m_dir / "r.txt") << "earlier";
    const pid_t child = start({"big.net", "--no-max-epochs", "--report", "r.txt", "--workbook",
                               "w.xlsx", "--save-network", "n.h5"},
                              STDOUT_FILENO);
    // Three temporary files beside big.net and r.txt; without them, hung up after a minute.
    for (int k = 0; k < 60000 && entries().size() < m_made.size() + 5; ++k) {
        ::usleep(1000);
    }
    ::kill(child, SIGHUP);
    EXPECT_EQ(finish(child), 128 + SIGHUP) << said();
    m_made.insert({"big.net", "r.txt"});
    EXPECT_EQ(entries(), m_made);
    EXPECT_EQ(read(m_dir / "r.txt"), "earlier");
}

}  // namespace

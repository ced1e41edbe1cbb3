// The batch trainer run as a program: what it refuses before training, and standard
// output or a signal failing it on the way.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct BatchRun {
    int status = -1;  // the exit status, or 128 + the signal that ended it
    std::string errors;
};

class BatchFilesTest : public testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("batch_files_test_" + std::to_string(::getpid()) + "_" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir / "sub");
        fs::copy_file(DAM_EXAMPLES "/tiny.net", m_dir / "t.net");
        fs::create_symlink("t.net", m_dir / "l.xlsx");
        fs::create_symlink("nothing", m_dir / "dangling.xlsx");
        ASSERT_EQ(::mkfifo((m_dir / "fifo").c_str(), 0600), 0);
        m_made = entries();
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // distmem-batch with `args` in the test's folder, standard output to `out` (a file
    // name, or a descriptor when `outFd` >= 0); `started` runs once the child exists.
    BatchRun batch(std::vector<std::string> args, const char* out = "/dev/null", int outFd = -1,
                   const std::function<void(pid_t)>& started = {}) const {
        int errors[2];
        EXPECT_EQ(::pipe(errors), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (outFd >= 0) {
            posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out, O_WRONLY | O_CREAT,
                                             0600);
        }
        posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, errors[0]);
        args.insert(args.begin(), DAM_BATCH);
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        const fs::path old = fs::current_path();
        fs::current_path(m_dir);
        pid_t child = -1;
        EXPECT_EQ(::posix_spawn(&child, DAM_BATCH, &actions, nullptr, argv.data(), environ), 0);
        fs::current_path(old);
        posix_spawn_file_actions_destroy(&actions);
        ::close(errors[1]);
        if (started) {
            started(child);
        }
        BatchRun run;
        char buffer[4096];
        for (ssize_t n = 0; (n = ::read(errors[0], buffer, sizeof buffer)) > 0;) {
            run.errors.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(errors[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return run;
    }
    std::set<std::string> entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    fs::path m_dir;
    std::set<std::string> m_made;
};

// Refused at the start, before any training (no summary line): nothing is written and no
// temporary file is left.
TEST_F(BatchFilesTest, RefusedBeforeTraining) {
    const struct {
        std::vector<std::string> args;
        int status;
        std::string said;
    } cases[] = {
        {{"t.net", "--workbook", "t.net"}, 2, "--workbook names the training file itself"},
        {{"t.net", "--workbook", "./t.net"}, 2, "--workbook names the training file itself"},
        {{"t.net", "--workbook", "l.xlsx"}, 2, "--workbook names the training file itself"},
        {{"t.net", "--report", "same.out", "--workbook", "same.out"},
         2,
         "--report and --workbook name the same file"},
        {{"t.net", "--report", "out.txt", "--workbook", "./out.txt"},
         2,
         "--report and --workbook name the same file"},
        {{"t.net", "--workbook", "o.h5", "--save-network", "sub/../o.h5"},
         2,
         "--workbook and --save-network name the same file"},
        {{"t.net", "--workbook", ""}, 2, "--workbook needs a file name"},
        {{"t.net", "--workbook", "fifo"}, 1, "\"fifo\": it is not a regular file"},
        {{"t.net", "--workbook", "dangling.xlsx"}, 1, "it is a symbolic link to nothing"},
        {{"t.net", "--workbook", "sub"}, 1, "workbook \"sub\": Is a directory."},
        {{"t.net", "--workbook", "missing/w.xlsx"}, 1, "No such file or directory."},
        {{"t.net", "--diagnose", "--report", "r.txt"},
         2,
         "--report needs a trained network, and --diagnose trains nothing"},
        {{"t.net", "--diagnose", "--workbook", "w.xlsx"}, 2, "--workbook needs a trained network"},
        {{"t.net", "--diagnose", "--report", "-"},
         2,
         "--report - and --diagnose would both write to standard output"},
    };
    for (const auto& c : cases) {
        const BatchRun run = batch(c.args, "summary");
        EXPECT_EQ(run.status, c.status) << c.said;
        EXPECT_NE(run.errors.find(c.said), std::string::npos) << run.errors;
        EXPECT_EQ(fs::file_size(m_dir / "summary"), 0u) << c.said;
        fs::remove(m_dir / "summary");
        EXPECT_EQ(entries(), m_made) << c.said;
    }
}

// A saved network trains nothing when diagnosed, and everything asked is written of it.
TEST_F(BatchFilesTest, DiagnosingASavedNetworkWritesEveryFile) {
    ASSERT_EQ(batch({"t.net", "--epochs", "5", "--save-network", "s.h5"}).status, 0);
    const BatchRun run = batch({"s.h5", "--diagnose", "--report", "r.txt", "--workbook", "w.xlsx",
                                "--save-network", "s.h5"},
                               "diagnosis");
    EXPECT_EQ(run.status, 0) << run.errors;
    std::ifstream diagnosis(m_dir / "diagnosis");
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(diagnosis), {}).find("SSE"),
              std::string::npos);
    EXPECT_GT(fs::file_size(m_dir / "r.txt"), 500u);
    EXPECT_GT(fs::file_size(m_dir / "w.xlsx"), 5000u);
}

// A full disk or a closed pipe on standard output fails the run with a message and
// status 1, and leaves no temporary file.
TEST_F(BatchFilesTest, StandardOutputFailuresAreReported) {
    const std::string full = "to standard output: No space left on device.";
    for (const std::vector<std::string>& args : {std::vector<std::string>{"t.net"},
                                                 {"t.net", "--diagnose"},
                                                 {"--help"},
                                                 {"t.net", "--report", "-"}}) {
        const BatchRun run = batch(args, "/dev/full");
        EXPECT_EQ(run.status, 1) << args[0];
        EXPECT_NE(run.errors.find(full), std::string::npos) << run.errors;
    }
    int closed[2];
    ASSERT_EQ(::pipe(closed), 0);
    ::close(closed[0]);
    const BatchRun run =
        batch({"t.net", "--report", "r.txt", "--workbook", "w.xlsx"}, nullptr, closed[1]);
    ::close(closed[1]);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("Cannot write to standard output: Broken pipe."), std::string::npos)
        << run.errors;
    EXPECT_EQ(entries(), m_made);
}

// SIGHUP during a run removes the report's, the workbook's and the network's temporary
// files, and still ends the program; the earlier report stays.
TEST_F(BatchFilesTest, HangUpRemovesEveryTemporaryFile) {
    std::ofstream big(m_dir / "big.net");  // long enough to train that the signal comes first
    big << "300 0 300 40";
    for (int k = 0; k < 600 * 40; ++k) {
        big << (k % 7 == 0 ? " 1" : " 0");
    }
    big.close();
    std::ofstream(m_dir / "r.txt") << "earlier";
    const auto hangUpOnceOpen = [this](pid_t child) {
        // big.net, r.txt and three temporary files; a run that never makes them is
        // hung up after a minute and fails below.
        for (int k = 0; k < 60000 && entries().size() < m_made.size() + 5; ++k) {
            ::usleep(1000);
        }
        ::kill(child, SIGHUP);
    };
    const BatchRun run = batch({"big.net", "--no-max-epochs", "--report", "r.txt", "--workbook",
                                "w.xlsx", "--save-network", "n.h5"},
                               "/dev/null", -1, hangUpOnceOpen);
    EXPECT_EQ(run.status, 128 + SIGHUP) << run.errors;
    std::set<std::string> left = m_made;
    left.insert({"big.net", "r.txt"});
    EXPECT_EQ(entries(), left);
    std::ifstream report(m_dir / "r.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(report), {}), "earlier");
}

}  // namespace

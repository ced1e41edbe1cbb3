// The batch trainer with network files: saving, opening, training on, and refusing.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

struct BatchRun {
    int status = -1;
    std::string output;  // standard output and error
};

class BatchNetworkTest : public testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("batch_network_test_" + std::to_string(::getpid()) + "_" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // distmem-batch with `args`, in the test's folder.
    BatchRun batch(const std::string& args) const {
        const std::string command =
            "cd '" + m_dir.string() + "' && '" DAM_BATCH "' " + args + " 2>&1";
        BatchRun run;
        FILE* pipe = ::popen(command.c_str(), "r");
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            run.output.append(buffer, n);
        }
        const int status = ::pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }
    std::string contents(const char* name) const {
        std::ifstream in(m_dir / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    fs::path m_dir;
};

const std::string kReport = " --sections 0123456 --date 01/02/03 --time 04:05:06 --report ";

TEST_F(BatchNetworkTest, TrainingOnAnOpenedNetworkEqualsTrainingOnAtOnce) {
    const std::string runs[] = {
        // 64 outputs in eight blocks; a printout every other epoch.
        DAM_EXAMPLES "/large.net --rule Delta --rate 0.1 --epochs 7 --print 2",
        // Both stopping rules, Hebb: the minimum error ends a continuation early.
        DAM_EXAMPLES "/independent.net --rule Hebb --rate 0.3 --epochs 4 --print 1 --min-error 1.5",
    };
    for (const std::string& run : runs) {
        SCOPED_TRACE(run);
        const BatchRun atOnce = batch(run + " --continue 2" + kReport + "r1.txt");
        ASSERT_EQ(atOnce.status, 0) << atOnce.output;
        const BatchRun saved =
            batch(run + " --continue 1 --save-network s.h5" + kReport + "r0.txt");
        ASSERT_EQ(saved.status, 0) << saved.output;
        const BatchRun opened = batch("s.h5 --continue 1" + kReport + "r2.txt");
        ASSERT_EQ(opened.status, 0) << opened.output;
        EXPECT_EQ(opened.output, atOnce.output);
        EXPECT_EQ(contents("r2.txt"), contents("r1.txt"));

        // Opened and written again without training: the report the run wrote.
        const BatchRun reopened = batch("s.h5 --save-network s.h5" + kReport + "r3.txt");
        ASSERT_EQ(reopened.status, 0) << reopened.output;
        EXPECT_EQ(reopened.output, saved.output);
        EXPECT_EQ(contents("r3.txt"), contents("r0.txt"));
        EXPECT_GT(contents("r0.txt").size(), 500u);
    }
}

TEST_F(BatchNetworkTest, RefusesWhatCannotGoWithANetworkFile) {
    ASSERT_EQ(batch(DAM_EXAMPLES "/tiny.net --epochs 7 --save-network s.h5").status, 0);
    const BatchRun rate = batch("s.h5 --rate 0.2");
    EXPECT_EQ(rate.status, 2);
    EXPECT_NE(rate.output.find("--rate sets up a new run, but s.h5 is a network file"),
              std::string::npos)
        << rate.output;
    // 7 trained and 4681 times 7 more pass 32767: refused before any training.
    const BatchRun far = batch("s.h5 --continue 4681 --save-network s.h5");
    EXPECT_EQ(far.status, 2);
    EXPECT_NE(far.output.find("7 epochs trained and 4681 continuations of 7 epochs make 32774"),
              std::string::npos)
        << far.output;
    EXPECT_EQ(batch("s.h5 --continue 4680").status, 0);

    ASSERT_EQ(::mkfifo((m_dir / "fifo.h5").c_str(), 0600), 0);
    const BatchRun fifo = batch(DAM_EXAMPLES "/tiny.net --save-network fifo.h5");
    EXPECT_EQ(fifo.status, 1);
    EXPECT_NE(fifo.output.find("Cannot save the network \"fifo.h5\": it is not a regular file"),
              std::string::npos)
        << fifo.output;
    fs::copy_file(DAM_EXAMPLES "/tiny.net", m_dir / "t.net");
    EXPECT_EQ(batch("t.net --save-network ./t.net").status, 2);

    const BatchRun version = batch("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output.rfind("distmem-batch ", 0), 0u) << version.output;
}

// A save that runs out of room at any point, up to the last write of the close, is refused
// with a message and status 1; the program ends normally and leaves no file behind.
TEST_F(BatchNetworkTest, AFullDiskAtAnyWriteEndsNormally) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    ASSERT_EQ(batch(DAM_EXAMPLES "/large.net --epochs 2 --save-network large.h5").status, 0);
    const fs::path disk = m_dir / "disk";
    fs::create_directories(disk);
    int failed = 0;
    for (int kb = 8; kb <= 96; kb += 8) {
        SCOPED_TRACE(kb);
        const std::string size = "size=" + std::to_string(kb) + "k";
        ASSERT_EQ(
            std::system(("mount -t tmpfs -o " + size + " tmpfs '" + disk.string() + "'").c_str()),
            0);
        const BatchRun run = batch("large.h5 --save-network disk/out.h5");
        const bool saved = fs::exists(disk / "out.h5");
        const auto left = std::distance(fs::directory_iterator(disk), fs::directory_iterator());
        ASSERT_EQ(std::system(("umount '" + disk.string() + "'").c_str()), 0);
        ASSERT_TRUE(run.status == 0 || run.status == 1) << run.status << " " << run.output;
        EXPECT_EQ(left, saved ? 1 : 0);
        if (run.status == 1) {
            ++failed;
            EXPECT_NE(run.output.find("Cannot save the network to \"disk/out.h5\""),
                      std::string::npos)
                << run.output;
        }
    }
    EXPECT_GE(failed, 3);
}

}  // namespace

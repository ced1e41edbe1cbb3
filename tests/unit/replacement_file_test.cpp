#include "files/replacement_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using files::ReplacementFile;
using support::inChild;
using support::readBytes;
using support::writeBytes;

constexpr std::size_t npos = std::string::npos;
constexpr const char* kWhat = "Cannot write the file";
const std::string kEarlier = "the earlier text\r\r\n";
const std::string kNew = "the new text\r\r\nin two lines\r\r\n";

class ReplacementFileTest : public testing::Test {
  protected:
    // Open, write and commit, as every writer of a file does.
    static bool replace(const fs::path& path, const std::string& bytes, std::string& error) {
        ReplacementFile file;
        return file.open(path.string(), kWhat, error) && file.write(bytes, error) &&
               file.commit(error);
    }

    // Opening refused, with nothing left open; CheckTarget, asked first, refuses alike.
    static void expectRefused(const fs::path& path, std::string& error) {
        std::string checked;
        EXPECT_FALSE(ReplacementFile::CheckTarget(path.string(), kWhat, checked));
        ReplacementFile file;
        EXPECT_FALSE(file.open(path.string(), kWhat, error));
        EXPECT_FALSE(file.isOpen());
        EXPECT_EQ(checked, error);
    }

    std::set<std::string> entries() const { return m_folder.entries(); }

    support::ScratchFolder m_folder{"replacement_file_test"};
    const fs::path m_dir = m_folder.path();
};

// The message starts as the writer asked, then names the path and the system's reason.
void expectNamesPathAndReason(const std::string& error, const fs::path& path, int reason) {
    EXPECT_TRUE(error.starts_with(std::string(kWhat) + " \"" + path.string() + "\": ")) << error;
    EXPECT_NE(error.find(std::strerror(reason)), npos)
        << error << "\nexpected the reason: " << std::strerror(reason);
}

// A new file is an ordinary file that others may read, as any program's new text file.
// The mask is read once, so the test takes the process's own.
TEST_F(ReplacementFileTest, NewFileGetsTheUsualPermissions) {
    const ::mode_t mask = ::umask(022);
    ::umask(mask);
    const fs::path path = m_dir / "new.txt";
    std::string error;
    ASSERT_TRUE(replace(path, kNew, error)) << error;
    EXPECT_EQ(readBytes(path), kNew);
    struct ::stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777u, 0666u & ~mask);
}

TEST_F(ReplacementFileTest, MissingFolderFails) {
    const fs::path path = m_dir / "missing" / "new.txt";
    std::string error;
    ReplacementFile file;
    EXPECT_FALSE(file.open(path.string(), kWhat, error));
    expectNamesPathAndReason(error, path, ENOENT);
    EXPECT_TRUE(entries().empty());
}

TEST_F(ReplacementFileTest, FolderPartThatIsAFileFails) {
    writeBytes(m_dir / "plain.txt", "keep me");
    const fs::path path = m_dir / "plain.txt" / "new.txt";
    std::string error;
    expectRefused(path, error);
    expectNamesPathAndReason(error, path, ENOTDIR);
    EXPECT_EQ(readBytes(m_dir / "plain.txt"), "keep me");
    EXPECT_EQ(entries(), std::set<std::string>{"plain.txt"});
}

// An empty folder, so that a writer that deletes the target before renaming would get away.
TEST_F(ReplacementFileTest, FolderAtTheTargetIsLeftAlone) {
    const fs::path path = m_dir / "target.txt";
    fs::create_directory(path);
    std::string error;
    expectRefused(path, error);
    expectNamesPathAndReason(error, path, EISDIR);
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_TRUE(fs::is_empty(path));
    EXPECT_EQ(entries(), std::set<std::string>{"target.txt"});
}

// A full disk, played by a file size limit of 64 bytes: the write fails with EFBIG instead
// of the process being killed by SIGXFSZ.
TEST_F(ReplacementFileTest, FullDiskKeepsTheEarlierFile) {
    const fs::path path = m_dir / "target.txt";
    writeBytes(path, kEarlier);

    ::rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct ::sigaction ignore {};
    struct ::sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
    ::rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

    std::string error;
    bool opened = false;
    bool written = false;
    {
        ReplacementFile file;
        opened = file.open(path.string(), kWhat, error);
        written = opened && file.write(std::string(4096, 'n'), error);
    }

    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    ASSERT_EQ(::sigaction(SIGXFSZ, &previous, nullptr), 0);
    ASSERT_TRUE(opened) << error;
    EXPECT_FALSE(written);
    expectNamesPathAndReason(error, path, EFBIG);
    EXPECT_EQ(readBytes(path), kEarlier);
    EXPECT_EQ(entries(), std::set<std::string>{"target.txt"});
}

TEST_F(ReplacementFileTest, ReadOnlyFolderFails) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders, so there is no failure to see";
    }
    const fs::path path = m_dir / "target.txt";
    writeBytes(path, kEarlier);
    fs::permissions(m_dir, fs::perms::owner_read | fs::perms::owner_exec);
    std::string error;
    ReplacementFile file;
    EXPECT_FALSE(file.open(path.string(), kWhat, error));
    fs::permissions(m_dir, fs::perms::owner_all);
    expectNamesPathAndReason(error, path, EACCES);
    EXPECT_EQ(readBytes(path), kEarlier);
    EXPECT_EQ(entries(), std::set<std::string>{"target.txt"});
}

// Only a plain file is replaced; anything else is refused by name and stays what it was.
TEST_F(ReplacementFileTest, SpecialTargetsAreRefusedAndLeftAlone) {
    ASSERT_EQ(::mkfifo((m_dir / "fifo").c_str(), 0600), 0);
    fs::create_symlink(m_dir / "fifo", m_dir / "to-fifo");
    fs::create_symlink(m_dir / "nowhere", m_dir / "dangling");
    std::vector<std::pair<std::string, std::string>> cases = {
        {"fifo", "is not a regular file"},
        {"to-fifo", "is a link to \"" + (m_dir / "fifo").string() + "\", which is not a regular"},
        {"dangling", "symbolic link to nothing"}};
    // A device node (the null device's numbers) needs root; it lives only in this folder.
    if (::mknod((m_dir / "device").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0) {
        cases.emplace_back("device", "is not a regular file");
    }
    const std::set<std::string> before = entries();
    for (const auto& [name, said] : cases) {
        SCOPED_TRACE(name);
        std::string error;
        expectRefused(m_dir / name, error);
        EXPECT_NE(error.find("\"" + (m_dir / name).string() + "\""), npos) << error;
        EXPECT_NE(error.find(said), npos) << error;
    }
    EXPECT_EQ(entries(), before);
    EXPECT_EQ(fs::symlink_status(m_dir / "fifo").type(), fs::file_type::fifo);
    EXPECT_EQ(fs::symlink_status(m_dir / "to-fifo").type(), fs::file_type::symlink);
    EXPECT_FALSE(fs::exists(m_dir / "nowhere"));
    if (before.count("device") != 0) {
        EXPECT_EQ(fs::symlink_status(m_dir / "device").type(), fs::file_type::character);
    }
}

TEST_F(ReplacementFileTest, LinkToAFileIsWrittenThrough) {
    fs::create_directory(m_dir / "texts");
    writeBytes(m_dir / "texts" / "old.txt", kEarlier);
    fs::create_symlink("texts/old.txt", m_dir / "link.txt");
    std::string error;
    ASSERT_TRUE(replace(m_dir / "link.txt", kNew, error)) << error;
    EXPECT_TRUE(fs::is_symlink(m_dir / "link.txt"));
    EXPECT_EQ(readBytes(m_dir / "texts" / "old.txt"), kNew);
    EXPECT_EQ(fs::directory_iterator(m_dir / "texts")->path().filename(), "old.txt");
}

// Root passes every permission check, so the bits themselves are looked at.
TEST_F(ReplacementFileTest, ProtectedFileIsLeftAlone) {
    const fs::path path = m_dir / "kept.txt";
    writeBytes(path, kEarlier);
    ::chmod(path.c_str(), 0444);
    std::string error;
    expectRefused(path, error);
    EXPECT_NE(error.find("its owner has protected it against writing"), npos) << error;
    EXPECT_EQ(readBytes(path), kEarlier);
    EXPECT_EQ(entries(), std::set<std::string>{"kept.txt"});
}

TEST_F(ReplacementFileTest, ReplacedFileKeepsOwnerAndPlainPermissions) {
    const fs::path path = m_dir / "target.txt";
    writeBytes(path, kEarlier);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), 4242, 4343), 0);
    }
    ASSERT_EQ(::chmod(path.c_str(), 07755), 0);
    std::string error;
    ASSERT_TRUE(replace(path, kNew, error)) << error;
    struct ::stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777u, 0755u);  // no setuid, setgid or sticky bit
    if (root) {
        EXPECT_EQ(st.st_uid, 4242u);
        EXPECT_EQ(st.st_gid, 4343u);
    }
}

// 250 bytes: the temporary file's usual name would pass the limit of 255.
TEST_F(ReplacementFileTest, NamesUpToTheFileSystemsLimitWork) {
    const std::string name = std::string(246, 'r') + ".txt";
    std::string error;
    ASSERT_TRUE(replace(m_dir / name, kNew, error)) << error;
    EXPECT_EQ(readBytes(m_dir / name), kNew);
    EXPECT_EQ(entries(), std::set<std::string>{name});
}

// Only the name written to gets the new text; another hard link keeps the old file.
TEST_F(ReplacementFileTest, OtherHardLinksKeepTheOldText) {
    writeBytes(m_dir / "target.txt", kEarlier);
    fs::create_hard_link(m_dir / "target.txt", m_dir / "other.txt");
    std::string error;
    ASSERT_TRUE(replace(m_dir / "target.txt", kNew, error)) << error;
    EXPECT_EQ(readBytes(m_dir / "target.txt"), kNew);
    EXPECT_EQ(readBytes(m_dir / "other.txt"), kEarlier);
}

// A signal that ends the program while temporary files are open (a report, a workbook and
// a network file in a batch run): every one is removed, the file they were to replace
// keeps its old text, and the signal still ends the program. One ignored from the start
// (nohup) stays ignored.
TEST_F(ReplacementFileTest, SignalsRemoveEveryTemporaryFile) {
    writeBytes(m_dir / "pairs.txt", kEarlier);
    const auto openAll = [this](ReplacementFile(&open)[3]) {
        std::string error;
        return open[0].open((m_dir / "pairs.txt").string(), kWhat, error) &&
               open[1].open((m_dir / "run.xlsx").string(), kWhat, error) &&
               open[2].open((m_dir / "run.h5").string(), kWhat, error);
    };
    for (const int signal :
         {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGXCPU, SIGXFSZ}) {
        const int status = inChild([&] {
            ::prctl(PR_SET_DUMPABLE, 0);  // no core file from SIGQUIT, SIGXCPU or SIGXFSZ
            files::InstallTemporaryFileCleanup();
            ReplacementFile open[3];
            if (openAll(open)) {
                ::raise(signal);
            }
            return 3;
        });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal << " " << status;
        EXPECT_EQ(entries(), std::set<std::string>{"pairs.txt"}) << signal;
    }
    EXPECT_EQ(readBytes(m_dir / "pairs.txt"), kEarlier);
    const int ignored = inChild([&] {
        ::signal(SIGHUP, SIG_IGN);
        files::InstallTemporaryFileCleanup();
        ReplacementFile open[3];
        return openAll(open) && ::raise(SIGHUP) == 0 && fs::exists(open[1].temporaryPath()) ? 4 : 3;
    });
    EXPECT_TRUE(WIFEXITED(ignored) && WEXITSTATUS(ignored) == 4) << ignored;
}

}  // namespace

#include "files/same_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class SameFileTest : public testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("same_file_test_" + std::to_string(::getpid()));
        fs::create_directories(m_dir / "sub");
        std::ofstream(m_dir / "t.net") << "2 0 1 1 1 1";
        std::ofstream(m_dir / "other.net") << "2 0 1 1 1 1";
        fs::create_symlink("t.net", m_dir / "l.xlsx");
        fs::create_hard_link(m_dir / "t.net", m_dir / "hard.net");
        m_old = fs::current_path();
        fs::current_path(m_dir);
    }
    void TearDown() override {
        fs::current_path(m_old);
        fs::remove_all(m_dir);
    }

    fs::path m_dir;
    fs::path m_old;
};

TEST_F(SameFileTest, OneFileByEveryName) {
    const std::string t = (m_dir / "t.net").string();
    for (const std::string name :
         {"t.net", "./t.net", "sub/../t.net", "l.xlsx", "hard.net", t.c_str()}) {
        EXPECT_TRUE(files::SameFile("t.net", name)) << name;
    }
    // Not yet there: the folder decides.
    EXPECT_TRUE(files::SameFile("out.txt", "./out.txt"));
    EXPECT_TRUE(files::SameFile("sub/../out.txt", (m_dir / "out.txt").string()));
    EXPECT_TRUE(files::SameFile("sub/out.txt", "./sub//out.txt"));
}

TEST_F(SameFileTest, DifferentFiles) {
    EXPECT_FALSE(files::SameFile("t.net", "other.net"));
    EXPECT_FALSE(files::SameFile("t.net", "t.net.h5"));  // there and not there
    EXPECT_FALSE(files::SameFile("out.txt", "out.xlsx"));
    EXPECT_FALSE(files::SameFile("out.txt", "sub/out.txt"));
    EXPECT_FALSE(files::SameFile("missing/out.txt", "./missing/out.txt"));  // no folder to compare
}

}  // namespace

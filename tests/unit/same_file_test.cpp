#include "files/same_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// One file by every name a user may give it, in a folder of the test's own.
TEST(SameFileTest, ByDeviceAndInodeOrByFolderAndName) {
    const fs::path dir =
        fs::temp_directory_path() / ("same_file_test_" + std::to_string(::getpid()));
    fs::create_directories(dir / "sub");
    std::ofstream(dir / "t.net") << "2 0 1 1 1 1";
    std::ofstream(dir / "other.net") << "2 0 1 1 1 1";
    fs::create_symlink("t.net", dir / "l.xlsx");
    fs::create_hard_link(dir / "t.net", dir / "hard.net");
    const fs::path old = fs::current_path();
    fs::current_path(dir);
    for (const std::string name : {"./t.net", "sub/../t.net", "l.xlsx", "hard.net"}) {
        EXPECT_TRUE(files::SameFile("t.net", name)) << name;
    }
    EXPECT_TRUE(files::SameFile("t.net", (dir / "t.net").string()));
    // Not there yet: the folder decides.
    EXPECT_TRUE(files::SameFile("out.txt", "./out.txt"));
    EXPECT_TRUE(files::SameFile("sub/../out.txt", (dir / "out.txt").string()));
    EXPECT_TRUE(files::SameFile("sub/out.txt", "./sub//out.txt"));

    EXPECT_FALSE(files::SameFile("t.net", "other.net"));
    EXPECT_FALSE(files::SameFile("t.net", "t.net.h5"));  // there and not there
    EXPECT_FALSE(files::SameFile("out.txt", "sub/out.txt"));
    EXPECT_FALSE(files::SameFile("no/out.txt", "./no/out.txt"));  // no folder to compare
    fs::current_path(old);
    fs::remove_all(dir);
}

}  // namespace

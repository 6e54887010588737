#include "platform/files.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/support/sandbox.h"

namespace {

using tolbe_test::ReadHostFile;
using tolbe_test::WriteHostFile;

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Files, ReplaceFileWritesNewAndReplacesOldOnAWindowsPath) {
    tolbe_test::SandboxDrives sandbox("D");
    ASSERT_TRUE(platform::ReplaceFile(R"(D:\cfg.txt)", std::string("one\0two", 7)));
    EXPECT_EQ(ReadHostFile(sandbox.Host(R"(D:\cfg.txt)")), std::string("one\0two", 7));
    ASSERT_TRUE(platform::ReplaceFile(R"(D:\cfg.txt)", "new"));
    EXPECT_EQ(ReadHostFile(sandbox.Host(R"(D:\cfg.txt)")), "new");
    EXPECT_EQ(Names(sandbox.Root('D')), std::vector<std::string>{"cfg.txt"});  // no leftovers

    struct stat info;
    ASSERT_EQ(::stat(sandbox.Host(R"(D:\cfg.txt)").c_str(), &info), 0);
    const mode_t umaskNow = ::umask(0);
    ::umask(umaskNow);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~umaskNow);
}

TEST(Files, FailedReplaceLeavesTheOldStateAndNoTemporaryFile) {
    tolbe_test::SandboxDrives sandbox("D");
    // The target is a directory: the final rename cannot replace it.
    std::filesystem::create_directories(sandbox.Host(R"(D:\cfg\inside)"));
    EXPECT_FALSE(platform::ReplaceFile(R"(D:\cfg)", "bytes"));
    EXPECT_EQ(Names(sandbox.Root('D')), std::vector<std::string>{"cfg"});
    EXPECT_TRUE(std::filesystem::is_directory(sandbox.Host(R"(D:\cfg\inside)")));
    // No such folder, and a path on no drive.
    EXPECT_FALSE(platform::ReplaceFile(R"(D:\missing\cfg)", "bytes"));
    EXPECT_FALSE(platform::ReplaceFile(R"(Q:\cfg)", "bytes"));
}

TEST(Files, ReadWholeFileOnlyReadsRegularFilesWithinTheLimit) {
    tolbe_test::SandboxDrives sandbox("D");
    WriteHostFile(sandbox.Host(R"(D:\a.txt)"), std::string("ab\0c", 4));
    std::filesystem::create_directories(sandbox.Host(R"(D:\dir)"));
    EXPECT_EQ(platform::ReadWholeFile(R"(D:\a.txt)", 4), std::string("ab\0c", 4));
    EXPECT_FALSE(platform::ReadWholeFile(R"(D:\a.txt)", 3));  // beyond the limit
    EXPECT_FALSE(platform::ReadWholeFile(R"(D:\dir)", 100));
    EXPECT_FALSE(platform::ReadWholeFile(R"(D:\none)", 100));
    EXPECT_FALSE(platform::ReadWholeFile(R"(Q:\a.txt)", 100));
}

}  // namespace

// ExtractionTarget's second handles and its removal of files, which an extraction with several
// workers uses: neither ever reaches anything outside the directory it holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/archive_files.h"
#include "tests/support/sandbox.h"

namespace {

namespace fs = std::filesystem;
using tolbe_test::HostPathExists;
using tolbe_test::ReadHostFile;
using tolbe_test::WriteHostFile;

TEST(ExtractionTarget, RemoveFileRemovesFilesAndLinksButNeverAFolderOrAnythingOutside) {
    const struct {
        const char* what;
        const char* path;
        bool removed;  // true: nothing is at the path afterwards
    } cases[] = {
        {"a file", "data/x.txt", true},
        {"nothing there", "data/none.txt", true},
        {"a missing folder, never made", "missing/x.txt", true},
        {"a link to a file outside: the link goes", "linked.txt", true},
        {"a folder", "data", false},
        {"through a link to a folder outside", "escape/canary.txt", false},
        {"climbing out", "../outside/canary.txt", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tolbe_test::SandboxDrives drives("D");
        const std::string target = drives.Host(R"(D:\Tolbe)");
        const std::string outside = drives.Host(R"(D:\outside)");
        WriteHostFile(target + "/data/x.txt", "x");
        WriteHostFile(outside + "/canary.txt", "canary");
        fs::create_symlink(outside + "/canary.txt", target + "/linked.txt");
        fs::create_symlink(outside, target + "/escape");

        std::optional<platform::ExtractionTarget> folder =
            platform::ExtractionTarget::Open(R"(D:\Tolbe)");
        ASSERT_TRUE(folder.has_value());
        EXPECT_EQ(folder->RemoveFile(c.path), c.removed);
        EXPECT_EQ(ReadHostFile(outside + "/canary.txt"), "canary");
        EXPECT_TRUE(fs::is_directory(target + "/data"));
        EXPECT_FALSE(HostPathExists(target + "/missing"));
        if (c.removed) {
            EXPECT_FALSE(fs::exists(fs::symlink_status(target + "/" + c.path)));
        }
    }
}

// A second handle reaches the directory the first one holds, even once the path names another.
TEST(ExtractionTarget, AnotherHandleReachesTheSameDirectoryWhateverThePathNamesNow) {
    tolbe_test::SandboxDrives drives("D");
    fs::create_directories(drives.Host(R"(D:\Tolbe)"));
    std::optional<platform::ExtractionTarget> first =
        platform::ExtractionTarget::Open(R"(D:\Tolbe)");
    ASSERT_TRUE(first.has_value());
    fs::rename(drives.Host(R"(D:\Tolbe)"), drives.Host(R"(D:\Moved)"));
    fs::create_directories(drives.Host(R"(D:\Tolbe)"));

    std::optional<platform::ExtractionTarget> second = first->OpenAnother();
    ASSERT_TRUE(second.has_value());
    std::optional<platform::FileWriter> file = second->CreateFile("a/b.txt", 0644);
    ASSERT_TRUE(file.has_value());
    ASSERT_TRUE(file->Write("b", 1));
    ASSERT_TRUE(file->Close());
    EXPECT_EQ(ReadHostFile(drives.Host(R"(D:\Moved\a\b.txt)")), "b");
    EXPECT_TRUE(fs::is_empty(drives.Host(R"(D:\Tolbe)")));
}

}  // namespace

// ExtractionTarget's second handles, its removal of files and the names it writes, which an
// extraction with several workers uses: none ever reaches anything outside the directory it
// holds.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/archive_files.h"
#include "tests/support/host_files.h"
#include "tests/support/sandbox.h"

namespace {

namespace fs = std::filesystem;
using tolbe_test::HostPathExists;
using tolbe_test::HostPathOf;
using tolbe_test::ReadHostFile;
using tolbe_test::WriteHostFile;

TEST(ExtractionTarget, RemoveFileRemovesFilesAndLinksButNeverAFolderOrAnythingOutside) {
    const struct {
        const char* what;
        const char* path;
        bool removed;  // true: nothing is at the path afterwards
        bool fileLink;
    } cases[] = {
        {"a file", "data/x.txt", true, false},
        {"nothing there", "data/none.txt", true, false},
        {"a missing folder, never made", "missing/x.txt", true, false},
        {"a link to a file outside: the link goes", "linked.txt", true, true},
        {"a folder", "data", false, false},
        {"through a link to a folder outside", "escape/canary.txt", false, false},
        {"climbing out", "../outside/canary.txt", false, false},
    };
    for (const auto& c : cases) {
        if (c.fileLink && !tolbe_test::HostShowsFileLinks()) {
            continue;  // kFileLinksUnseen
        }
        SCOPED_TRACE(c.what);
        tolbe_test::SandboxDrives drives("D");
        const std::string target = drives.Host(R"(D:\Tolbe)");
        const std::string outside = drives.Host(R"(D:\outside)");
        WriteHostFile(target + "/data/x.txt", "x");
        WriteHostFile(outside + "/canary.txt", "canary");
        if (c.fileLink) {
            tolbe_test::MakeHostFileLink(target + "/linked.txt", outside + "/canary.txt");
        }
        tolbe_test::MakeHostFolderLink(target + "/escape", outside);

        std::optional<platform::ExtractionTarget> folder =
            platform::ExtractionTarget::Open(R"(D:\Tolbe)");
        ASSERT_TRUE(folder.has_value());
        EXPECT_EQ(folder->RemoveFile(c.path), c.removed);
        EXPECT_EQ(ReadHostFile(outside + "/canary.txt"), "canary");
        EXPECT_TRUE(fs::is_directory(HostPathOf(target + "/data")));
        EXPECT_FALSE(HostPathExists(target + "/missing"));
        if (c.removed) {
            EXPECT_FALSE(HostPathExists(target + "/" + c.path));
        }
    }
}

// A second handle reaches the directory the first one holds, never what the path names once it
// names another: on POSIX it writes into the folder it holds wherever that went; on Windows,
// which reaches folders by path and checks that the path still leads to the folder held, it
// writes nowhere.
TEST(ExtractionTarget, AnotherHandleNeverReachesWhatThePathNamesNow) {
    tolbe_test::SandboxDrives drives("D");
    fs::create_directories(HostPathOf(drives.Host(R"(D:\Tolbe)")));
    std::optional<platform::ExtractionTarget> first =
        platform::ExtractionTarget::Open(R"(D:\Tolbe)");
    ASSERT_TRUE(first.has_value());
    fs::rename(HostPathOf(drives.Host(R"(D:\Tolbe)")), HostPathOf(drives.Host(R"(D:\Moved)")));
    fs::create_directories(HostPathOf(drives.Host(R"(D:\Tolbe)")));

    std::optional<platform::ExtractionTarget> second = first->OpenAnother();
    ASSERT_TRUE(second.has_value());
    std::optional<platform::FileWriter> file = second->CreateFile("a/b.txt", 0644);
#ifdef _WIN32
    EXPECT_FALSE(file.has_value());
    EXPECT_TRUE(fs::is_empty(HostPathOf(drives.Host(R"(D:\Moved)"))));
#else
    ASSERT_TRUE(file.has_value());
    ASSERT_TRUE(file->Write("b", 1));
    ASSERT_TRUE(file->Close());
    EXPECT_EQ(ReadHostFile(drives.Host(R"(D:\Moved\a\b.txt)")), "b");
#endif
    EXPECT_TRUE(fs::is_empty(HostPathOf(drives.Host(R"(D:\Tolbe)"))));
}

// Names are UTF-8 text, whatever the narrow encoding of the host: 游戏/读取.txt is written as
// itself also where the ANSI code page cannot hold it. On Windows a name that is no UTF-8, or one
// that Windows would read as another name or as a device, is refused.
TEST(ExtractionTarget, NamesAreUtf8TextOnEveryHost) {
    tolbe_test::SandboxDrives drives("D");
    fs::create_directories(HostPathOf(drives.Host(R"(D:\Tolbe)")));
    std::optional<platform::ExtractionTarget> target =
        platform::ExtractionTarget::Open(R"(D:\Tolbe)");
    ASSERT_TRUE(target.has_value());
    const std::string name = "\xE6\xB8\xB8\xE6\x88\x8F/\xE8\xAF\xBB\xE5\x8F\x96.txt";
    std::optional<platform::FileWriter> file = target->CreateFile(name, 0644);
    ASSERT_TRUE(file.has_value());
    ASSERT_TRUE(file->Write("data", 4));
    ASSERT_TRUE(file->Close());
    EXPECT_EQ(ReadHostFile(HostPathOf(drives.Host(R"(D:\Tolbe)")) / fs::u8path(name)), "data");
    EXPECT_TRUE(target->RemoveFile(name));
    EXPECT_FALSE(fs::exists(HostPathOf(drives.Host(R"(D:\Tolbe)")) / fs::u8path(name)));

#ifdef _WIN32
    for (const char* refused : {"\xB6\xC1.txt", "CON", "nul.txt", "a.", "b ", "c?.txt"}) {
        SCOPED_TRACE(refused);
        errno = 0;
        EXPECT_FALSE(target->CreateFile(refused, 0644).has_value());
        EXPECT_EQ(errno, EINVAL);
        EXPECT_FALSE(target->MakeFolders(std::string(refused) + "/x"));
    }
    EXPECT_EQ(tolbe_test::TreeBelow(drives.Host(R"(D:\Tolbe)")),
              (tolbe_test::HostTree{{"\xE6\xB8\xB8\xE6\x88\x8F", "<dir>"}}));
#endif
}

}  // namespace

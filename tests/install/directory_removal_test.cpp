#include "install/directory_removal.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/host_facts.h"
#include "tests/support/host_files.h"
#include "tests/support/sandbox.h"
#ifndef _WIN32
#include "tests/support/unprivileged.h"
#endif

namespace {

namespace fs = std::filesystem;
using tolbe_test::HostPathExists;
using tolbe_test::ReadHostFile;
using tolbe_test::WriteHostFile;

using tolbe_test::HostModeOf;

// A file without write permission for its owner: read-only on Windows.
void WriteReadOnly(const std::string& hostPath, const std::string& bytes, unsigned mode) {
    WriteHostFile(hostPath, bytes);
    tolbe_test::SetHostMode(hostPath, mode);
}

TEST(DirectoryRemoval, RemovesNestedReadOnlyFilesAndFolders) {
    tolbe_test::SandboxDrives sandbox("D");
    WriteReadOnly(sandbox.Host(R"(D:\Tolbe\a.txt)"), "a", 0444);
    WriteReadOnly(sandbox.Host(R"(D:\Tolbe\data\b.bin)"), "b", 0400);
    WriteReadOnly(sandbox.Host(R"(D:\Tolbe\data\deeper\c)"), "c", 0);
    WriteReadOnly(sandbox.Host(R"(D:\Tolbe\data\deeper\.hidden)"), "h", 0444);
    fs::create_directories(tolbe_test::HostPathOf(sandbox.Host(R"(D:\Tolbe\empty\also empty)")));
    WriteHostFile(sandbox.Host(R"(D:\Other\keep.txt)"), "keep");

    EXPECT_TRUE(DeleteDirectoryTree(LR"(D:\Tolbe\)"));
    EXPECT_FALSE(HostPathExists(sandbox.Host(R"(D:\Tolbe)")));
    EXPECT_EQ(ReadHostFile(sandbox.Host(R"(D:\Other\keep.txt)")), "keep");
    EXPECT_TRUE(HostPathExists(sandbox.Root('D')));
}

TEST(DirectoryRemoval, ResultTellsWhetherTheDirectoryIsGone) {
    const struct {
        const wchar_t* path;
        bool makeDirectory;
        bool makeFile;
        bool removed;
    } cases[] = {
        {LR"(D:\Tolbe)", true, true, true},     {LR"(D:\Tolbe\)", true, true, true},
        {LR"(D:\Tolbe\\)", true, false, true},  {LR"(d:/Tolbe)", true, true, true},
        {LR"(D:\Tolbe\)", true, false, true},    // empty
        {LR"(D:\Tolbe\)", false, false, false},  // missing
    };
    for (const auto& c : cases) {
        tolbe_test::SandboxDrives sandbox("D");
        if (c.makeDirectory) {
            fs::create_directories(tolbe_test::HostPathOf(sandbox.Host(R"(D:\Tolbe\sub)")));
        }
        if (c.makeFile) {
            WriteHostFile(sandbox.Host(R"(D:\Tolbe\sub\f.txt)"), "f");
        }
        EXPECT_EQ(DeleteDirectoryTree(c.path), c.removed);
        EXPECT_FALSE(HostPathExists(sandbox.Host(R"(D:\Tolbe)")));
    }
    // A file is no directory: it stays.
    tolbe_test::SandboxDrives sandbox("D");
    WriteHostFile(sandbox.Host(R"(D:\Tolbe)"), "file");
    EXPECT_FALSE(DeleteDirectoryTree(LR"(D:\Tolbe\)"));
    EXPECT_EQ(ReadHostFile(sandbox.Host(R"(D:\Tolbe)")), "file");
}

TEST(DirectoryRemoval, LinksToFoldersAreRemovedAsLinksAndNeverFollowed) {
    tolbe_test::SandboxDrives sandbox("D");
    const std::string outside = sandbox.base() + "/outside";
    WriteReadOnly(outside + "/keep.txt", "precious", 0444);
    WriteHostFile(outside + "/sub/deep.txt", "deep");
    fs::create_directories(tolbe_test::HostPathOf(sandbox.Host(R"(D:\Tolbe\nested)")));
    tolbe_test::MakeHostFolderLink(sandbox.Host(R"(D:\Tolbe\folder link)"), outside);
    tolbe_test::MakeHostFolderLink(sandbox.Host(R"(D:\Tolbe\nested\sub link)"), outside + "/sub");

    const bool removed = DeleteDirectoryTree(LR"(D:\Tolbe\)");
    EXPECT_EQ(ReadHostFile(outside + "/keep.txt"), "precious");
    EXPECT_EQ(HostModeOf(outside + "/keep.txt"), 0444u);
    EXPECT_EQ(ReadHostFile(outside + "/sub/deep.txt"), "deep");
    if (tolbe_test::HostRemovesFolderLinks()) {  // else the links, and so their folders, stay
        EXPECT_TRUE(removed);
        EXPECT_FALSE(HostPathExists(sandbox.Host(R"(D:\Tolbe)")));
    }
}

TEST(DirectoryRemoval, LinksToFilesAreRemovedAsLinksAndNeverFollowed) {
    if (!tolbe_test::HostShowsFileLinks()) {
        GTEST_SKIP() << tolbe_test::kFileLinksUnseen;
    }
    tolbe_test::SandboxDrives sandbox("D");
    const std::string outside = sandbox.base() + "/outside";
    WriteReadOnly(outside + "/keep.txt", "precious", 0444);
    fs::create_directories(tolbe_test::HostPathOf(sandbox.Host(R"(D:\Tolbe)")));
    tolbe_test::MakeHostFileLink(sandbox.Host(R"(D:\Tolbe\file link)"), outside + "/keep.txt");
    tolbe_test::MakeHostFileLink(sandbox.Host(R"(D:\Tolbe\dangling)"), sandbox.base() + "/nowhere");

    EXPECT_TRUE(DeleteDirectoryTree(LR"(D:\Tolbe\)"));
    EXPECT_FALSE(HostPathExists(sandbox.Host(R"(D:\Tolbe)")));
    EXPECT_EQ(ReadHostFile(outside + "/keep.txt"), "precious");
    EXPECT_EQ(HostModeOf(outside + "/keep.txt"), 0444u);  // not made writable through the link
}

#ifndef _WIN32
// Whatever names an older launcher or another program left: bytes that are no UTF-8 (GBK names
// of an archive extracted as they were stored) and names holding "\", which a Windows-form path
// would read as separators, "..\.." climbing out of the tree included.
TEST(DirectoryRemoval, EntriesAreRemovedWhateverTheirNamesBytes) {
    tolbe_test::SandboxDrives sandbox("D");
    const std::string tolbe = sandbox.Host(R"(D:\Tolbe)");
    const std::string gbkFolder = tolbe + "/\xD3\xCE\xCF\xB7";        // 游戏 in GBK
    WriteReadOnly(gbkFolder + "/\xB5\xD8\xCD\xBC.txt", "map", 0444);  // 地图.txt
    WriteHostFile(tolbe + "/\xFF\xFE", "neither UTF-8 nor GBK");
    WriteHostFile(tolbe + "/" + R"(..\..\victim.txt)", "planted");
    WriteHostFile(tolbe + "/" + R"(sub\file.txt)", "backslash");
    WriteHostFile(sandbox.Host(R"(D:\victim.txt)"), "keep");
    fs::create_directory_symlink(sandbox.base(), gbkFolder + "/\xB6\xC1");

    EXPECT_TRUE(DeleteDirectoryTree(LR"(D:\Tolbe\)"));
    EXPECT_FALSE(HostPathExists(tolbe));
    EXPECT_EQ(ReadHostFile(sandbox.Host(R"(D:\victim.txt)")), "keep");
    EXPECT_TRUE(HostPathExists(sandbox.base() + "/D"));
}
#else
// Names that the ANSI code page cannot write (Chinese, while the code page is not 936), which
// Windows keeps in UTF-16: a read-only file in a folder of such a name, beside a link to the
// sandbox itself.
TEST(DirectoryRemoval, EntriesAreRemovedWhateverTheirNames) {
    tolbe_test::SandboxDrives sandbox("D");
    const fs::path tolbe = tolbe_test::HostPathOf(sandbox.Host(R"(D:\Tolbe)"));
    const fs::path folder = tolbe / L"\u6E38\u620F";  // 游戏
    fs::create_directories(folder);
    const fs::path map = folder / L"\u5730\u56FE.txt";  // 地图.txt
    std::ofstream(map) << "map";
    tolbe_test::SetHostMode(map, 0444);
    tolbe_test::MakeHostFolderLink(sandbox.Host(R"(D:\Tolbe\link)"), sandbox.base());
    WriteHostFile(sandbox.Host(R"(D:\victim.txt)"), "keep");
    ASSERT_TRUE(fs::exists(map));

    const bool removed = DeleteDirectoryTree(LR"(D:\Tolbe\)");
    EXPECT_FALSE(fs::exists(map));
    EXPECT_EQ(ReadHostFile(sandbox.Host(R"(D:\victim.txt)")), "keep");
    EXPECT_TRUE(HostPathExists(sandbox.base() + "/D"));
    if (tolbe_test::HostRemovesFolderLinks()) {  // else the link, and so the folder, stay
        EXPECT_TRUE(removed);
        EXPECT_FALSE(fs::exists(tolbe));
    }
}
#endif

TEST(DirectoryRemoval, PathsThatReachADriveRootAreRefused) {
    tolbe_test::TempDir temp;
    platform::HostFacts facts;
    facts.sandboxed = true;
    facts.drives.resize(2);
    facts.drives[0].letter = 'D', facts.drives[0].hostRoot = temp.Join("d");
    facts.drives[1].letter = 'E', facts.drives[1].hostRoot = temp.Join("d/mnt/e");
    platform::SetHostFacts(facts);
    WriteHostFile(temp.Join("d/keep.txt"), "keep");
    WriteHostFile(temp.Join("d/mnt/e/keep.txt"), "keep");
    fs::create_directories(temp.Join("d/Tolbe"));

    for (const wchar_t* path :
         {LR"(D:\)", L"D:", LR"(D:\.\)", LR"(D:\Tolbe\..\)", LR"(D:\..\..\)", LR"(D:\mnt)",
          LR"(D:\mnt\)", LR"(E:\)", LR"(\\?\unix\)", LR"(Q:\Tolbe)"}) {
        EXPECT_FALSE(DeleteDirectoryTree(path)) << path;
    }
    EXPECT_EQ(ReadHostFile(temp.Join("d/keep.txt")), "keep");
    EXPECT_EQ(ReadHostFile(temp.Join("d/mnt/e/keep.txt")), "keep");
    EXPECT_TRUE(DeleteDirectoryTree(LR"(D:\Tolbe\)"));
    platform::SetHostFacts({});
}

TEST(DirectoryRemoval, AFileThatCannotBeDeletedKeepsOnlyItsDirectories) {
    tolbe_test::SandboxDrives sandbox("D");
    WriteHostFile(sandbox.Host(R"(D:\Tolbe\aaa.txt)"), "a");
    WriteHostFile(sandbox.Host(R"(D:\Tolbe\locked\stuck.dat)"), "stuck");
    WriteHostFile(sandbox.Host(R"(D:\Tolbe\zzz\deep\z.txt)"), "z");
#ifdef _WIN32
    // A running program's file.
    std::optional<bool> removed;
    {
        const tolbe_test::HeldOpenEntry held(sandbox.Host(R"(D:\Tolbe\locked\stuck.dat)"));
        const tolbe_test::WaitForHeldFiles noWait(std::chrono::milliseconds(0));  // held for good
        removed = DeleteDirectoryTree(LR"(D:\Tolbe\)");
    }
#else
    // A folder without write permission keeps its entries.
    ASSERT_EQ(::chmod(sandbox.Host(R"(D:\Tolbe\locked)").c_str(), 0555), 0);
    const auto removed = tolbe_test::RunAsUnprivilegedUser(
        sandbox.base(), [] { return DeleteDirectoryTree(LR"(D:\Tolbe\)"); });
    if (!removed) {
        GTEST_SKIP() << "running as root and no unprivileged user can be had";
    }
#endif
    EXPECT_FALSE(*removed);
    EXPECT_EQ(ReadHostFile(sandbox.Host(R"(D:\Tolbe\locked\stuck.dat)")), "stuck");
    EXPECT_FALSE(HostPathExists(sandbox.Host(R"(D:\Tolbe\aaa.txt)")));
    EXPECT_FALSE(HostPathExists(sandbox.Host(R"(D:\Tolbe\zzz)")));
}

}  // namespace

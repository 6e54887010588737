#include "install/directory_removal.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "platform/host_facts.h"
#include "tests/support/sandbox.h"

namespace {

namespace fs = std::filesystem;
using tolbe_test::HostPathExists;
using tolbe_test::ReadHostFile;
using tolbe_test::WriteHostFile;

constexpr uid_t kUnprivilegedId = 65534;  // "nobody"
constexpr int kNoUnprivilegedUser = 77;

void WriteReadOnly(const std::string& hostPath, const std::string& bytes, mode_t mode) {
    WriteHostFile(hostPath, bytes);
    ASSERT_EQ(::chmod(hostPath.c_str(), mode), 0);
}

mode_t ModeOf(const std::string& hostPath) {
    struct stat info;
    return ::lstat(hostPath.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

// Runs the removal as an unprivileged user, so that a folder without write permission really
// protects the files in it (root passes every permission check). As root, the tree is handed to
// "nobody" and the removal runs in a child process that becomes that user. nullopt when no such
// user can be had.
std::optional<bool> RemoveAsUnprivilegedUser(const std::string& base, const std::wstring& tree) {
    if (::geteuid() != 0) {
        return DeleteDirectoryTree(tree);
    }
    std::error_code ignored;
    ::lchown(base.c_str(), kUnprivilegedId, kUnprivilegedId);
    for (const auto& entry : fs::recursive_directory_iterator(base, ignored)) {
        ::lchown(entry.path().c_str(), kUnprivilegedId, kUnprivilegedId);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kUnprivilegedId) != 0 ||
            ::setuid(kUnprivilegedId) != 0) {
            ::_exit(kNoUnprivilegedUser);
        }
        ::_exit(DeleteDirectoryTree(tree) ? 1 : 0);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) == kNoUnprivilegedUser) {
        return std::nullopt;
    }
    return WEXITSTATUS(status) == 1;
}

TEST(DirectoryRemoval, RemovesNestedReadOnlyFilesAndFolders) {
    tolbe_test::SandboxDrives sandbox("D");
    WriteReadOnly(sandbox.Host(R"(D:\Tolbe\a.txt)"), "a", 0444);
    WriteReadOnly(sandbox.Host(R"(D:\Tolbe\data\b.bin)"), "b", 0400);
    WriteReadOnly(sandbox.Host(R"(D:\Tolbe\data\deeper\c)"), "c", 0);
    WriteReadOnly(sandbox.Host(R"(D:\Tolbe\data\deeper\.hidden)"), "h", 0444);
    fs::create_directories(sandbox.Host(R"(D:\Tolbe\empty\also empty)"));
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
            fs::create_directories(sandbox.Host(R"(D:\Tolbe\sub)"));
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

TEST(DirectoryRemoval, LinksInsideAreRemovedAsLinksAndNeverFollowed) {
    tolbe_test::SandboxDrives sandbox("D");
    const std::string outside = sandbox.base() + "/outside";
    WriteReadOnly(outside + "/keep.txt", "precious", 0444);
    WriteHostFile(outside + "/sub/deep.txt", "deep");
    fs::create_directories(sandbox.Host(R"(D:\Tolbe\nested)"));
    fs::create_directory_symlink(outside, sandbox.Host(R"(D:\Tolbe\folder link)"));
    fs::create_symlink(outside + "/keep.txt", sandbox.Host(R"(D:\Tolbe\file link)"));
    fs::create_directory_symlink(outside + "/sub", sandbox.Host(R"(D:\Tolbe\nested\sub link)"));
    fs::create_symlink(sandbox.base() + "/nowhere", sandbox.Host(R"(D:\Tolbe\dangling)"));

    EXPECT_TRUE(DeleteDirectoryTree(LR"(D:\Tolbe\)"));
    EXPECT_FALSE(HostPathExists(sandbox.Host(R"(D:\Tolbe)")));
    EXPECT_EQ(ReadHostFile(outside + "/keep.txt"), "precious");
    EXPECT_EQ(ModeOf(outside + "/keep.txt"), 0444u);  // not made writable through the link
    EXPECT_EQ(ReadHostFile(outside + "/sub/deep.txt"), "deep");
}

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
    ASSERT_EQ(::chmod(sandbox.Host(R"(D:\Tolbe\locked)").c_str(), 0555), 0);

    const auto removed = RemoveAsUnprivilegedUser(sandbox.base(), LR"(D:\Tolbe\)");
    if (!removed) {
        GTEST_SKIP() << "running as root and no unprivileged user can be had";
    }
    EXPECT_FALSE(*removed);
    EXPECT_EQ(ReadHostFile(sandbox.Host(R"(D:\Tolbe\locked\stuck.dat)")), "stuck");
    EXPECT_FALSE(HostPathExists(sandbox.Host(R"(D:\Tolbe\aaa.txt)")));
    EXPECT_FALSE(HostPathExists(sandbox.Host(R"(D:\Tolbe\zzz)")));
}

}  // namespace

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <set>

#include "platform/directories.h"
#include "platform/files.h"
#include "tests/support/sandbox.h"

namespace {

namespace fs = std::filesystem;
using tolbe_test::HostPathExists;
using tolbe_test::ReadHostFile;
using tolbe_test::WriteHostFile;

mode_t ModeOf(const std::string& hostPath) {
    struct stat info;
    return ::lstat(hostPath.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

TEST(FileOperations, PathExistsWhenASearchFindsAnEntry) {
    tolbe_test::SandboxDrives sandbox("D");
    WriteHostFile(sandbox.Host(R"(D:\Tolbe\t.exe)"), "x");
    fs::create_symlink("/nonexistent/target", sandbox.Host(R"(D:\Tolbe\dangling)"));
    const struct {
        const char* path;
        bool exists;
    } cases[] = {
        {R"(D:\Tolbe\t.exe)", true},
        {R"(D:\Tolbe)", true},  // a folder is an entry too
        {R"(D:\Tolbe\\t.exe)", true},
        {R"(D:\Tolbe\dangling)", true},
        {R"(D:\Tolbe\missing.exe)", false},
        {R"(D:\Tolbe\)", false},  // a search needs a name
        {R"(D:\Tolbe\t.exe\)", false},
        {R"(D:\)", false},
        {R"(D:\\)", false},
        {R"(D:\.)", false},
        {"D:", false},
        {R"(D:\Tolbe\*)", false},  // no wildcards
        {R"(D:\Tolbe\?.exe)", false},
        {R"(Q:\Tolbe\t.exe)", false},
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::PathExists(c.path), c.exists) << c.path;
    }
}

TEST(FileOperations, CopyFileOverCopiesBytesAndPermissionsAndReplaces) {
    tolbe_test::SandboxDrives sandbox("D");
    const std::string from = sandbox.Host(R"(D:\launcher.exe)");
    const std::string to = sandbox.Host(R"(D:\Tolbe\vasktolbe.exe)");
    std::string bytes(300000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7);
    }
    WriteHostFile(from, bytes);
    ASSERT_EQ(::chmod(from.c_str(), 0751), 0);
    WriteHostFile(to, "old and longer than nothing");
    ASSERT_EQ(::chmod(to.c_str(), 0444), 0);  // read-only does not stop the copy

    ASSERT_TRUE(platform::CopyFileOver(R"(D:\launcher.exe)", R"(D:\Tolbe\vasktolbe.exe)"));
    EXPECT_EQ(ReadHostFile(to), bytes);
    EXPECT_EQ(ModeOf(to), 0751u);
    EXPECT_EQ(ReadHostFile(from), bytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(sandbox.Host(R"(D:\Tolbe)")),
                            fs::directory_iterator()),
              1);  // no temporary file left
}

TEST(FileOperations, FailedCopyLeavesTheTargetAlone) {
    tolbe_test::SandboxDrives sandbox("D");
    WriteHostFile(sandbox.Host(R"(D:\Tolbe\vasktolbe.exe)"), "current");
    fs::create_directories(sandbox.Host(R"(D:\folder)"));
    EXPECT_FALSE(platform::CopyFileOver(R"(D:\missing.exe)", R"(D:\Tolbe\vasktolbe.exe)"));
    EXPECT_FALSE(platform::CopyFileOver(R"(D:\folder)", R"(D:\Tolbe\vasktolbe.exe)"));
    EXPECT_FALSE(platform::CopyFileOver(R"(D:\Tolbe\vasktolbe.exe)", R"(D:\no folder\x.exe)"));
    EXPECT_FALSE(platform::CopyFileOver(R"(D:\Tolbe\vasktolbe.exe)", R"(Q:\x.exe)"));
    EXPECT_EQ(ReadHostFile(sandbox.Host(R"(D:\Tolbe\vasktolbe.exe)")), "current");
    EXPECT_EQ(std::distance(fs::directory_iterator(sandbox.Host(R"(D:\Tolbe)")),
                            fs::directory_iterator()),
              1);
}

TEST(FileOperations, DeleteAndMakeWritableNeverReachThroughALink) {
    tolbe_test::SandboxDrives sandbox("D");
    const std::string outside = sandbox.base() + "/outside.txt";
    WriteHostFile(outside, "keep");
    ASSERT_EQ(::chmod(outside.c_str(), 0444), 0);
    fs::create_symlink(outside, sandbox.Host(R"(D:\link)"));
    WriteHostFile(sandbox.Host(R"(D:\file.txt)"), "f");
    ASSERT_EQ(::chmod(sandbox.Host(R"(D:\file.txt)").c_str(), 0444), 0);
    fs::create_directories(sandbox.Host(R"(D:\folder)"));

    EXPECT_FALSE(platform::MakeFileWritable(LR"(D:\link)"));
    EXPECT_EQ(ModeOf(outside), 0444u);
    EXPECT_TRUE(platform::MakeFileWritable(LR"(D:\file.txt)"));
    EXPECT_EQ(ModeOf(sandbox.Host(R"(D:\file.txt)")), 0644u);

    EXPECT_TRUE(platform::DeleteOneFile(LR"(D:\link)"));
    EXPECT_EQ(ReadHostFile(outside), "keep");
    EXPECT_TRUE(platform::DeleteOneFile(R"(D:\file.txt)"));
    EXPECT_FALSE(HostPathExists(sandbox.Host(R"(D:\file.txt)")));
    EXPECT_FALSE(platform::DeleteOneFile(LR"(D:\folder)"));  // folders are not files
    EXPECT_TRUE(fs::is_directory(sandbox.Host(R"(D:\folder)")));
    EXPECT_FALSE(platform::DeleteOneFile(R"(D:\file.txt)"));  // already gone
}

// Names a Windows-form path cannot carry: bytes that are no UTF-8 (GBK 读取), and a "\".
const std::string kGbkName = "\xB6\xC1\xC8\xA1.txt";
const std::string kBackslashName = R"(..\..\outside.txt)";

TEST(FileOperations, ListingReportsLinksAndRemovalTakesOnlyEmptyFoldersOrLinks) {
    tolbe_test::SandboxDrives sandbox("D");
    const std::string outside = sandbox.base() + "/outside";
    WriteHostFile(outside + "/keep.txt", "keep");
    WriteHostFile(sandbox.Host(R"(D:\T\file)"), "f");
    fs::create_directories(sandbox.Host(R"(D:\T\folder)"));
    fs::create_directory_symlink(outside, sandbox.Host(R"(D:\T\folder link)"));
    fs::create_symlink(outside + "/keep.txt", sandbox.Host(R"(D:\T\file link)"));
    fs::create_symlink(outside + "/gone", sandbox.Host(R"(D:\T\dangling)"));
    WriteHostFile(sandbox.Host(R"(D:\T)") + "/" + kGbkName, "gbk");
    fs::create_directory(sandbox.Host(R"(D:\T)") + "/" + kBackslashName);

    const auto folder = platform::Folder::Open(R"(D:\T\)");
    ASSERT_TRUE(folder);
    const auto entries = folder->List();
    ASSERT_TRUE(entries);
    std::map<std::string, std::pair<bool, bool>> seen;  // name -> (isDirectory, isLink)
    for (const auto& entry : *entries) {
        seen[entry.name] = {entry.isDirectory, entry.isLink};
    }
    const std::map<std::string, std::pair<bool, bool>> expected = {
        {".", {true, false}},        {"..", {true, false}},         {"file", {false, false}},
        {"folder", {true, false}},   {"folder link", {true, true}}, {"file link", {false, true}},
        {"dangling", {false, true}}, {kGbkName, {false, false}},    {kBackslashName, {true, false}},
    };
    EXPECT_EQ(seen, expected);
    EXPECT_FALSE(platform::Folder::Open(R"(D:\T\file)"));
    EXPECT_FALSE(platform::Folder::Open(R"(D:\none)"));
    EXPECT_FALSE(platform::Folder::Open(R"(D:\T\folder link)"));  // never entered
    EXPECT_FALSE(folder->OpenSubfolder("folder link"));
    EXPECT_TRUE(folder->OpenSubfolder(kBackslashName));

    EXPECT_FALSE(platform::RemoveEmptyDirectory(LR"(D:\T)"));  // not empty
    EXPECT_FALSE(folder->RemoveEmptySubfolder("file link"));
    EXPECT_FALSE(folder->RemoveEmptySubfolder("file"));
    EXPECT_FALSE(folder->DeleteOneFile("folder"));  // folders are not files
    EXPECT_TRUE(folder->RemoveEmptySubfolder("folder link"));
    EXPECT_TRUE(folder->DeleteOneFile("file link"));
    EXPECT_EQ(ReadHostFile(outside + "/keep.txt"), "keep");
    EXPECT_TRUE(platform::RemoveEmptyDirectory(LR"(D:\T\folder\)"));
    EXPECT_FALSE(HostPathExists(sandbox.Host(R"(D:\T\folder)")));

    // Names that are no text, or hold a "\", reach exactly their own entry.
    ASSERT_EQ(::chmod((sandbox.Host(R"(D:\T)") + "/" + kGbkName).c_str(), 0444), 0);
    EXPECT_TRUE(folder->MakeFileWritable(kGbkName));
    EXPECT_EQ(ModeOf(sandbox.Host(R"(D:\T)") + "/" + kGbkName), 0644u);
    EXPECT_TRUE(folder->DeleteOneFile(kGbkName));
    EXPECT_TRUE(folder->RemoveEmptySubfolder(kBackslashName));
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(sandbox.Host(R"(D:\T)"))) {
        left.insert(entry.path().filename().string());
    }
    EXPECT_EQ(left, (std::set<std::string>{"dangling", "file"}));
}

TEST(FileOperations, EntriesMoveBetweenFoldersByTheirHostNamesAndNeverReplace) {
    tolbe_test::SandboxDrives sandbox("D");
    WriteHostFile(sandbox.Host(R"(D:\from)") + "/" + kGbkName, "gbk");
    WriteHostFile(sandbox.Host(R"(D:\from)") + "/" + kBackslashName, "backslash");
    WriteHostFile(sandbox.Host(R"(D:\from\taken)"), "new");
    WriteHostFile(sandbox.Host(R"(D:\to\taken)"), "old");
    const auto from = platform::Folder::Open(R"(D:\from)");
    const auto to = platform::Folder::Open(R"(D:\to)");
    ASSERT_TRUE(from && to);

    EXPECT_TRUE(from->MoveEntryTo(kGbkName, *to));
    EXPECT_TRUE(from->MoveEntryTo(kBackslashName, *to));
    EXPECT_EQ(ReadHostFile(sandbox.Host(R"(D:\to)") + "/" + kGbkName), "gbk");
    EXPECT_EQ(ReadHostFile(sandbox.Host(R"(D:\to)") + "/" + kBackslashName), "backslash");
    EXPECT_FALSE(HostPathExists(sandbox.base() + "/outside.txt"));
    errno = 0;
    EXPECT_FALSE(from->MoveEntryTo("taken", *to));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(ReadHostFile(sandbox.Host(R"(D:\to\taken)")), "old");
    EXPECT_FALSE(from->MoveEntryTo("missing", *to));
}

TEST(FileOperations, FileStreamsOpenWindowsPaths) {
    tolbe_test::SandboxDrives sandbox("D");
    {
        const auto out = platform::OpenFileStream(R"(D:\notes.txt)", "wb");
        ASSERT_TRUE(out);
        ASSERT_GE(std::fputs("written", out.get()), 0);
    }
    EXPECT_EQ(ReadHostFile(sandbox.Host(R"(D:\notes.txt)")), "written");
    EXPECT_FALSE(platform::OpenFileStream(R"(D:\missing\notes.txt)", "wb"));
    EXPECT_FALSE(platform::OpenFileStream(R"(Q:\notes.txt)", "rb"));
}

TEST(FileOperations, ANewFileIsNeverOpenedOverAnythingNorThroughALink) {
    tolbe_test::SandboxDrives sandbox("D");
    const std::string outside = sandbox.base() + "/outside.txt";
    WriteHostFile(outside, "keep");
    WriteHostFile(sandbox.Host(R"(D:\old.zip)"), "old");
    fs::create_symlink(outside, sandbox.Host(R"(D:\link.zip)"));
    // A dangling link: creating through it would make a file where it points.
    fs::create_symlink(sandbox.base() + "/planted.txt", sandbox.Host(R"(D:\dangling.zip)"));
    fs::create_directories(sandbox.Host(R"(D:\folder.zip)"));
    for (const char* taken : {R"(D:\old.zip)", R"(D:\link.zip)", R"(D:\dangling.zip)",
                              R"(D:\folder.zip)", R"(D:\missing\new.zip)", R"(Q:\new.zip)"}) {
        EXPECT_FALSE(platform::FileWriter::CreateNew(taken)) << taken;
    }
    EXPECT_EQ(ReadHostFile(sandbox.Host(R"(D:\old.zip)")), "old");
    EXPECT_EQ(ReadHostFile(outside), "keep");
    EXPECT_FALSE(HostPathExists(sandbox.base() + "/planted.txt"));

    auto file = platform::FileWriter::CreateNew(R"(D:\new.zip)");
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->Write("new ", 4));
    EXPECT_TRUE(file->Write("bytes", 5));
    EXPECT_TRUE(file->Close());
    EXPECT_FALSE(file->Write("more", 4));  // closed
    EXPECT_EQ(ReadHostFile(sandbox.Host(R"(D:\new.zip)")), "new bytes");
}

TEST(FileOperations, RenameOverReplacesAFileOrALinkButNeverAFolder) {
    tolbe_test::SandboxDrives sandbox("D");
    const std::string outside = sandbox.base() + "/outside.txt";
    WriteHostFile(outside, "keep");
    WriteHostFile(sandbox.Host(R"(D:\old.zip)"), "old");
    fs::create_symlink(outside, sandbox.Host(R"(D:\link.zip)"));
    fs::create_directories(sandbox.Host(R"(D:\folder.zip)"));
    const struct {
        const char* to;
        bool replaced;
    } cases[] = {
        {R"(D:\fresh.zip)", true},   {R"(D:\old.zip)", true},
        {R"(D:\link.zip)", true},  // the link itself: its target stays
        {R"(D:\folder.zip)", false}, {R"(Q:\new.zip)", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.to);
        WriteHostFile(sandbox.Host(R"(D:\new.part)"), "new");
        EXPECT_EQ(platform::RenameOver(R"(D:\new.part)", c.to), c.replaced);
        EXPECT_EQ(HostPathExists(sandbox.Host(R"(D:\new.part)")), !c.replaced);
        if (c.replaced) {
            EXPECT_EQ(fs::symlink_status(sandbox.Host(c.to)).type(), fs::file_type::regular);
            EXPECT_EQ(ReadHostFile(sandbox.Host(c.to)), "new");
        }
    }
    EXPECT_EQ(ReadHostFile(outside), "keep");
    EXPECT_TRUE(fs::is_empty(sandbox.Host(R"(D:\folder.zip)")));
}

}  // namespace

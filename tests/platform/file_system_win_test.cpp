// The Win32 file system of the platform layer on real folders: read-only files, junctions (or,
// under Wine, the host's links that Wine lists as reparse points), names that the ANSI code page
// cannot write, and folders swapped for links while they are held.
#include <windows.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "platform/archive_files.h"
#include "platform/directories.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tests/support/sandbox.h"
#include "tests/support/win_links.h"

namespace {

namespace fs = std::filesystem;
using tolbe_test::HostPathExists;
using tolbe_test::ReadHostFile;
using tolbe_test::WriteHostFile;

DWORD AttributesOf(const std::string& hostPath) {
    return ::GetFileAttributesW(platform::NarrowToWide(hostPath).c_str());
}

void MakeReadOnly(const std::string& hostPath) {
    ASSERT_TRUE(
        ::SetFileAttributesW(platform::NarrowToWide(hostPath).c_str(), FILE_ATTRIBUTE_READONLY));
}

// A drive D: with D:\Tolbe, and beside the drive a folder `outside` holding keep.txt.
class WinFileSystem : public ::testing::Test {
protected:
    WinFileSystem() {
        fs::create_directories(sandbox.Host(R"(D:\Tolbe)"));
        WriteHostFile(Outside("keep.txt"), "keep");
    }
    std::string Outside(const std::string& name = "") const {
        return (fs::path(sandbox.base()) / "outside" / name).string();
    }
    std::string Host(const std::string& windowsPath) const { return sandbox.Host(windowsPath); }

    tolbe_test::SandboxDrives sandbox{"D"};
};

TEST_F(WinFileSystem, FolderListsAndRemovesEntriesButNeverEntersALink) {
    WriteHostFile(Host(R"(D:\Tolbe\sub\ro.txt)"), "ro");
    MakeReadOnly(Host(R"(D:\Tolbe\sub\ro.txt)"));
    tolbe_test::MakeFolderLink(Host(R"(D:\Tolbe\link)"), Outside());
    // 游戏 ("game"), a name that code page 1252 cannot write.
    const std::wstring wideName = L"\u6E38\u620F.txt";
    const std::wstring widePath = platform::NarrowToWide(Host(R"(D:\Tolbe)")) + L"\\" + wideName;
    const HANDLE made = ::CreateFileW(widePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(made, INVALID_HANDLE_VALUE);
    ::CloseHandle(made);

    const auto folder = platform::Folder::Open(R"(D:\Tolbe)");
    ASSERT_TRUE(folder);
    const auto entries = folder->List();
    ASSERT_TRUE(entries);
    std::map<std::string, platform::DirectoryEntry> byName;
    for (const auto& entry : *entries) {
        byName[entry.name] = entry;
    }
    ASSERT_EQ(byName.count("link"), 1u);
    EXPECT_TRUE(byName["link"].isLink);
    EXPECT_TRUE(byName["link"].isDirectory);
    EXPECT_TRUE(byName["sub"].isDirectory);
    EXPECT_FALSE(byName["sub"].isLink);
    EXPECT_FALSE(folder->OpenSubfolder("link"));
    EXPECT_FALSE(platform::Folder::Open(R"(D:\Tolbe\link)"));

    // The name that the code page cannot write is listed in a form that reaches it again.
    std::string wideEntry;
    for (const auto& [name, entry] : byName) {
        if (name != "." && name != ".." && name != "link" && name != "sub") {
            wideEntry = name;
        }
    }
    ASSERT_FALSE(wideEntry.empty());
    EXPECT_TRUE(folder->DeleteOneFile(wideEntry));
    EXPECT_EQ(::GetFileAttributesW(widePath.c_str()), INVALID_FILE_ATTRIBUTES);

    const auto sub = folder->OpenSubfolder("sub");
    ASSERT_TRUE(sub);
    EXPECT_FALSE(sub->DeleteOneFile("ro.txt"));  // read-only stops DeleteFileW
    EXPECT_TRUE(sub->MakeFileWritable("ro.txt"));
    EXPECT_TRUE(sub->DeleteOneFile("ro.txt"));
    EXPECT_FALSE(folder->DeleteOneFile("sub"));  // a folder is not a file
    EXPECT_TRUE(folder->RemoveEmptySubfolder("sub"));
    EXPECT_FALSE(folder->MakeFileWritable("link"));

    // The link goes itself where the host can remove it (Wine cannot remove a host link);
    // what it points to stays in every case.
    const bool linkRemoved = folder->RemoveEmptySubfolder("link");
    EXPECT_EQ(ReadHostFile(Outside("keep.txt")), "keep");
    if (!tolbe_test::RunningUnderWine()) {
        EXPECT_TRUE(linkRemoved);
        EXPECT_TRUE(platform::RemoveEmptyDirectory(LR"(D:\Tolbe)"));
    }
}

TEST_F(WinFileSystem, AFolderSwappedForALinkWhileHeldIsNotWrittenThrough) {
    WriteHostFile(Host(R"(D:\Tolbe\sub\keep.txt)"), "mine");
    const auto held = platform::Folder::Open(R"(D:\Tolbe\sub)");
    ASSERT_TRUE(held);
    fs::rename(Host(R"(D:\Tolbe\sub)"), Host(R"(D:\Tolbe\moved)"));
    tolbe_test::MakeFolderLink(Host(R"(D:\Tolbe\sub)"), Outside());

    EXPECT_FALSE(held->List());
    EXPECT_FALSE(held->DeleteOneFile("keep.txt"));
    EXPECT_FALSE(held->MakeFileWritable("keep.txt"));
    EXPECT_EQ(ReadHostFile(Outside("keep.txt")), "keep");
    EXPECT_EQ(ReadHostFile(Host(R"(D:\Tolbe\moved\keep.txt)")), "mine");
}

TEST_F(WinFileSystem, ExtractionWritesBelowItsFolderOnly) {
    auto target = platform::ExtractionTarget::Open(R"(D:\Tolbe)");
    ASSERT_TRUE(target);
    auto file = target->CreateFile(R"(data\maps\one.bin)", 0644);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->Write("12345", 5));
    ASSERT_TRUE(file->Close());
    EXPECT_EQ(ReadHostFile(Host(R"(D:\Tolbe\data\maps\one.bin)")), "12345");

    // No write bit: a read-only file, which a later extraction replaces all the same.
    ASSERT_TRUE(target->CreateFile("game.dat", 0444));
    EXPECT_NE(AttributesOf(Host(R"(D:\Tolbe\game.dat)")) & FILE_ATTRIBUTE_READONLY, 0u);
    auto again = target->CreateFile("game.dat", 0644);
    ASSERT_TRUE(again);
    ASSERT_TRUE(again->Write("new", 3));
    again->Close();
    EXPECT_EQ(ReadHostFile(Host(R"(D:\Tolbe\game.dat)")), "new");
    EXPECT_EQ(AttributesOf(Host(R"(D:\Tolbe\game.dat)")) & FILE_ATTRIBUTE_READONLY, 0u);

    // A link planted in a folder's place, before or after the folder was entered.
    tolbe_test::MakeFolderLink(Host(R"(D:\Tolbe\planted)"), Outside());
    EXPECT_FALSE(target->MakeFolders(R"(planted\x)"));
    EXPECT_FALSE(target->CreateFile(R"(planted\y.txt)", 0644));
    fs::rename(Host(R"(D:\Tolbe\data\maps)"), Host(R"(D:\Tolbe\data\old)"));
    tolbe_test::MakeFolderLink(Host(R"(D:\Tolbe\data\maps)"), Outside());
    EXPECT_FALSE(target->CreateFile(R"(data\maps\two.bin)", 0644));
    EXPECT_EQ(std::distance(fs::directory_iterator(Outside()), fs::directory_iterator()), 1);

    // A name with ':' would write an alternate data stream of another file.
    errno = 0;
    EXPECT_FALSE(target->CreateFile(R"(data\one.bin:hidden)", 0644));
    EXPECT_EQ(errno, EINVAL);
    EXPECT_FALSE(target->CreateFile(R"(data)", 0644));  // a folder is there
}

TEST_F(WinFileSystem, ReplacingAndCopyingGoOverReadOnlyFilesAndLeaveNoTemporaryFile) {
    WriteHostFile(Host(R"(D:\Tolbe\config.zorv)"), "old");
    MakeReadOnly(Host(R"(D:\Tolbe\config.zorv)"));
    ASSERT_TRUE(platform::ReplaceFile(R"(D:\Tolbe\config.zorv)", std::string("n\0w", 3)));
    EXPECT_EQ(ReadHostFile(Host(R"(D:\Tolbe\config.zorv)")), std::string("n\0w", 3));

    WriteHostFile(Host(R"(D:\launcher.exe)"), std::string(100000, 'L'));
    WriteHostFile(Host(R"(D:\Tolbe\vasktolbe.exe)"), "older copy");
    MakeReadOnly(Host(R"(D:\Tolbe\vasktolbe.exe)"));
    ASSERT_TRUE(platform::CopyFileOver(R"(D:\launcher.exe)", R"(D:\Tolbe\vasktolbe.exe)"));
    EXPECT_EQ(ReadHostFile(Host(R"(D:\Tolbe\vasktolbe.exe)")), std::string(100000, 'L'));

    fs::create_directories(Host(R"(D:\Tolbe\folder\inside)"));
    EXPECT_FALSE(platform::ReplaceFile(R"(D:\Tolbe\folder)", "x"));
    EXPECT_FALSE(platform::CopyFileOver(R"(D:\missing.exe)", R"(D:\Tolbe\vasktolbe.exe)"));
    EXPECT_FALSE(platform::RenameOver(R"(D:\launcher.exe)", R"(D:\Tolbe\folder)"));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Host(R"(D:\Tolbe)"))) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"config.zorv", "folder", "vasktolbe.exe"}));
}

TEST_F(WinFileSystem, SearchesNewFilesAndEntryKinds) {
    WriteHostFile(Host(R"(D:\Tolbe\t.exe)"), "abcdef");
    tolbe_test::MakeFolderLink(Host(R"(D:\Tolbe\link)"), Outside());
    const struct {
        const char* path;
        bool exists;
    } searches[] = {
        {R"(D:\Tolbe\t.exe)", true},  {R"(D:\Tolbe)", true},
        {R"(D:\Tolbe\link)", true},   {R"(D:\Tolbe\*)", false},
        {R"(D:\Tolbe\t.ex?)", false}, {R"(D:\Tolbe\t<)", false},
        {R"(D:\Tolbe\)", false},      {R"(D:\)", false},
        {R"(Q:\Tolbe)", false},
    };
    for (const auto& c : searches) {
        EXPECT_EQ(platform::PathExists(c.path), c.exists) << c.path;
    }
    // A file outside every drive, by its Windows form (\\?\host\...), as the launcher's own.
    EXPECT_TRUE(platform::PathExists(platform::ToWindowsPath(Outside("keep.txt"))));
    EXPECT_EQ(platform::EntryKindAt(R"(D:\Tolbe\t.exe)"), platform::EntryKind::RegularFile);
    EXPECT_EQ(platform::EntryKindAt(R"(D:\Tolbe)"), platform::EntryKind::Directory);
    EXPECT_EQ(platform::EntryKindAt(R"(D:\Tolbe\link)"), platform::EntryKind::Link);
    EXPECT_EQ(platform::EntryKindAt(R"(D:\Tolbe\none)"), platform::EntryKind::Missing);
    EXPECT_EQ(platform::RegularFileSize(R"(D:\Tolbe\t.exe)"), 6u);
    EXPECT_FALSE(platform::RegularFileSize(R"(D:\Tolbe\link)"));

    errno = 0;
    EXPECT_FALSE(platform::FileWriter::CreateNew(R"(D:\Tolbe\t.exe)"));
    EXPECT_EQ(errno, EEXIST);
    auto continued = platform::FileWriter::OpenToContinue(R"(D:\Tolbe\t.exe)", 3);
    ASSERT_TRUE(continued);
    ASSERT_TRUE(continued->Write("XY", 2));
    ASSERT_TRUE(continued->Sync());
    ASSERT_TRUE(continued->Close());
    EXPECT_EQ(ReadHostFile(Host(R"(D:\Tolbe\t.exe)")), "abcXY");
    EXPECT_FALSE(platform::FileWriter::OpenToContinue(R"(D:\Tolbe\t.exe)", 6));
    EXPECT_FALSE(platform::FileWriter::OpenToContinue(R"(D:\Tolbe)", 0));

    errno = 0;
    WriteHostFile(Host(R"(D:\other.exe)"), "o");
    EXPECT_FALSE(platform::MoveEntry(R"(D:\other.exe)", R"(D:\Tolbe\t.exe)"));  // no replacing
    EXPECT_EQ(errno, EEXIST);
    EXPECT_TRUE(platform::MoveEntry(R"(D:\other.exe)", R"(D:\Tolbe\o.exe)"));
}

TEST_F(WinFileSystem, ArchiveIsReadAtAnyOffset) {
    std::string bytes(70000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 13);
    }
    WriteHostFile(Host(R"(D:\Client.zip)"), bytes);
    auto archive = platform::ArchiveInputFile::Open(R"(D:\Client.zip)");
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->Size(), bytes.size());
    char buffer[100];
    EXPECT_EQ(archive->ReadAt(65530, buffer, 10), 10u);
    EXPECT_EQ(std::string(buffer, 10), bytes.substr(65530, 10));
    EXPECT_EQ(archive->ReadAt(bytes.size() - 4, buffer, 100), 4u);  // short only at the end
    EXPECT_EQ(archive->ReadAt(bytes.size() + 10, buffer, 100), 0u);
    EXPECT_FALSE(platform::ArchiveInputFile::Open(R"(D:\none.zip)"));
    EXPECT_TRUE(platform::IsFileAt(R"(D:\Client.zip)"));
    EXPECT_TRUE(platform::IsDirectoryAt(R"(D:\Tolbe)"));
    EXPECT_TRUE(platform::MakeDirectoryAt(R"(D:\New)"));
    EXPECT_FALSE(platform::MakeDirectoryAt(R"(D:\New)"));
}

}  // namespace

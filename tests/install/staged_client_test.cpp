#include "install/staged_client.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>

#include "config/config_store.h"
#include "tests/support/host_files.h"
#include "tests/support/sandbox.h"
#ifndef _WIN32
#include "tests/support/unprivileged.h"
#endif

namespace {

namespace fs = std::filesystem;
using tolbe_test::FilesBelow;
using tolbe_test::HostPathExists;
using tolbe_test::ReadHostFile;
using tolbe_test::WriteHostFile;

constexpr char kClientDir[] = R"(D:\Tolbe)";
constexpr char kStaging[] = R"(D:\Tolbe.tolbe-new)";
// The launcher's own files in the client directory: its copy and the shortcut's icon.
const std::vector<std::string> kLauncherOwnFiles = {"vasktolbe.exe", "vasktolbe.png"};

// The installation's config.zorv before and after the update, as the launcher writes them.
std::string ConfigOf(const char* version) {
    zorv_VersionCheck record;
    record.set_version(version);
    return ConfigFileBytes(record);
}
std::string OldConfig() {
    return ConfigOf("0.9");
}
std::string NewConfig() {
    return ConfigOf("1.0");
}

// The new client, extracted into a freshly prepared staging folder.
void StageNewClient(const tolbe_test::SandboxDrives& drives) {
    ASSERT_TRUE(PrepareSideFolder(kStaging));
    WriteHostFile(drives.Host(R"(D:\Tolbe.tolbe-new\tolbe.exe)"), "new game");
    WriteHostFile(drives.Host(R"(D:\Tolbe.tolbe-new\data\map.txt)"), "new map");
    WriteHostFile(drives.Host(R"(D:\Tolbe.tolbe-new\config.zorv)"), NewConfig());
}

#ifndef _WIN32
// Entries whose names are no text (GBK names an older launcher extracted as the archive stored
// them) or hold a "\", as older launchers and other programs leave them on disk.
void AddEntriesWithHostNames(const std::string& hostFolder) {
    WriteHostFile(hostFolder + "/\xB6\xC1\xC8\xA1.txt", "gbk file");  // 读取.txt
    WriteHostFile(hostFolder + "/\xD3\xCE\xCF\xB7/\xB5\xD8\xCD\xBC.txt", "gbk folder");
    WriteHostFile(hostFolder + "/" + R"(data\map.txt)", "backslash");
    tolbe_test::SetHostMode(hostFolder + "/\xB6\xC1\xC8\xA1.txt", 0444);
}
#else
// Entries whose names the ANSI code page cannot write (Chinese, while the code page is not 936),
// which Windows keeps in UTF-16, one of them read-only.
void AddEntriesWithHostNames(const std::string& hostFolder) {
    const fs::path folder = tolbe_test::HostPathOf(hostFolder);
    fs::create_directories(folder / L"\u6E38\u620F");
    std::ofstream(folder / L"\u8BFB\u53D6.txt") << "file";                      // 读取.txt
    std::ofstream(folder / L"\u6E38\u620F" / L"\u5730\u56FE.txt") << "folder";  // 游戏/地图.txt
    tolbe_test::SetHostMode(folder / L"\u8BFB\u53D6.txt", 0444);
}
#endif

void InstallOldClient(const tolbe_test::SandboxDrives& drives) {
    WriteHostFile(drives.Host(R"(D:\Tolbe\tolbe.exe)"), "old game");
    WriteHostFile(drives.Host(R"(D:\Tolbe\data\map.txt)"), "old map");
    WriteHostFile(drives.Host(R"(D:\Tolbe\data\old-only.txt)"), "old data");
    WriteHostFile(drives.Host(R"(D:\Tolbe\config.zorv)"), OldConfig());
    WriteHostFile(drives.Host(R"(D:\Tolbe\vasktolbe.exe)"), "running launcher");
    WriteHostFile(drives.Host(R"(D:\Tolbe\vasktolbe.png)"), "launcher icon");
}

class StagedClient : public ::testing::Test {
protected:
    std::string Host(const std::string& windowsPath) const { return drives.Host(windowsPath); }

    tolbe_test::SandboxDrives drives{"D"};
};

TEST_F(StagedClient, AFreshInstallationBecomesTheClientDirectoryWithoutTheMarker) {
    StageNewClient(drives);
    ASSERT_TRUE(ReplaceClientWithStaged(kClientDir, false, kLauncherOwnFiles));
    EXPECT_EQ(
        FilesBelow(Host(kClientDir)),
        (std::map<std::string, std::string>{
            {"config.zorv", NewConfig()}, {"data/map.txt", "new map"}, {"tolbe.exe", "new game"}}));
    EXPECT_FALSE(HostPathExists(Host(kStaging)));
}

// Entries of any name go: the backup folder is removed with them.
TEST_F(StagedClient, AnUpdateReplacesEverythingButTheLauncherCopyAndItsIcon) {
    InstallOldClient(drives);
    AddEntriesWithHostNames(Host(kClientDir));
    StageNewClient(drives);
    ASSERT_TRUE(ReplaceClientWithStaged(kClientDir, true, kLauncherOwnFiles));
    EXPECT_EQ(FilesBelow(Host(kClientDir)),
              (std::map<std::string, std::string>{{"config.zorv", NewConfig()},
                                                  {"data/map.txt", "new map"},
                                                  {"tolbe.exe", "new game"},
                                                  {"vasktolbe.exe", "running launcher"},
                                                  {"vasktolbe.png", "launcher icon"}}));
    EXPECT_FALSE(HostPathExists(Host(R"(D:\Tolbe.tolbe-old)")));
    // The staging folder keeps only its marker; the caller discards it.
    EXPECT_TRUE(DiscardSideFolder(kStaging));
    EXPECT_EQ(FilesBelow(Host(R"(D:\)")).size(), 5u);
}

TEST_F(StagedClient, SideFoldersAreRemovedWhateverTheNamesInThem) {
    for (const char* folder : {kStaging, R"(D:\Tolbe.tolbe-old)"}) {
        SCOPED_TRACE(folder);
        ASSERT_TRUE(PrepareSideFolder(folder));
        AddEntriesWithHostNames(Host(folder));
        ASSERT_TRUE(PrepareSideFolder(folder));  // a leftover is made anew
        EXPECT_EQ(FilesBelow(Host(folder)).size(), 1u);
        AddEntriesWithHostNames(Host(folder));
        EXPECT_TRUE(DiscardSideFolder(folder));
        EXPECT_FALSE(HostPathExists(Host(folder)));
    }
}

TEST(StagedClientRefusals, RefusalsLeaveBothFoldersAsTheyWere) {
    using Drives = tolbe_test::SandboxDrives;
    const struct {
        const char* name;
        std::function<void(const Drives&)> arrange;
        bool isInstallation;
    } cases[] = {
        {"a folder that is no installation", [](const Drives&) {}, false},
        {"a staging folder without config.zorv",
         [](const Drives& d) { fs::remove(d.Host(R"(D:\Tolbe.tolbe-new\config.zorv)")); }, true},
        {"a staging folder without its marker",
         [](const Drives& d) { fs::remove(d.Host(R"(D:\Tolbe.tolbe-new\.tolbe-side-folder)")); },
         true},
    };
    for (const auto& c : cases) {
        const Drives drives("D");
        InstallOldClient(drives);
        StageNewClient(drives);
        c.arrange(drives);
        const auto clientBefore = FilesBelow(drives.Host(kClientDir));
        const auto stagingBefore = FilesBelow(drives.Host(kStaging));
        EXPECT_FALSE(ReplaceClientWithStaged(kClientDir, c.isInstallation, kLauncherOwnFiles))
            << c.name;
        EXPECT_EQ(FilesBelow(drives.Host(kClientDir)), clientBefore) << c.name;
        EXPECT_EQ(FilesBelow(drives.Host(kStaging)), stagingBefore) << c.name;
        EXPECT_FALSE(HostPathExists(drives.Host(R"(D:\Tolbe.tolbe-old)"))) << c.name;
    }
}

// The old entries have all moved aside when one new entry cannot move in (a folder without write
// permission cannot change its parent): every entry goes back where it was.
TEST(StagedClientRollBack, ARenameThatFailsHalfWayPutsEverythingBack) {
    const tolbe_test::SandboxDrives drives("D");
    InstallOldClient(drives);
    AddEntriesWithHostNames(drives.Host(kClientDir));  // they go back too
    StageNewClient(drives);
    WriteHostFile(drives.Host(R"(D:\Tolbe.tolbe-new\locked\x.txt)"), "new");
    const auto clientBefore = FilesBelow(drives.Host(kClientDir));
    const auto stagingBefore = FilesBelow(drives.Host(kStaging));

#ifdef _WIN32
    // A folder that a running program holds open cannot move either.
    std::optional<bool> replaced;
    {
        const tolbe_test::HeldOpenEntry held(drives.Host(R"(D:\Tolbe.tolbe-new\locked)"));
        const tolbe_test::WaitForHeldFiles noWait(std::chrono::milliseconds(0));  // held for good
        replaced = ReplaceClientWithStaged(kClientDir, true, kLauncherOwnFiles);
    }
#else
    ASSERT_EQ(::chmod(drives.Host(R"(D:\Tolbe.tolbe-new\locked)").c_str(), 0555), 0);
    const auto replaced = tolbe_test::RunAsUnprivilegedUser(
        drives.base(), [] { return ReplaceClientWithStaged(kClientDir, true, kLauncherOwnFiles); });
    if (!replaced) {
        GTEST_SKIP() << "running as root and no unprivileged user can be had";
    }
#endif
    EXPECT_FALSE(*replaced);
    EXPECT_EQ(FilesBelow(drives.Host(kClientDir)), clientBefore);
    EXPECT_EQ(FilesBelow(drives.Host(kStaging)), stagingBefore);
    EXPECT_FALSE(HostPathExists(drives.Host(R"(D:\Tolbe.tolbe-old)")));
#ifndef _WIN32
    ::chmod(drives.Host(R"(D:\Tolbe.tolbe-new\locked)").c_str(), 0755);  // for the clean-up
#endif
}

TEST_F(StagedClient, AMarkerLeftInTheClientDirectoryNeverBlocksAnUpdate) {
    InstallOldClient(drives);
    WriteHostFile(Host(std::string(kClientDir) + "\\" + kSideFolderMarker), "left behind");
    StageNewClient(drives);
    ASSERT_TRUE(ReplaceClientWithStaged(kClientDir, true, kLauncherOwnFiles));
    EXPECT_EQ(FilesBelow(Host(kClientDir)).count(kSideFolderMarker), 0u);
    EXPECT_EQ(ReadHostFile(Host(R"(D:\Tolbe\tolbe.exe)")), "new game");
}

// A swap cut short (the launcher killed between two renames) is finished or undone by the next
// run, as far as the backup folder's marker says it had come.
TEST(StagedClientRecovery, ASwapCutShortIsFinishedOrUndone) {
    using Drives = tolbe_test::SandboxDrives;
    const std::map<std::string, std::string> oldClient = {
        {"config.zorv", OldConfig()},          {"data/map.txt", "old map"},
        {"data/old-only.txt", "old data"},     {"tolbe.exe", "old game"},
        {"vasktolbe.exe", "running launcher"}, {"vasktolbe.png", "launcher icon"}};
    const std::map<std::string, std::string> newClient = {{"config.zorv", NewConfig()},
                                                          {"data/map.txt", "new map"},
                                                          {"tolbe.exe", "new game"},
                                                          {"vasktolbe.exe", "running launcher"},
                                                          {"vasktolbe.png", "launcher icon"}};
    // The renames of the swap, in order: the old entries out (config.zorv and the launcher's own
    // files stay), then the new ones in, the new config.zorv last.
    const std::pair<const char*, const char*> renames[] = {
        {R"(D:\Tolbe\data)", R"(D:\Tolbe.tolbe-old\data)"},
        {R"(D:\Tolbe\tolbe.exe)", R"(D:\Tolbe.tolbe-old\tolbe.exe)"},
        {R"(D:\Tolbe.tolbe-new\tolbe.exe)", R"(D:\Tolbe\tolbe.exe)"},
        {R"(D:\Tolbe.tolbe-new\data)", R"(D:\Tolbe\data)"},
        {R"(D:\Tolbe.tolbe-new\config.zorv)", R"(D:\Tolbe\config.zorv)"},
    };
    const struct {
        const char* name;
        const char* phase;
        size_t renamesDone;
        const std::map<std::string, std::string>* expected;
    } cases[] = {
        {"while the old client moved out", kSwapMovingOut, 1, &oldClient},
        {"once the old client was out", kSwapMovingOut, 2, &oldClient},
        {"once the new client was about to move in", kSwapMovingIn, 2, &newClient},
        {"while the new client moved in", kSwapMovingIn, 3, &newClient},
        {"before the new config.zorv", kSwapMovingIn, 4, &newClient},
        {"before the old entries were removed", kSwapMovingIn, 5, &newClient},
    };
    for (const auto& c : cases) {
        const Drives drives("D");
        InstallOldClient(drives);
        StageNewClient(drives);
        ASSERT_TRUE(PrepareSideFolder(R"(D:\Tolbe.tolbe-old)", c.phase));
        for (size_t i = 0; i < c.renamesDone; ++i) {
            fs::rename(drives.Host(renames[i].first), drives.Host(renames[i].second));
        }
        RecoverInterruptedSwap(kClientDir, kLauncherOwnFiles);
        EXPECT_EQ(FilesBelow(drives.Host(kClientDir)), *c.expected) << c.name;
        EXPECT_FALSE(HostPathExists(drives.Host(R"(D:\Tolbe.tolbe-old)"))) << c.name;
        EXPECT_FALSE(HostPathExists(drives.Host(kStaging))) << c.name;
    }
}

TEST_F(StagedClient, RecoveryLeavesFoldersAloneThatAreNoSwapCutShort) {
    InstallOldClient(drives);
    StageNewClient(drives);
    const auto before = FilesBelow(Host(R"(D:\)"));
    RecoverInterruptedSwap(kClientDir, kLauncherOwnFiles);  // no backup folder at all
    EXPECT_EQ(FilesBelow(Host(R"(D:\)")), before);

    // Somebody else's folder under the backup folder's name, with or without a marker file.
    WriteHostFile(Host(R"(D:\Tolbe.tolbe-old\tolbe.exe)"), "not the launcher's");
    const auto withForeignFolder = FilesBelow(Host(R"(D:\)"));
    RecoverInterruptedSwap(kClientDir, kLauncherOwnFiles);
    EXPECT_EQ(FilesBelow(Host(R"(D:\)")), withForeignFolder);
    WriteHostFile(Host(std::string(R"(D:\Tolbe.tolbe-old\)") + kSideFolderMarker), "mine");
    const auto withForeignMarker = FilesBelow(Host(R"(D:\)"));
    RecoverInterruptedSwap(kClientDir, kLauncherOwnFiles);
    EXPECT_EQ(FilesBelow(Host(R"(D:\)")), withForeignMarker);

    // Side folders that look like a swap cut short beside a folder that is no installation (no
    // config.zorv of the launcher's): none of that folder's entries moves, nothing is removed.
    // (Without that rule the staging folder's game and config.zorv would move in and the backup
    // folder be removed: nothing stands in their way.)
    fs::remove(Host(R"(D:\Tolbe\config.zorv)"));
    fs::remove(Host(R"(D:\Tolbe\tolbe.exe)"));
    tolbe_test::RemoveHostTree(tolbe_test::HostPathOf(Host(R"(D:\Tolbe.tolbe-new\data)")));
    WriteHostFile(Host(std::string(R"(D:\Tolbe.tolbe-old\)") + kSideFolderMarker), kSwapMovingIn);
    WriteHostFile(Host(R"(D:\Tolbe\data\map.txt)"), "someone else's map");
    const auto withForeignClient = FilesBelow(Host(R"(D:\)"));
    RecoverInterruptedSwap(kClientDir, kLauncherOwnFiles);
    EXPECT_EQ(FilesBelow(Host(R"(D:\)")), withForeignClient);
}

TEST_F(StagedClient, OnlySideFoldersWithTheMarkerAreEverRemoved) {
    // Somebody else's folder under the staging folder's name.
    WriteHostFile(Host(R"(D:\Tolbe.tolbe-new\mine.txt)"), "not the launcher's");
    EXPECT_FALSE(PrepareSideFolder(kStaging));
    EXPECT_FALSE(DiscardSideFolder(kStaging));
    EXPECT_EQ(ReadHostFile(Host(R"(D:\Tolbe.tolbe-new\mine.txt)")), "not the launcher's");

    // A leftover of an earlier run is made anew, empty but for its marker.
    tolbe_test::RemoveHostTree(tolbe_test::HostPathOf(Host(kStaging)));
    StageNewClient(drives);
    ASSERT_TRUE(PrepareSideFolder(kStaging));
    EXPECT_EQ(FilesBelow(Host(kStaging)).size(), 1u);
    EXPECT_TRUE(DiscardSideFolder(kStaging));
    EXPECT_FALSE(HostPathExists(Host(kStaging)));

    // A link under the name is neither followed nor removed.
    WriteHostFile(Host("D:\\elsewhere\\" + std::string(kSideFolderMarker)), "marker");
    tolbe_test::MakeHostFolderLink(Host(kStaging), Host(R"(D:\elsewhere)"));
    EXPECT_FALSE(PrepareSideFolder(kStaging));
    EXPECT_FALSE(DiscardSideFolder(kStaging));
    EXPECT_TRUE(HostPathExists(Host("D:\\elsewhere\\" + std::string(kSideFolderMarker))));
}

}  // namespace

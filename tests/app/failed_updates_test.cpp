// Updates that fail on the way: whatever breaks (the archive server, the archive, the disk),
// the old installation stays exactly as it was and still starts, and nothing of the new client
// is left behind. Archives of an earlier run, and links planted where the launcher writes, are
// never trusted.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "config/config_store.h"
#include "install/staged_client.h"
#include "platform/desktop_folder.h"
#include "platform/shell_link.h"
#include "tests/app/fixtures.h"
#include "tests/app/flow_harness.h"
#ifndef _WIN32
#include "tests/support/child_process.h"
#endif

namespace tolbe_test {
namespace {

namespace fs = std::filesystem;

constexpr char kOldDir[] = R"(D:\Tolbe)";

// Version 0.9 on D:, as an earlier run of the launcher left it: the game, its data, the
// configuration, the launcher copy and the shortcut to that copy.
void InstallOldClient(FlowHarness& h) {
    const std::string dir = h.Host(kOldDir);
    WriteHostFile(dir + "/tolbe.exe", GameProgram());
    MakeRunnable(dir + "/tolbe.exe");
    WriteHostFile(dir + "/old.dat", "from the old client");
    WriteHostFile(dir + "/data/maps/north.txt", "the old map");
    WriteHostFile(dir + "/vasktolbe.exe", "the old launcher copy");
    MakeRunnable(dir + "/vasktolbe.exe");
    zorv_VersionCheck installed;
    installed.set_version("0.9");
    installed.set_spare_text_3("kept by the installation");
    WriteHostFile(dir + "/config.zorv", ConfigFileBytes(installed));
    platform::ShellLink shortcut;
    shortcut.path = platform::NarrowToWide(std::string(kOldDir) + "\\vasktolbe.exe");
    shortcut.iconPath = shortcut.path;
    ASSERT_TRUE(platform::SaveShellLink(shortcut, platform::DesktopFolderPath() + L"\\Tolbe.lnk"));
}

std::string Archive(const std::vector<ZipEntry>& entries) {
    TempDir dir;
    WriteZip(dir.Join("c.zip"), entries);
    return ReadHostFile(dir.Join("c.zip"));
}

// A client whose map is stored uncompressed and then changed: its checksum no longer holds.
std::string ArchiveWithBadChecksum() {
    TempDir dir;
    WriteZip(dir.Join("c.zip"), {{"tolbe.exe", GameProgram(), 0100755},
                                 {"data/maps/north.txt", kMapData, 0100644, true}});
    PatchHostFile(dir.Join("c.zip"), kMapData, "map of the NORTHERN valley");
    return ReadHostFile(dir.Join("c.zip"));
}

// Runs the flow to its end and checks the failure: one extraction-failure box, the old
// installation and its shortcut as they were, nothing of the new client on the drive.
void ExpectFailedUpdateKeepsOldClient(FlowHarness& h, const TreeSnapshot& before,
                                      const std::string& name) {
    ASSERT_TRUE(h.TickUntilState(Stopped)) << name;
    ASSERT_EQ(h.view.boxes.size(), 1u) << name;
    EXPECT_EQ(h.view.boxes[0].text, kTextExtractionFailed) << name;
    EXPECT_EQ(SnapshotTree(h.temp.path()), before) << name;
    EXPECT_FALSE(HostPathExists(h.Host(kOldDir) + "/started.txt")) << name;
}

// The old installation still starts through its shortcut: the shortcut's target, run while the
// notice server names the installed version, launches the old game in its folder.
void ExpectOldClientStarts(FlowHarness& h, const std::string& name) {
    const std::string dir = h.Host(kOldDir);
    const std::optional<SavedShortcut> shortcut = ReadShortcut(h.temp);
    ASSERT_TRUE(shortcut) << name;
    ASSERT_EQ(shortcut->program, HostJoin(dir, "vasktolbe.exe")) << name;
    ASSERT_TRUE(HostPathExists(dir + "/vasktolbe.exe")) << name;

    h.Publish(ServerRecord("0.9"));
    RecordingView view;
    InstallFlow flow(h.app, h.webNet);
    flow.Start(view);
    for (int i = 0; i < 20000 && view.endDialogCalls == 0; ++i) {
        flow.Tick();
        std::this_thread::sleep_for(kTickPause);
    }
    EXPECT_EQ(view.endDialogCalls, 1) << name;
    EXPECT_EQ(flow.m_archivePath, "") << name;  // no download: the installation is current
    EXPECT_EQ(WaitForGameNote(dir), dir) << name;
}

TEST(FailedUpdates, WhateverBreaksTheOldInstallationStaysAndStillStarts) {
    const struct {
        const char* name;
        int status;
        std::string archive;
        size_t cutAfter;  // 0: the whole body
    } cases[] = {
        {"archive not found", 404, "no such file", 0},
        {"server error", 500, "internal error", 0},
        {"download cut in half", 200, ClientArchive(), ClientArchive().size() / 2},
        {"checksum fails", 200, ArchiveWithBadChecksum(), 0},
        {"no game executable", 200, Archive({{"data/maps/north.txt", kMapData, 0100644}}), 0},
#ifndef _WIN32
        // Windows names files without regard to case: there TOLBE.EXE is the game.
        {"the game in other letters", 200, Archive({{"TOLBE.EXE", GameProgram(), 0100755}}), 0},
#endif
        {"the game is a folder", 200, Archive({{"tolbe.exe/", "", 040755}}), 0},
        {"an empty archive", 200, Archive({}), 0},
        {"an entry that climbs out", 200,
         Archive({{"tolbe.exe", GameProgram(), 0100755},
                  {"../../canary/keep.txt", "overwritten", 0100644}}),
         0},
    };
    for (const auto& c : cases) {
        FlowHarness h;
        InstallOldClient(h);
        PlantCanary(h.temp);
        const TreeSnapshot before = SnapshotTree(h.temp.path());
        h.Publish(ServerRecord("1.0"));
        h.server.SetArchive(c.status, c.archive);
        if (c.cutAfter != 0) {
            h.server.CutArchiveAfter(c.cutAfter);
        }
        h.Open();
        ExpectFailedUpdateKeepsOldClient(h, before, c.name);
        ExpectOldClientStarts(h, c.name);
    }
}

FULL_DISK_TEST(FailedUpdates, ADiskThatFillsDuringTheExtractionKeepsTheOldInstallation) {
    const std::optional<std::string> parent = FullDiskTempParent();
    if (!parent) {
        GTEST_SKIP() << "run through wine_drives.sh, which makes the small drive";
    }
    FlowHarness h({{'D', 100 * FlowHarness::kGiB}, {'E', 200 * FlowHarness::kGiB}}, true, *parent);
    InstallOldClient(h);
    const TreeSnapshot before = SnapshotTree(h.temp.path());
    h.Publish(ServerRecord("1.0"));
    // 8 MiB of zeros pack into a few KiB: the archive fits, the extracted client does not.
    h.server.SetArchive(200, Archive({{"tolbe.exe", GameProgram(), 0100755},
                                      {"data/big.bin", std::string(8 << 20, '\0'), 0100644}}));
    {
        // About 1 MiB more fits on the disk.
        const FillingDisk full(1 << 20);
        ASSERT_TRUE(full.applied());
        h.Open();
        ExpectFailedUpdateKeepsOldClient(h, before, "disk full");
    }
    ExpectOldClientStarts(h, "disk full");
}

#ifndef _WIN32
// The game still runs from the outdated installation (the player started the shortcut again
// after a new version came out): the update touches nothing and says why, and once the game has
// ended the next start updates. (Windows: the Win32 process query, tests/platform.)
TEST(FailedUpdates, AGameStillRunningIsToldAndTheNextStartUpdates) {
    FlowHarness h;
    InstallOldClient(h);
    const std::string game = h.Host(kOldDir) + "/bin/tolbe-game";
    std::filesystem::create_directories(h.Host(kOldDir) + "/bin");
    std::filesystem::copy_file("/bin/sleep", game);
    const TreeSnapshot before = SnapshotTree(h.temp.path());
    h.Publish(ServerRecord("1.0"));
    h.server.SetArchive(200, ClientArchive());
    {
        ChildOptions running;
        running.argv = {game, "60"};
        running.workingDir = h.Host(kOldDir);  // as the launcher starts the game
        const ChildProcess game(running);
        h.Open();
        ASSERT_TRUE(h.TickUntilState(Stopped));
        ASSERT_EQ(h.view.boxes.size(), 1u);
        EXPECT_EQ(h.view.boxes[0].text, kTextGameRunning);
        EXPECT_EQ(h.view.boxes[0].caption, kCaptionUpdateFailed);
        EXPECT_EQ(h.server.archiveRequests, 0);
        EXPECT_EQ(SnapshotTree(h.temp.path()), before);
        EXPECT_EQ(h.view.endDialogCalls, 0);  // the player closes the stopped window
    }

    RecordingView view;
    InstallFlow next(h.app, h.webNet);
    next.Start(view);
    for (int i = 0; i < 20000 && view.endDialogCalls == 0; ++i) {
        next.Tick();
        std::this_thread::sleep_for(kTickPause);
    }
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(h.server.archiveRequests, 1);
    const std::string dir = h.Host(kOldDir);
    EXPECT_EQ(WaitForGameNote(dir), dir);
    EXPECT_FALSE(HostPathExists(dir + "/old.dat"));  // the new client took the old one's place
}
#endif

TEST(FailedUpdates, AnArchiveOfAnEarlierRunIsNeverInstalled) {
    FlowHarness h;  // no installation: the new client would go to E:
    WriteHostFile(h.Host(R"(E:\Client.zip)"), ClientArchive());  // complete, but not this run's
    h.Publish(ServerRecord("1.0"));
    h.server.SetArchive(404, "gone");
    h.Open();
    ASSERT_TRUE(h.TickUntilState(Stopped));
    ASSERT_EQ(h.view.boxes.size(), 1u);
    EXPECT_EQ(h.view.boxes[0].text, kTextExtractionFailed);
    EXPECT_FALSE(HostPathExists(h.Host(R"(E:\Tolbe)")));
    EXPECT_FALSE(HostPathExists(h.Host(R"(E:\Client.zip)")));
    EXPECT_TRUE(fs::is_empty(h.Host(R"(E:\)")));
}

TEST(FailedUpdates, ALinkPlantedAtTheArchiveIsNeverWrittenThrough) {
    if (!HostShowsFileLinks()) {
        GTEST_SKIP() << kFileLinksUnseen;
    }
    FlowHarness h;
    PlantCanary(h.temp);
    MakeHostFileLink(h.Host(R"(E:\Client.zip)"), h.temp.Join("canary/keep.txt"));
    MakeHostFileLink(h.Host(R"(E:\Client.zip.part)"), h.temp.Join("canary/keep.txt"));
    h.Publish(ServerRecord("1.0"));
    h.server.SetArchive(200, ClientArchive());
    h.Open();
    ASSERT_TRUE(h.TickUntil([&] { return h.view.endDialogCalls > 0; }));
    EXPECT_EQ(ReadHostFile(h.temp.Join("canary/keep.txt")), "the player's own file");
    EXPECT_EQ(ReadHostFile(h.Host(R"(E:\Tolbe\data\maps\north.txt)")), kMapData);
}

// The launcher was killed in the middle of an update's renames: the old game had moved aside and
// half of the new client had moved in. The next start finishes the swap before it looks for an
// installation, finds 1.0 complete and starts it without a download.
TEST(FailedUpdates, AnUpdateCutShortInItsRenamesIsFinishedByTheNextStart) {
    FlowHarness h;
    InstallOldClient(h);
    const std::string dir = h.Host(kOldDir);
    const std::string staging = h.Host(R"(D:\Tolbe.tolbe-new)");
    const std::string backup = h.Host(R"(D:\Tolbe.tolbe-old)");
    ASSERT_TRUE(PrepareSideFolder(R"(D:\Tolbe.tolbe-new)"));
    WriteHostFile(staging + "/tolbe.exe", GameProgram());
    MakeRunnable(staging + "/tolbe.exe");
    WriteHostFile(staging + "/data/maps/north.txt", kMapData);
    zorv_VersionCheck current;
    current.set_version("1.0");
    WriteHostFile(staging + "/config.zorv", ConfigFileBytes(current));
    ASSERT_TRUE(PrepareSideFolder(R"(D:\Tolbe.tolbe-old)", kSwapMovingIn));
    for (const char* old : {"tolbe.exe", "old.dat", "data"}) {
        fs::rename(dir + "/" + old, backup + "/" + old);
    }
    fs::rename(staging + "/data", dir + "/data");  // the new data is in, the new game not yet

    h.Publish(ServerRecord("1.0"));
    h.server.SetArchive(200, ClientArchive());
    h.Open();
    ASSERT_TRUE(h.TickUntil([&] { return h.view.endDialogCalls > 0; }));
    EXPECT_EQ(h.server.archiveRequests.load(), 0);
    EXPECT_EQ(WaitForGameNote(dir), dir);
    EXPECT_EQ(ReadHostFile(dir + "/data/maps/north.txt"), kMapData);
    EXPECT_FALSE(HostPathExists(dir + "/old.dat"));
    EXPECT_FALSE(HostPathExists(staging));
    EXPECT_FALSE(HostPathExists(backup));
}

}  // namespace
}  // namespace tolbe_test

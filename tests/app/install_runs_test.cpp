// Whole runs of the install flow, from the first tick to the game's start: a first installation,
// a current one and an outdated one, and archives that cannot be extracted.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "config/config_store.h"
#include "net/partial_download.h"
#include "tests/app/fixtures.h"
#include "tests/app/flow_harness.h"

namespace tolbe_test {
namespace {

void InstallCurrentClient(FlowHarness& h, const std::string& drive, const std::string& version) {
    const std::string dir = h.Host(drive + R"(\Tolbe)");
    WriteHostFile(dir + "/tolbe.exe", GameProgram());
    MakeRunnable(dir + "/tolbe.exe");
    WriteHostFile(dir + "/old.dat", "from the old client");
    zorv_VersionCheck installed;
    installed.set_version(version);
    installed.set_spare_text_3("kept by the installation");
    WriteHostFile(dir + "/config.zorv", ConfigFileBytes(installed));
}

// The launcher's icon lies beside its copy as a regular file holding the PNG of icon 128, and the
// shortcut shows the icon of its host's kind (the picture on POSIX, the copy's own on Windows).
void ExpectIconBesideTheCopy(FlowHarness& h, const std::string& dir) {
    const std::string icon = HostJoin(dir, "vasktolbe.png");
    EXPECT_FALSE(IsHostLink(HostPathOf(icon)));
    EXPECT_TRUE(std::filesystem::is_regular_file(icon));
    EXPECT_EQ(ReadHostFile(icon), ReadHostFile(TOLBE_LAUNCHER_ICON));
    const std::optional<SavedShortcut> shortcut = ReadShortcut(h.temp);
    ASSERT_TRUE(shortcut);
    EXPECT_EQ(shortcut->icon, HostJoin(dir, kShortcutIconFile));
}

TEST(InstallRuns, FirstInstallationGoesToTheDriveWithMostFreeSpace) {
    FlowHarness h;                                      // D: 100 GiB free, E: 200 GiB free
    h.app.m_localRecord.set_spare_text_2("channel-7");  // as read beside the launcher
    h.app.m_localRecord.add_spare_list_10("carried");
    h.Publish(ServerRecord("1.0"));
    h.server.SetArchive(200, ClientArchive());
    h.Open();

    ASSERT_TRUE(h.TickUntil([&] { return h.view.endDialogCalls > 0; }));
    EXPECT_EQ(h.view.endResult, 0);
    EXPECT_EQ(h.flow->m_flowState, Launching);
    EXPECT_EQ(h.flow->m_installDrive, "E:");
    EXPECT_EQ(h.flow->m_archivePath, R"(E:\Client.zip)");
    EXPECT_TRUE(h.view.boxes.empty());
    EXPECT_TRUE(h.view.NetworkFailures().empty());

    const std::string dir = h.Host(R"(E:\Tolbe)");
    EXPECT_EQ(ReadHostFile(dir + "/data/maps/north.txt"), kMapData);
    EXPECT_FALSE(HostPathExists(h.Host(R"(E:\Client.zip)")));
    EXPECT_TRUE(std::filesystem::is_empty(h.Host(R"(D:\)")));

    zorv_VersionCheck expected = h.app.m_localRecord;
    EXPECT_EQ(expected.version(), "1.0");
    EXPECT_EQ(expected.spare_text_2(), "channel-7");
    EXPECT_EQ(ReadHostFile(dir + "/config.zorv"), ConfigFileBytes(expected));

    EXPECT_EQ(WaitForGameNote(dir), dir);  // started in the client directory

    const std::string copy = HostJoin(dir, "vasktolbe.exe");
    ASSERT_TRUE(std::filesystem::is_regular_file(copy));
    EXPECT_EQ(std::filesystem::file_size(copy), std::filesystem::file_size(RunningProgram()));
#ifndef _WIN32
    EXPECT_NE(std::filesystem::status(copy).permissions() & std::filesystem::perms::owner_exec,
              std::filesystem::perms::none);
#endif
    const std::optional<SavedShortcut> shortcut = ReadShortcut(h.temp);
    ASSERT_TRUE(shortcut);
    EXPECT_EQ(shortcut->program, copy);
    ExpectIconBesideTheCopy(h, dir);

    // The status line went from the request text through the first tip to the extraction.
    ASSERT_GE(h.view.statusChanges.size(), 1u);
    EXPECT_EQ(h.view.statusChanges.front(), kTextRequesting);
    EXPECT_EQ(h.view.resets, 1);
}

TEST(InstallRuns, ADriveHoldingADownloadCutShortIsTakenFirstAndNoPartLeftAnywhere) {
    const std::string archive = ClientArchive();
    const int64_t total = static_cast<int64_t>(archive.size());
    const int64_t good = total / 2;
    const std::string url = ServerRecord().download_url();
    struct Case {
        const char* name;
        char partialOn;  // the drive holding the earlier run's partial download
        std::string partialUrl;
        uint64_t freeOnD;
        std::string drive;  // chosen
        bool resumed;
    };
    constexpr uint64_t kGiB = FlowHarness::kGiB;
    const uint64_t rest = static_cast<uint64_t>(total - good);
    const std::vector<Case> cases = {
        // D: has less free space than E:, but the half already there took some of it.
        {"this client's download on D:", 'D', url, 100 * kGiB, "D:", true},
        {"another client's download on D:", 'D', url + "?old", 100 * kGiB, "E:", false},
        {"no room on D: for the rest", 'D', url, rest - 1, "E:", false},
        // C: is never chosen, whatever it holds.
        {"this client's download on C:", 'C', url, 100 * kGiB, "E:", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FlowHarness h({{'C', 500 * kGiB}, {'D', c.freeOnD}, {'E', 200 * kGiB}});
        const std::string drive(1, c.partialOn);
        WriteHostFile(h.Host(drive + R"(:\Client.zip.part)"),
                      archive.substr(0, static_cast<size_t>(good)));
        WriteHostFile(h.Host(drive + R"(:\Client.zip.resume)"),
                      FormatPartialRecord({c.partialUrl, "", total, good}));
        h.Publish(ServerRecord("1.0"));
        h.server.SetArchive(200, archive);
        h.Open();

        ASSERT_TRUE(h.TickUntil([&] { return h.view.endDialogCalls > 0; }));
        EXPECT_EQ(h.flow->m_flowState, Launching);
        EXPECT_EQ(h.flow->m_installDrive, c.drive);
        EXPECT_TRUE(h.view.boxes.empty());
        EXPECT_EQ(ReadHostFile(h.Host(c.drive + R"(\Tolbe\data\maps\north.txt)")), kMapData);
        const std::vector<std::string> ranges = h.server.ArchiveRanges();
        ASSERT_EQ(ranges.size(), 1u);
        EXPECT_EQ(ranges[0], c.resumed ? "bytes=" + std::to_string(good) + "-" : "");
        // Once the game is launched, no partial download is left on any drive.
        for (const char* letter : {"C:", "D:", "E:"}) {
            EXPECT_FALSE(HostPathExists(h.Host(std::string(letter) + R"(\Client.zip.part)")))
                << letter;
            EXPECT_FALSE(HostPathExists(h.Host(std::string(letter) + R"(\Client.zip.resume)")))
                << letter;
        }
        EXPECT_EQ(WaitForGameNote(h.Host(c.drive + R"(\Tolbe)")), h.Host(c.drive + R"(\Tolbe)"));
    }
}

TEST(InstallRuns, CurrentInstallationStartsTheGameWithoutADownload) {
    FlowHarness h;
    InstallCurrentClient(h, "D:", "1.0");
    WriteHostFile(h.Host(R"(D:\Client.zip)"), "left from another run");
    // A link planted where the icon goes: the icon replaces the link, never what it points to.
    const std::string elsewhere = h.temp.Join("elsewhere.txt");
    WriteHostFile(elsewhere, "not the launcher's");
    MakeHostFileLink(h.Host(R"(D:\Tolbe\vasktolbe.png)"), elsewhere);
    h.Publish(ServerRecord("1.0"));
    h.Open();

    ASSERT_TRUE(h.TickUntil([&] { return h.view.endDialogCalls > 0; }));
    EXPECT_EQ(h.server.archiveRequests.load(), 0);
    EXPECT_EQ(h.flow->m_installDrive, "D:");
    EXPECT_TRUE(h.flow->m_foundInstall);
    EXPECT_EQ(h.flow->m_archivePath, "");
    // No download in this run, so nothing is deleted.
    EXPECT_EQ(ReadHostFile(h.Host(R"(D:\Client.zip)")), "left from another run");
    const std::string dir = h.Host(R"(D:\Tolbe)");
    EXPECT_EQ(ReadHostFile(dir + "/old.dat"), "from the old client");
    EXPECT_EQ(WaitForGameNote(dir), dir);
    // The installation's own record is saved again, with the server's version.
    zorv_VersionCheck saved;
    ASSERT_TRUE(RecordFromText(saved, ReadHostFile(dir + "/config.zorv")));
    EXPECT_EQ(saved.version(), "1.0");
    EXPECT_EQ(saved.spare_text_3(), "kept by the installation");
    ExpectIconBesideTheCopy(h, dir);
    EXPECT_EQ(ReadHostFile(elsewhere), "not the launcher's");
}

TEST(InstallRuns, DriveWhoseRootIsMadeOnFirstUseGetsItWithTheDownload) {
    FlowHarness h({{'D', 300 * FlowHarness::kGiB, true}, {'E', 200 * FlowHarness::kGiB}});
    h.Publish(ServerRecord("1.0"));
    h.server.SetArchive(200, ClientArchive());
    h.Open();

    ASSERT_TRUE(h.TickUntil([&] { return h.view.endDialogCalls > 0; }));
    EXPECT_EQ(h.flow->m_installDrive, "D:");
    EXPECT_TRUE(h.view.boxes.empty());
    EXPECT_TRUE(h.view.NetworkFailures().empty());
    const std::string dir = h.Host(R"(D:\Tolbe)");
    EXPECT_EQ(ReadHostFile(dir + "/data/maps/north.txt"), kMapData);
    EXPECT_EQ(WaitForGameNote(dir), dir);
}

TEST(InstallRuns, SearchThatFindsTheClientElsewhereLeavesAFirstUseRootUnmade) {
    FlowHarness h({{'D', 300 * FlowHarness::kGiB, true}, {'E', 200 * FlowHarness::kGiB}});
    InstallCurrentClient(h, "E:", "1.0");
    h.Publish(ServerRecord("1.0"));
    h.Open();

    ASSERT_TRUE(h.TickUntil([&] { return h.view.endDialogCalls > 0; }));
    EXPECT_EQ(h.flow->m_installDrive, "E:");
    EXPECT_EQ(WaitForGameNote(h.Host(R"(E:\Tolbe)")), h.Host(R"(E:\Tolbe)"));
    EXPECT_FALSE(HostPathExists(h.Host(R"(D:\)")));
}

TEST(InstallRuns, OutdatedInstallationIsReplacedOnItsOwnDrive) {
    FlowHarness h;  // E: has more free space, but the installation is on D:
    InstallCurrentClient(h, "D:", "0.9");
    h.Publish(ServerRecord("1.0"));
    h.server.SetArchive(200, ClientArchive());
    h.Open();

    ASSERT_TRUE(h.TickUntil([&] { return h.view.endDialogCalls > 0; }));
    EXPECT_EQ(h.server.archiveRequests.load(), 1);
    const std::string dir = h.Host(R"(D:\Tolbe)");
    EXPECT_FALSE(HostPathExists(dir + "/old.dat"));
    EXPECT_EQ(ReadHostFile(dir + "/data/maps/north.txt"), kMapData);
    EXPECT_FALSE(HostPathExists(h.Host(R"(D:\Client.zip)")));
    EXPECT_TRUE(std::filesystem::is_empty(h.Host(R"(E:\)")));
    zorv_VersionCheck saved;
    ASSERT_TRUE(RecordFromText(saved, ReadHostFile(dir + "/config.zorv")));
    EXPECT_EQ(saved.version(), "1.0");
    EXPECT_EQ(WaitForGameNote(dir), dir);
}

// An installation an older launcher left with names as its archive stored them (GBK bytes, no
// text in UTF-8), and a client packed on Windows in Chinese: the old entries all go, the new
// names are UTF-8, and no side folder is left behind.
TEST(InstallRuns, AnUpdateReplacesOldNamesInAnyEncodingAndWritesGbkNamesAsUtf8) {
    FlowHarness h;
    InstallCurrentClient(h, "D:", "0.9");
    const std::string dir = h.Host(R"(D:\Tolbe)");
    WriteHostFile(dir + "/\xD3\xCE\xCF\xB7/\xB5\xD8\xCD\xBC.txt", "old map");  // 游戏/地图.txt
    WriteHostFile(dir + "/\xB6\xC1\xC8\xA1.txt", "old notes");                 // 读取.txt
    h.Publish(ServerRecord("1.0"));
    TempDir packed;
    WriteZip(packed.Join("c.zip"), {{"tolbe.exe", GameProgram(), 0100755},
                                    {"\xD3\xCE\xCF\xB7/\xB5\xD8\xCD\xBC.txt", kMapData}});
    h.server.SetArchive(200, ReadHostFile(packed.Join("c.zip")));
    h.Open();

    ASSERT_TRUE(h.TickUntil([&] { return h.view.endDialogCalls > 0; }));
    EXPECT_TRUE(h.view.boxes.empty());
    EXPECT_EQ(WaitForGameNote(dir), dir);
    // The names as UTF-8 text whatever the host's narrow encoding.
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(h.Host(R"(D:\)"))) {
        names.insert(entry.path().lexically_relative(h.Host(R"(D:\)")).generic_u8string());
    }
    EXPECT_EQ(names,
              (std::set<std::string>{"Tolbe", "Tolbe/config.zorv", "Tolbe/started.txt",
                                     "Tolbe/tolbe.exe", "Tolbe/vasktolbe.exe",
                                     "Tolbe/vasktolbe.png", "Tolbe/游戏", "Tolbe/游戏/地图.txt"}));
    std::ifstream map(std::filesystem::path(dir) / std::filesystem::u8path("游戏/地图.txt"),
                      std::ios::binary);
    std::ostringstream mapText;
    mapText << map.rdbuf();
    EXPECT_EQ(mapText.str(), kMapData);
}

TEST(InstallRuns, VersionsCompareByteForByte) {
    for (const char* installed : {"1.0 ", "1.0a", "1.00"}) {
        FlowHarness h;
        InstallCurrentClient(h, "D:", installed);
        h.Publish(ServerRecord("1.0"));
        h.server.SetArchive(200, ClientArchive());
        h.Open();
        ASSERT_TRUE(h.TickUntil([&] { return h.view.endDialogCalls > 0; })) << installed;
        EXPECT_EQ(h.server.archiveRequests.load(), 1) << installed;
    }
}

TEST(InstallRuns, ArchiveThatCannotBeExtractedEndsInOneMessage) {
    const struct {
        const char* name;
        int status;
        std::string body;
    } cases[] = {
        // The download fails, so there is no archive: each attempt cannot even start.
        {"archive not found", 404, "no such file"},
        {"damaged archive", 200, "PK\x03\x04 this is not really a zip archive"},
    };
    for (const auto& c : cases) {
        FlowHarness h;
        h.Publish(ServerRecord("1.0"));
        h.server.SetArchive(c.status, c.body);
        h.Open();
        ASSERT_TRUE(h.TickUntilState(Stopped)) << c.name;
        ASSERT_EQ(h.view.boxes.size(), 1u) << c.name;
        EXPECT_EQ(h.view.boxes[0].text, kTextExtractionFailed);
        EXPECT_EQ(h.view.boxes[0].caption, kCaptionExtractionFailed);
        EXPECT_EQ(h.view.boxes[0].flags, kMbOk | kMbIconHand);
        EXPECT_EQ(h.flow->extractFailures, 3) << c.name;
        EXPECT_EQ(h.view.resets, 3) << c.name;  // three attempts, each from a clean display
        for (int i = 0; i < 200; ++i) {
            h.flow->Tick();
        }
        EXPECT_EQ(h.view.boxes.size(), 1u) << c.name;
        EXPECT_EQ(h.view.endDialogCalls, 0) << c.name;
        EXPECT_TRUE(h.flow->IsFinished());
    }
}

}  // namespace
}  // namespace tolbe_test

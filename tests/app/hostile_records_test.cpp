// Records a hostile notice server (or anyone on the network path) may send: each either earns
// the retry question before anything touches the disk or the network, or leads to an
// installation that leaves every folder it did not make exactly as it was.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "config/config_store.h"
#include "tests/app/fixtures.h"
#include "tests/app/flow_harness.h"

namespace tolbe_test {
namespace {

namespace fs = std::filesystem;

TEST(HostileRecords, RefusedRecordsGetTheRetryQuestionAndTouchNothing) {
    const struct {
        const char* name;
        std::function<void(zorv_VersionCheck&)> change;
    } cases[] = {
        {"the game is the launcher copy", [](auto& r) { r.set_client_exe("vasktolbe.exe"); }},
        {"the launcher copy in other letters", [](auto& r) { r.set_client_exe("VaskTolbe.EXE"); }},
        {"the game is the launcher's icon", [](auto& r) { r.set_client_exe("vasktolbe.png"); }},
        {"the game is the configuration file", [](auto& r) { r.set_client_exe("config.zorv"); }},
        {"a version holding a NUL", [](auto& r) { r.set_version(std::string("1.0\0x", 5)); }},
#ifndef _WIN32
        // No UTF-8, the narrow text of POSIX. On Windows narrow text is the ANSI code page, in
        // which these bytes are characters (in code page 1252, Wine's, every byte is one).
        {"a folder name that is not UTF-8 (GBK)",
         [](auto& r) { r.set_client_dir("\xC4\xE3\xBA\xC3"); }},
        {"a game name that is not UTF-8", [](auto& r) { r.set_client_exe("\xFF.exe"); }},
#endif
        {"a device name", [](auto& r) { r.set_client_dir("CON"); }},
        {"a device name with an extension", [](auto& r) { r.set_client_exe("nul.exe"); }},
        {"a final dot", [](auto& r) { r.set_client_dir("Tolbe."); }},
        {"a final blank", [](auto& r) { r.set_client_dir("Tolbe "); }},
        {"a wildcard", [](auto& r) { r.set_client_dir("Tol*"); }},
        {"a control character", [](auto& r) { r.set_client_exe("a\tb.exe"); }},
        {"the parent folder", [](auto& r) { r.set_client_dir(".."); }},
        {"a path", [](auto& r) { r.set_client_dir("Games/Tolbe"); }},
    };
    for (const auto& c : cases) {
        FlowHarness h({{'C', 500 * FlowHarness::kGiB}, {'D', 100 * FlowHarness::kGiB}});
        PlantCanary(h.temp);
        WriteHostFile(h.Host(R"(C:\Users\me\doc.txt)"), "a document");
        const TreeSnapshot before = SnapshotTree(h.temp.path());
        zorv_VersionCheck record = ServerRecord();
        c.change(record);
        h.Publish(record);
        h.server.SetArchive(200, ClientArchive());
        EXPECT_TRUE(h.EndsAtTheRetryQuestion()) << c.name;
        EXPECT_EQ(h.server.archiveRequests.load(), 0) << c.name;
        EXPECT_EQ(SnapshotTree(h.temp.path()), before) << c.name;
    }
}

TEST(HostileRecords, ABodyOverOneMebibyteIsRefused) {
    FlowHarness h;
    // A valid record followed by padding: whatever its text, such a body is no vaskpc.txt.
    h.server.SetNotice(200, RecordToText(ServerRecord()) + std::string(3 << 20, 'A'));
    h.server.SetArchive(200, ClientArchive());
    EXPECT_TRUE(h.EndsAtTheRetryQuestion());
    EXPECT_EQ(h.server.archiveRequests.load(), 0);
}

TEST(HostileRecords, ATricklingNoticeServerEndsInTheRetryQuestion) {
    FlowHarness h;
    h.server.TrickleNotice();
    h.flow->serverInfoDeadlineMs = 800;  // the launcher's own deadline is 30 s
    EXPECT_TRUE(h.EndsAtTheRetryQuestion());
}

// Folders that carry the record's names without being the launcher's installation. None is
// removed, replaced or written into: the installation goes where the name is free.
TEST(HostileRecords, FoldersThatAreNoInstallationAreLeftAlone) {
    const struct {
        const char* name;
        const char* clientDir;
        const char* clientExe;
        std::function<void(FlowHarness&)> plant;
        const char* installDrive;  // where the new client goes
    } cases[] = {
        {"a system folder with a file of the game's name", "Users", "desktop.ini",
         [](FlowHarness& h) {
             WriteHostFile(h.Host(R"(C:\Users\desktop.ini)"), "[.ShellClassInfo]");
             WriteHostFile(h.Host(R"(C:\Users\me\doc.txt)"), "a document");
         },
         "D:"},
        {"a folder with the game but no config.zorv", "Tolbe", "tolbe.exe",
         [](FlowHarness& h) {
             WriteHostFile(h.Host(R"(D:\Tolbe\tolbe.exe)"), "someone else's program");
             WriteHostFile(h.Host(R"(D:\Tolbe\save.dat)"), "a saved game");
         },
         "E:"},
        {"a folder whose config.zorv is a folder", "Tolbe", "tolbe.exe",
         [](FlowHarness& h) {
             WriteHostFile(h.Host(R"(D:\Tolbe\tolbe.exe)"), "someone else's program");
             fs::create_directories(h.Host(R"(D:\Tolbe\config.zorv)"));
         },
         "E:"},
        {"a link to a folder that looks like an installation", "Tolbe", "tolbe.exe",
         [](FlowHarness& h) { MakeHostFolderLink(h.Host(R"(D:\Tolbe)"), h.temp.Join("canary")); },
         "E:"},
        {"a stale folder whose data is a link outside", "Tolbe", "tolbe.exe",
         [](FlowHarness& h) {
             fs::create_directories(h.Host(R"(D:\Tolbe)"));
             MakeHostFolderLink(h.Host(R"(D:\Tolbe\data)"), h.temp.Join("canary"));
         },
         "E:"},
    };
    for (const auto& c : cases) {
        // D: has the most free space, so the new client would go there if the name were free.
        FlowHarness h({{'C', 900 * FlowHarness::kGiB},
                       {'D', 300 * FlowHarness::kGiB},
                       {'E', 200 * FlowHarness::kGiB}});
        PlantCanary(h.temp);
        c.plant(h);
        const TreeSnapshot before = SnapshotTree(h.temp.path());
        zorv_VersionCheck record = ServerRecord();
        record.set_client_dir(c.clientDir);
        record.set_client_exe(c.clientExe);
        h.Publish(record);
        WriteZip(h.temp.Join("client.zip"), {{c.clientExe, GameProgram(), 0100755},
                                             {"data/maps/north.txt", kMapData, 0100644}});
        h.server.SetArchive(200, ReadHostFile(h.temp.Join("client.zip")));
        h.Open();

        ASSERT_TRUE(h.TickUntil([&] { return h.view.endDialogCalls > 0; })) << c.name;
        EXPECT_EQ(h.flow->m_installDrive, c.installDrive) << c.name;
        const std::string dir = h.Host(std::string(c.installDrive) + "\\" + c.clientDir);
        EXPECT_EQ(ReadHostFile(dir + "/data/maps/north.txt"), kMapData) << c.name;
        EXPECT_EQ(WaitForGameNote(dir), dir) << c.name;
        // Everything but the new installation and its shortcut is as it was.
        const std::string installed = std::string(1, c.installDrive[0]) + "/" + c.clientDir;
        EXPECT_EQ(Without(SnapshotTree(h.temp.path()), {installed, kShortcutEntry, "client.zip"}),
                  Without(before, {"client.zip"}))
            << c.name;
    }
}

}  // namespace
}  // namespace tolbe_test

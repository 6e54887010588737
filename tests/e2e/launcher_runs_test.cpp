// The built launcher doing its whole job on a sandboxed machine: a first installation from a
// downloaded copy, the next start through the desktop shortcut it left behind, the update of an
// outdated installation where it stands, and two launchers started at once. Each run is checked
// on the disk afterwards.

#include <gtest/gtest.h>

#include <filesystem>

#include "config/config_store.h"
#include "tests/e2e/desktop_entry.h"
#include "tests/e2e/launcher_sandbox.h"
#include "tests/net/loopback_proxy.h"

namespace tolbe_test {
namespace {

using Files = std::vector<std::string>;

// A client directory after a run: the client's files, its configuration, the game's log, the
// launcher's copy and its icon for the shortcut.
const Files kInstalledFiles = {
    "config.zorv", "data/",      "data/maps/", "data/maps/north.txt", "data/sounds/",
    "game.log",    "readme.txt", "tolbe.exe",  "vasktolbe.exe",       "vasktolbe.png",
};

// The shortcut shows the launcher's icon: a copy of its PNG beside the launcher copy.
void ExpectShortcutIcon(const DesktopEntry& shortcut, const std::string& dir) {
    EXPECT_EQ(shortcut.icon, dir + "/vasktolbe.png");
    EXPECT_EQ(ReadHostFile(dir + "/vasktolbe.png"), ReadHostFile(TOLBE_E2E_LAUNCHER_ICON));
}

constexpr char kSecondLauncherNote[] = "another launcher of this user is running";

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

bool IsExecutable(const std::string& hostPath) {
    namespace fs = std::filesystem;
    return (fs::status(hostPath).permissions() & fs::perms::owner_exec) != fs::perms::none;
}

TEST(E2eInstallRuns, FirstInstallationThenCurrentStartThroughTheShortcut) {
    LauncherSandbox box;
    box.PublishClient("1.0");
    zorv_VersionCheck shipped;  // the config.zorv an operator ships beside the launcher
    shipped.set_spare_text_2("channel-7");
    shipped.add_spare_list_10("carried");
    const std::string setup = box.PlaceLauncher(R"(D:\Downloads\TolbeSetup)", shipped);

    // Started from another folder: the launcher reads the config.zorv beside itself.
    auto first = box.StartLauncher(setup);
    ASSERT_EQ(first->WaitForExit(kRunTimeout), 0) << box.Output();

    // E: has the most free space of the fixed drives that are not on USB.
    const std::string dir = box.Host(R"(E:\Tolbe)");
    ASSERT_TRUE(box.WaitForGameStarts(dir, 1)) << box.Output();
    EXPECT_EQ(box.GameStarts(dir), Files{GameStartLine("1.0", dir)});
    EXPECT_EQ(LauncherSandbox::Tree(dir), kInstalledFiles);
    EXPECT_EQ(ReadHostFile(dir + "/data/maps/north.txt"), "north map, client 1.0\n");
    EXPECT_FALSE(HostPathExists(box.Host(R"(E:\Client.zip)")));
    EXPECT_EQ(LauncherSandbox::Tree(box.Host(R"(D:\)")),
              (Files{"Downloads/", "Downloads/TolbeSetup", "Downloads/config.zorv"}));
    EXPECT_EQ(LauncherSandbox::Tree(box.Host(R"(F:\)")), Files{});

    zorv_VersionCheck installed = shipped;  // carried into the installation, with its version
    installed.set_version("1.0");
    EXPECT_EQ(ReadHostFile(dir + "/config.zorv"), ConfigFileBytes(installed));
    EXPECT_EQ(ReadHostFile(dir + "/vasktolbe.exe"), LauncherBytes());
    EXPECT_TRUE(IsExecutable(dir + "/vasktolbe.exe"));
    const std::string shortcutFile = box.temp.Join("desktop/Tolbe.desktop");
    const DesktopEntry shortcut = ReadDesktopEntry(shortcutFile);
    EXPECT_EQ(shortcut.exec, dir + "/vasktolbe.exe");
    EXPECT_EQ(shortcut.path, dir);
    ExpectShortcutIcon(shortcut, dir);
    EXPECT_EQ(box.site.Requests(NoticePath()), 1);
    EXPECT_EQ(box.site.Requests(kArchivePath), 1);

    // The next start, as the desktop starts the shortcut: the installation is current, so the
    // game starts again without a download.
    auto second = box.StartLauncher(shortcut.exec, shortcut.path);
    ASSERT_EQ(second->WaitForExit(kRunTimeout), 0) << box.Output();
    ASSERT_TRUE(box.WaitForGameStarts(dir, 2)) << box.Output();
    EXPECT_EQ(box.GameStarts(dir), (Files{GameStartLine("1.0", dir), GameStartLine("1.0", dir)}));
    EXPECT_EQ(box.site.Requests(NoticePath()), 2);
    EXPECT_EQ(box.site.Requests(kArchivePath), 1);
    EXPECT_EQ(LauncherSandbox::Tree(dir), kInstalledFiles);
    EXPECT_EQ(ReadHostFile(dir + "/config.zorv"), ConfigFileBytes(installed));
    EXPECT_EQ(ReadHostFile(dir + "/vasktolbe.exe"), LauncherBytes());
    EXPECT_EQ(ReadDesktopEntry(shortcutFile).exec, dir + "/vasktolbe.exe");
}

TEST(E2eInstallRuns, OutdatedInstallationIsReplacedWhereItStands) {
    LauncherSandbox box;
    box.PublishClient("1.1");
    // Client 1.0 on D:, although E: has more room, started through its launcher copy; the
    // installation's configuration is also the copy's.
    zorv_VersionCheck old;
    old.set_version("1.0");
    old.set_spare_text_2("installed-channel");
    box.InstallClient(R"(D:\Tolbe)", "1.0", old);
    const std::string dir = box.Host(R"(D:\Tolbe)");
    WriteHostFile(dir + "/data/maps/retired.txt", "a map that client 1.1 no longer has\n");
    WriteHostFile(dir + "/game.log", "client 1.0 started earlier\n");
    const std::string copy = box.PlaceLauncher(R"(D:\Tolbe\vasktolbe.exe)", old);

    auto run = box.StartLauncher(copy, dir);
    ASSERT_EQ(run->WaitForExit(kRunTimeout), 0) << box.Output();

    // The old client directory went as a whole (its log with it); client 1.1 took its place.
    ASSERT_TRUE(box.WaitForGameStarts(dir, 1)) << box.Output();
    EXPECT_EQ(box.GameStarts(dir), Files{GameStartLine("1.1", dir)});
    EXPECT_EQ(LauncherSandbox::Tree(dir), kInstalledFiles);
    EXPECT_EQ(ReadHostFile(dir + "/data/maps/north.txt"), "north map, client 1.1\n");
    EXPECT_FALSE(HostPathExists(box.Host(R"(D:\Client.zip)")));
    EXPECT_EQ(LauncherSandbox::Tree(box.Host(R"(E:\)")), Files{});
    EXPECT_EQ(LauncherSandbox::Tree(box.Host(R"(F:\)")), Files{});

    zorv_VersionCheck updated = old;
    updated.set_version("1.1");
    EXPECT_EQ(ReadHostFile(dir + "/config.zorv"), ConfigFileBytes(updated));
    // The running copy was removed with the old directory; the launcher put itself back.
    EXPECT_EQ(ReadHostFile(dir + "/vasktolbe.exe"), LauncherBytes());
    EXPECT_TRUE(IsExecutable(dir + "/vasktolbe.exe"));
    const DesktopEntry shortcut = ReadDesktopEntry(box.temp.Join("desktop/Tolbe.desktop"));
    EXPECT_EQ(shortcut.exec, dir + "/vasktolbe.exe");
    ExpectShortcutIcon(shortcut, dir);
    EXPECT_EQ(box.site.Requests(NoticePath()), 1);
    EXPECT_EQ(box.site.Requests(kArchivePath), 1);
}

TEST(E2eInstallRuns, TwoLaunchersStartedTogetherInstallOnce) {
    LauncherSandbox box;
    box.PublishClient("1.0");
    const std::string setup = box.PlaceLauncher(R"(D:\Downloads\TolbeSetup)", zorv_VersionCheck());

    // As a double click that started the launcher twice: whichever comes second ends at once,
    // without asking the server or touching a drive.
    auto first = box.StartLauncher(setup);
    auto second = box.StartLauncher(setup);
    ASSERT_EQ(first->WaitForExit(kRunTimeout), 0) << box.Output();
    ASSERT_EQ(second->WaitForExit(kRunTimeout), 0) << box.Output();
    EXPECT_EQ(CountOf(box.Output(), kSecondLauncherNote), 1u) << box.Output();
    // ... and asks the running one to bring its window to the front.
    EXPECT_EQ(CountOf(box.Output(), "the running one was asked to show its window"), 1u)
        << box.Output();

    const std::string dir = box.Host(R"(E:\Tolbe)");
    ASSERT_TRUE(box.WaitForGameStarts(dir, 1)) << box.Output();
    EXPECT_EQ(box.site.Requests(NoticePath()), 1);
    EXPECT_EQ(box.site.Requests(kArchivePath), 1);
    EXPECT_EQ(box.GameStarts(dir), Files{GameStartLine("1.0", dir)});
    EXPECT_EQ(LauncherSandbox::Tree(dir), kInstalledFiles);
    EXPECT_EQ(ReadHostFile(dir + "/data/maps/north.txt"), "north map, client 1.0\n");
    EXPECT_FALSE(HostPathExists(box.Host(R"(E:\Client.zip)")));

    // The lock went with the launcher that held it, and the game it started holds none: the
    // next start runs as usual.
    auto next = box.StartLauncher(setup);
    ASSERT_EQ(next->WaitForExit(kRunTimeout), 0) << box.Output();
    ASSERT_TRUE(box.WaitForGameStarts(dir, 2)) << box.Output();
    EXPECT_EQ(CountOf(box.Output(), kSecondLauncherNote), 1u) << box.Output();
    EXPECT_EQ(box.site.Requests(NoticePath()), 2);
    EXPECT_EQ(box.site.Requests(kArchivePath), 1);
}

// A player behind a proxy: the servers' names resolve nowhere, the proxy the environment names
// reaches them, and the whole installation travels through it.
TEST(E2eInstallRuns, FirstInstallationThroughTheEnvironmentsProxy) {
    LauncherSandbox box;
    box.PublishClient("1.0");
    LoopbackProxy proxy(box.site.port());
    box.ReachServersThrough(proxy.Url());
    const std::string setup = box.PlaceLauncher(R"(D:\Downloads\TolbeSetup)", zorv_VersionCheck());

    auto run = box.StartLauncher(setup);
    ASSERT_EQ(run->WaitForExit(kRunTimeout), 0) << box.Output();

    const std::string dir = box.Host(R"(E:\Tolbe)");
    ASSERT_TRUE(box.WaitForGameStarts(dir, 1)) << box.Output();
    EXPECT_EQ(LauncherSandbox::Tree(dir), kInstalledFiles);
    EXPECT_EQ(ReadHostFile(dir + "/data/maps/north.txt"), "north map, client 1.0\n");
    EXPECT_EQ(proxy.Requests(),
              (Files{TOLBE_E2E_NOTICE_URL, box.ServerRecord("1.0").download_url()}));
    EXPECT_EQ(box.site.Requests(NoticePath()), 1);
    EXPECT_EQ(box.site.Requests(kArchivePath), 1);
}

}  // namespace
}  // namespace tolbe_test

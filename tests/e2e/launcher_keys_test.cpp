// The launcher's window and message boxes, seen on its display and answered with key presses as
// a player answers them: the extraction failure that follows an archive the server does not
// have or a download cut short by a file-size limit, the window left open when the game cannot
// start, and the retry question that follows a notice the launcher cannot read.

#include <gtest/gtest.h>

#include <filesystem>

#include "config/config_store.h"
#include "tests/e2e/launcher_sandbox.h"
#include "tests/support/wait_until.h"

namespace tolbe_test {
namespace {

using Files = std::vector<std::string>;

// Window titles (extended regular expressions): the boxes' captions, which the window system
// may follow with the program's name.
constexpr char kExtractionFailedTitle[] = "^解压失败";
constexpr char kGameStartFailedTitle[] = "^启动失败";
constexpr char kRetryQuestionTitle[] = "^检查失败";

// What a notice server in trouble may answer: an error page, which is no record's text.
constexpr char kGarbage[] = "<html><body>502 Bad Gateway</body></html>\n";

// Waits until a window titled by `pattern`, other than `notThis`, is shown. Its id, or empty
// when the launcher ended first or the deadline passed.
std::string WaitForBox(LauncherSandbox& box, ChildProcess& launcher, const std::string& pattern,
                       const std::string& notThis = "") {
    std::string found;
    WaitUntil(
        [&] {
            for (const std::string& window : box.x.ShownWindows(pattern)) {
                if (window != notThis) {
                    found = window;
                    return true;
                }
            }
            return !launcher.Running();
        },
        kShowTimeout);
    return found;
}

// Waits until the launcher's main window is shown: its id, or empty.
std::string WaitForMainWindow(LauncherSandbox& box, ChildProcess& launcher) {
    std::string found;
    WaitUntil(
        [&] {
            const Files shown = box.x.ShownWindowsOf(launcher.pid());
            if (!shown.empty()) {
                found = shown.front();
            }
            return !found.empty() || !launcher.Running();
        },
        kShowTimeout);
    return found;
}

// Nothing of a client anywhere: no client directory, no archive, no shortcut; the downloaded
// launcher and its config.zorv alone on D:.
void ExpectNothingInstalled(const LauncherSandbox& box) {
    EXPECT_EQ(LauncherSandbox::Tree(box.Host(R"(D:\)")),
              (Files{"Downloads/", "Downloads/TolbeSetup", "Downloads/config.zorv"}));
    EXPECT_EQ(LauncherSandbox::Tree(box.Host(R"(E:\)")), Files{});
    EXPECT_EQ(LauncherSandbox::Tree(box.Host(R"(F:\)")), Files{});
    EXPECT_EQ(LauncherSandbox::Tree(box.temp.Join("desktop")), Files{});
}

TEST(E2eArchiveMissing, FailureIsShownAndTheStoppedWindowClosesWithEscape) {
    LauncherSandbox box;
    box.PublishRecord("1.0");  // the site answers 404 for the archive
    const std::string setup = box.PlaceLauncher(R"(D:\Downloads\TolbeSetup)", {});
    auto launcher = box.StartLauncher(setup);

    const std::string window = WaitForMainWindow(box, *launcher);
    ASSERT_FALSE(window.empty()) << "no window shown\n" << box.Output();
    // While the flow runs, neither close key ends the window: the failure is still to come.
    ASSERT_TRUE(box.x.PressKeys(window, {"Escape", "alt+F4"}));

    const std::string failure = WaitForBox(box, *launcher, kExtractionFailedTitle);
    ASSERT_FALSE(failure.empty()) << "no extraction failure shown\n" << box.Output();
    EXPECT_EQ(box.site.Requests(NoticePath()), 1);
    EXPECT_EQ(box.site.Requests(kArchivePath), 1);

    ASSERT_TRUE(box.x.PressKeys(failure, {"Return"}));
    ASSERT_TRUE(WaitUntil([&] { return box.x.ShownWindows(kExtractionFailedTitle).empty(); },
                          kShowTimeout));
    // The box is gone, the flow has stopped, and the window waits for the player to close it.
    EXPECT_EQ(box.x.ShownWindowsOf(launcher->pid()), Files{window});
    ASSERT_TRUE(box.x.PressKeys(window, {"Escape"})) << box.Output();
    EXPECT_EQ(launcher->WaitForExit(kRunTimeout), 0) << box.Output();
    ExpectNothingInstalled(box);
}

TEST(E2eFileSizeLimit, DownloadCutShortIsShownAsAFailureNotAQuietExit) {
    LauncherSandbox box;
    box.PublishClient("1.0");
    const std::string setup = box.PlaceLauncher(R"(D:\Downloads\TolbeSetup)", {});
    // Files may not grow past 512 bytes, less than the client archive: the download's writes
    // fail part way, as on a full disk.
    constexpr size_t kLimit = 512;
    ASSERT_GT(ReadHostFile(box.temp.Join("Client-1.0.zip")).size(), kLimit);
    auto launcher =
        box.StartLauncher(setup, "", {"prlimit", "--fsize=" + std::to_string(kLimit), "--"});

    const std::string failure = WaitForBox(box, *launcher, kExtractionFailedTitle);
    ASSERT_FALSE(failure.empty()) << "no extraction failure shown\n" << box.Output();
    ASSERT_TRUE(box.x.PressKeys(failure, {"Return"}));
    const std::string window = WaitForMainWindow(box, *launcher);
    ASSERT_FALSE(window.empty()) << box.Output();
    ASSERT_TRUE(box.x.PressKeys(window, {"Escape"})) << box.Output();
    EXPECT_EQ(launcher->WaitForExit(kRunTimeout), 0) << box.Output();
    // Nothing: no archive (the cut-short part is removed), no client files, no game started, no
    // shortcut.
    EXPECT_FALSE(HostPathExists(box.Host(R"(E:\Client.zip)")));
    EXPECT_FALSE(HostPathExists(box.Host(R"(E:\Client.zip.part)")));
    EXPECT_EQ(LauncherSandbox::Tree(box.Host(R"(E:\Tolbe)")), Files{});
    EXPECT_EQ(LauncherSandbox::Tree(box.temp.Join("desktop")), Files{});
}

TEST(E2eGameCannotStart, ThePlayerIsToldAndTheWindowStaysUntilAltF4) {
    LauncherSandbox box;
    box.PublishRecord("1.0");
    // A current installation whose game lost its execute permission.
    zorv_VersionCheck installed;
    installed.set_version("1.0");
    box.InstallClient(R"(E:\Tolbe)", "1.0", installed);
    const std::string dir = box.Host(R"(E:\Tolbe)");
    namespace fs = std::filesystem;
    fs::permissions(dir + "/tolbe.exe", fs::perms::owner_read | fs::perms::owner_write,
                    fs::perm_options::replace);
    // The launch saves the configuration before it tries the game: a new modification time
    // tells that the flow has reached its final state.
    const std::string config = dir + "/config.zorv";
    const auto earlier = fs::file_time_type::clock::now() - std::chrono::hours(24);
    fs::last_write_time(config, earlier);
    const std::string setup = box.PlaceLauncher(R"(D:\Downloads\TolbeSetup)", {});
    auto launcher = box.StartLauncher(setup);

    const auto saved = [&] {
        std::error_code error;
        const auto written = fs::last_write_time(config, error);
        return !error && written != earlier;
    };
    ASSERT_TRUE(WaitUntil(saved, kShowTimeout)) << box.Output();
    const std::string failure = WaitForBox(box, *launcher, kGameStartFailedTitle);
    ASSERT_FALSE(failure.empty()) << "the failed start was not told\n" << box.Output();
    ASSERT_TRUE(box.x.PressKeys(failure, {"Return"}));
    ASSERT_TRUE(
        WaitUntil([&] { return box.x.ShownWindows(kGameStartFailedTitle).empty(); }, kShowTimeout));
    const std::string window = WaitForMainWindow(box, *launcher);
    ASSERT_FALSE(window.empty()) << "the window did not stay\n" << box.Output();
    ASSERT_TRUE(box.x.PressKeys(window, {"alt+F4"})) << box.Output();
    EXPECT_EQ(launcher->WaitForExit(kRunTimeout), 0) << box.Output();

    // No game, so no launcher copy, icon or shortcut; the configuration holds the version.
    EXPECT_EQ(box.GameStarts(dir), Files{});
    EXPECT_FALSE(HostPathExists(dir + "/vasktolbe.exe"));
    EXPECT_FALSE(HostPathExists(dir + "/vasktolbe.png"));
    EXPECT_EQ(LauncherSandbox::Tree(box.temp.Join("desktop")), Files{});
    EXPECT_EQ(ReadHostFile(config), ConfigFileBytes(installed));
    EXPECT_EQ(box.site.Requests(kArchivePath), 0);
}

TEST(E2eRetryQuestion, OkAsksAgainUntilTheNoticeIsReadableThenTheRunCompletes) {
    LauncherSandbox box;
    box.site.Serve(NoticePath(), 200, kGarbage);
    zorv_VersionCheck installed;  // client 1.0 already installed on E:
    installed.set_version("1.0");
    box.InstallClient(R"(E:\Tolbe)", "1.0", installed);
    const std::string setup = box.PlaceLauncher(R"(D:\Downloads\TolbeSetup)", {});
    auto launcher = box.StartLauncher(setup);

    const std::string first = WaitForBox(box, *launcher, kRetryQuestionTitle);
    ASSERT_FALSE(first.empty()) << "no retry question shown\n" << box.Output();
    EXPECT_EQ(box.site.Requests(NoticePath()), 1);

    // OK while the notice is still unreadable: one more request, and the question once more
    // (the first box has gone by then).
    ASSERT_TRUE(box.x.PressKeys(first, {"Return"}));
    const std::string second = WaitForBox(box, *launcher, kRetryQuestionTitle, first);
    ASSERT_FALSE(second.empty()) << "no second retry question\n" << box.Output();
    EXPECT_EQ(box.x.ShownWindows(kRetryQuestionTitle), Files{second});
    EXPECT_EQ(box.site.Requests(NoticePath()), 2);

    // The operator mends the notice meanwhile; OK again, and the run goes on to the game.
    box.PublishRecord("1.0");
    ASSERT_TRUE(box.x.PressKeys(second, {"Return"}));
    ASSERT_EQ(launcher->WaitForExit(kRunTimeout), 0) << box.Output();
    const std::string dir = box.Host(R"(E:\Tolbe)");
    ASSERT_TRUE(box.WaitForGameStarts(dir, 1)) << box.Output();
    EXPECT_EQ(box.GameStarts(dir), Files{GameStartLine("1.0", dir)});
    EXPECT_EQ(box.site.Requests(NoticePath()), 3);
    EXPECT_EQ(box.site.Requests(kArchivePath), 0);
    EXPECT_EQ(ReadHostFile(dir + "/vasktolbe.exe"), LauncherBytes());
    EXPECT_TRUE(HostPathExists(box.temp.Join("desktop/Tolbe.desktop")));
}

TEST(E2eRetryQuestion, CancelEndsTheLauncherWithNothingInstalled) {
    LauncherSandbox box;
    box.PublishClient("1.0");  // the archive is there, should the launcher wrongly go on
    box.site.Serve(NoticePath(), 200, kGarbage);
    const std::string setup = box.PlaceLauncher(R"(D:\Downloads\TolbeSetup)", {});
    auto launcher = box.StartLauncher(setup);

    const std::string question = WaitForBox(box, *launcher, kRetryQuestionTitle);
    ASSERT_FALSE(question.empty()) << "no retry question shown\n" << box.Output();
    ASSERT_TRUE(box.x.PressKeys(question, {"Escape"}));  // the box's Cancel key

    EXPECT_EQ(launcher->WaitForExit(kRunTimeout), 0) << box.Output();
    EXPECT_EQ(box.site.Requests(NoticePath()), 1);
    EXPECT_EQ(box.site.Requests(kArchivePath), 0);
    ExpectNothingInstalled(box);
}

}  // namespace
}  // namespace tolbe_test

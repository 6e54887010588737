// The application object's start-up and shut-down.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/install_flow.h"
#include "app/zorv_downloader_app.h"
#include "config/config_store.h"
#include "config/diagnostics.h"
#include "net/web_net.h"
#include "platform/host_facts.h"
#include "tests/app/host_client.h"
#include "tests/app/recording_view.h"
#include "tests/support/debug_capture.h"
#include "tests/support/temp_dir.h"

namespace tolbe_test {
namespace {

TEST(Application, RunsTheWindowBetweenGraphicsStartAndStopAndJoinsEveryWorker) {
    platform::SetHostFacts({});
    WebNet webNet;
    std::vector<std::string> calls;
    size_t workersWhileOpen = 0;
    UiHooks hooks;
    hooks.startGraphics = [&] { calls.push_back("start graphics"); };
    hooks.stopGraphics = [&] { calls.push_back("stop graphics"); };
    hooks.runMainWindow = [&](FlowDriver& flow) {
        calls.push_back("window");
        RecordingView view;
        flow.Start(view);
        EXPECT_FALSE(flow.IsFinished());
        webNet.StartWorker();  // as the watchdog does during a long wait
        webNet.StartWorker();
        workersWhileOpen = webNet.WorkerCount();
    };
    CZorvDownloaderApp app(hooks, webNet);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(workersWhileOpen, 3u);
    EXPECT_EQ(webNet.WorkerCount(), 0u);
    EXPECT_EQ(mainDialog, nullptr);
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"start graphics", "window", "stop graphics"}));
}

TEST(Application, StartUpWritesTheThreeDiagnosticLines) {
    platform::SetHostFacts({});
    const std::string besideLauncher =
        (std::filesystem::path(RunningProgram()).parent_path() / "config.zorv").string();
    std::filesystem::remove(besideLauncher);
    const struct {
        bool withFile;
        std::vector<std::string> lines;
    } cases[] = {
        {false, {std::string(kDiagConfigReadFailed) + "\r\n", "\r\n", "\r\n", "\r\n"}},
        {true, {"1.2\r\n", "channel-7\r\n", "tolbe.exe\r\n"}},
    };
    for (const auto& c : cases) {
        if (c.withFile) {
            zorv_VersionCheck record;
            record.set_version("1.2");
            record.set_spare_text_2("channel-7");
            record.set_client_exe("tolbe.exe");
            WriteHostFile(besideLauncher, ConfigFileBytes(record));
        }
        DebugCapture capture;
        WebNet webNet;
        CZorvDownloaderApp app(UiHooks{}, webNet);
        app.InitInstance();
        EXPECT_EQ(capture.pieces(), c.lines);
    }
    std::filesystem::remove(besideLauncher);
}

}  // namespace
}  // namespace tolbe_test

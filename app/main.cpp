// tolbe-launcher: the program a player runs. It takes no command-line options of its own.

#include <google/protobuf/stubs/common.h>

#include <cstdio>

#include "app/zorv_downloader_app.h"
#include "net/web_net.h"
#include "platform/host_facts.h"
#include "platform/launcher_lock.h"
#include "platform/processes.h"
#include "ui/main_window_hooks.h"

int main(int argc, char** argv) {
    GOOGLE_PROTOBUF_VERIFY_VERSION;
    platform::ReportFileSizeLimitAsWriteError();
    platform::KeepSystemErrorBoxesAway();
    // One launcher at a time: a second one ends before it reads or writes anything else (two
    // would download the same archive and start the game twice). A lock that cannot be had at
    // all does not keep the player from the game.
    platform::ListenForShowRequests();
    const platform::LauncherLock lock(
        platform::ChooseLauncherLockPlace(platform::LauncherLockSettingOfProcess()));
    if (lock.state() == platform::LauncherLock::State::HeldByAnother) {
        const bool shown = lock.AskHolderToShowItself();
        std::fprintf(stderr,
                     "tolbe-launcher: another launcher of this user is running; this one "
                     "ends without doing anything%s\n",
                     shown ? " (the running one was asked to show its window)" : "");
        return 0;
    }
    if (lock.state() == platform::LauncherLock::State::Unavailable) {
        std::fprintf(stderr, "tolbe-launcher: running without the one-launcher lock: %s\n",
                     lock.problem().c_str());
    }
    // A malformed sandbox profile stops the launcher before it touches anything.
    const std::string profileError = platform::InitHostFacts();
    if (!profileError.empty()) {
        std::fprintf(stderr, "tolbe-launcher: %s\n", profileError.c_str());
        return 2;
    }
    WebNet webNet;
    CZorvDownloaderApp app(MakeMainWindowHooks(argc, argv), webNet);
    app.InitInstance();
    return app.ExitInstance();
}

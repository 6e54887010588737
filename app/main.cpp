// tolbe-launcher: the program a player runs. It takes no command-line options of its own.

#include <google/protobuf/stubs/common.h>

#include <cstdio>

#include "app/zorv_downloader_app.h"
#include "net/web_net.h"
#include "platform/host_facts.h"
#include "platform/processes.h"
#include "ui/qt_ui_hooks.h"

int main(int argc, char** argv) {
    GOOGLE_PROTOBUF_VERIFY_VERSION;
    platform::ReportFileSizeLimitAsWriteError();
    // A malformed sandbox profile stops the launcher before it touches anything.
    const std::string profileError = platform::InitHostFacts();
    if (!profileError.empty()) {
        std::fprintf(stderr, "tolbe-launcher: %s\n", profileError.c_str());
        return 2;
    }
    WebNet webNet;
    CZorvDownloaderApp app(MakeQtUiHooks(argc, argv), webNet);
    app.InitInstance();
    return app.ExitInstance();
}

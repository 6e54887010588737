// The Qt side of the application object's hooks: the QApplication is made by startGraphics
// and destroyed by stopGraphics; the window ends only through the flow (EndDialog), never
// because its last window closed.

#include <QApplication>
#include <memory>

#include "ui/main_window_hooks.h"
#include "ui/qt/zorv_downloader_dlg.h"

UiHooks MakeMainWindowHooks(int& argc, char** argv) {
    // Shared by the start and stop hooks, which may be copied around.
    auto application = std::make_shared<std::unique_ptr<QApplication>>();
    int* argcHeld = &argc;

    UiHooks hooks;
    hooks.startGraphics = [application, argcHeld, argv] {
        *application = std::make_unique<QApplication>(*argcHeld, argv);
        QApplication::setQuitOnLastWindowClosed(false);
    };
    hooks.stopGraphics = [application] { application->reset(); };
    hooks.runMainWindow = [](FlowDriver& flow) {
        CZorvDownloaderDlg window(flow);
        window.DoModal();
    };
    return hooks;
}

#include "ui/qt_ui_hooks.h"

#include <QApplication>
#include <memory>

#include "ui/zorv_downloader_dlg.h"

UiHooks MakeQtUiHooks(int& argc, char** argv) {
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

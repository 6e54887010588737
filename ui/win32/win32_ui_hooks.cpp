// The Win32 side of the application object's hooks: the common controls are registered before
// the window is made, and the window runs modally around the flow. Nothing needs stopping.

// First: windows.h without its MessageBox macro, which would rename FlowView's operation.
#include "ui/win32/zorv_downloader_dlg.h"

#include <commctrl.h>

#include "ui/main_window_hooks.h"

UiHooks MakeMainWindowHooks(int&, char**) {
    UiHooks hooks;
    hooks.startGraphics = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&controls);
    };
    hooks.stopGraphics = [] {};
    hooks.runMainWindow = [](FlowDriver& flow) {
        CZorvDownloaderDlg window(flow);
        window.DoModal();
    };
    return hooks;
}

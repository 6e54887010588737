#pragma once
// The host's main window as the application object reaches it: the Qt window on Linux, the
// Win32 window on Windows (each in its folder, qt/ or win32/).

#include "app/ui_hooks.h"

// Hooks for the application object: startGraphics starts the window system's library,
// runMainWindow shows CZorvDownloaderDlg modally around the flow until the flow ends it, and
// stopGraphics stops the library again. `argc` and `argv` (main's own) must outlive the hooks.
UiHooks MakeMainWindowHooks(int& argc, char** argv);

#pragma once
// The Qt side of the application object's hooks.

#include "app/ui_hooks.h"

// Hooks for the application object: startGraphics creates the QApplication (from argc/argv),
// runMainWindow shows CZorvDownloaderDlg modally around the flow, stopGraphics destroys the
// QApplication. `argc` and `argv` must outlive the hooks (main's own arguments do). The window
// ends only through the flow (EndDialog), never because its last window closed.
UiHooks MakeQtUiHooks(int& argc, char** argv);

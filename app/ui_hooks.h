#pragma once
// How the application object reaches the window system without depending on it: the launcher's
// main() supplies these, the tests supply their own.

#include <functional>

#include "app/flow_driver.h"

struct UiHooks {
    // Starts the graphics library before the main window exists.
    std::function<void()> startGraphics;
    // Stops it again after the application has finished.
    std::function<void()> stopGraphics;
    // Creates the main window around the flow, runs it modally until EndDialog, destroys it.
    std::function<void(FlowDriver& flow)> runMainWindow;
};

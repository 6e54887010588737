#pragma once
// The launcher's icon (icon 128, ui/resources/icon_128.png) as the bytes of its PNG picture,
// built into the executable, so that the launch can put it beside the launcher copy for the
// desktop shortcut without the window's toolkit.

#include <string_view>

// The whole PNG file, 256 x 256 with transparency; valid for the life of the process.
std::string_view LauncherIconPng();

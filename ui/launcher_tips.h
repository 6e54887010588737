#pragma once
// The gameplay tips that the status line shows in turn while the client archive downloads.

#include <string>
#include <vector>

// The 24 tips in the order in which they are shown, the first being the note that the game does
// not run on Windows XP. Each is one sentence of 7 to 26 characters.
const std::vector<std::wstring>& LauncherTips();

#pragma once
// The desktop shortcut that starts the launcher copy in the client directory.

#include <string>

// Puts a shell link named `linkName` (e.g. "Tolbe.lnk") on the current user's desktop that
// starts `target` (a Windows-form path, not checked for existence), with the target's directory
// (without a trailing backslash; none when the target holds no backslash) as working directory
// and the target as icon; `iconPicture` (Windows form; empty: none) is the same icon as a picture
// file, which a desktop entry names instead. A link of the same name is replaced, so an old
// shortcut to another target does not survive. Then asks the shell to refresh its icons. Every
// failure is silent.
// In a sandbox whose profile has no desktop line nothing is written or started at all (the
// user's desktop lies outside the sandbox); one diagnostic line says so.
void CreateDesktopShortcut(const std::wstring& target, const std::wstring& linkName,
                           const std::wstring& iconPicture = std::wstring());

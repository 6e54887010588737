#pragma once
// The current user's desktop folder (SHGetSpecialFolderPathW with CSIDL_DESKTOP).

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The desktop folder in Windows form: the sandbox profile's desktop line, else the user's own
// (UsersDesktopFolder). Empty when none can be told. The folder is neither checked nor created.
std::wstring DesktopFolderPath();

// The user's own desktop folder as an absolute host path, whatever the profile says: on Windows
// SHGetFolderPathW with CSIDL_DESKTOPDIRECTORY; on POSIX the XDG desktop folder of
// ~/.config/user-dirs.dirs (or $XDG_CONFIG_HOME/user-dirs.dirs), else $HOME/Desktop. Empty when
// none can be told (no HOME).
std::string UsersDesktopFolder();

// True when the launcher runs in a sandbox whose profile has no desktop line. DesktopFolderPath
// then names the user's own desktop, which lies outside the sandbox: a sandbox promises that
// nothing outside it is touched, so no shortcut may go there.
bool SandboxHasNoDesktop();

// POSIX: the desktop folder that the text of a user-dirs.dirs file names, with "$HOME" standing
// for `home`: from a line XDG_DESKTOP_DIR="$HOME/Desktop" or XDG_DESKTOP_DIR="/absolute/folder".
// nullopt when the text names none (or names it in another form).
std::optional<std::string> XdgDesktopFolder(std::string_view userDirsText, const std::string& home);

}  // namespace platform

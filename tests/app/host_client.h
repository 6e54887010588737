#pragma once
// What the flow tests find different on each host: the game program of the sample client, how a
// file is made runnable, the desktop shortcut the launcher saves and the test program's own file
// (which the launcher copies beside the game).

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <optional>
#include <string>

#include "platform/paths.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"
#ifdef _WIN32
#include "tests/support/shell_links_win.h"
#else
#include "tests/e2e/desktop_entry.h"
#endif

namespace tolbe_test {

// The game writes its working directory and a line break into started.txt there. On POSIX it is
// a shell script; on Windows the program TOLBE_FAKE_GAME, built for the purpose.
inline const std::string& GameProgram() {
#ifdef _WIN32
    static const std::string game = ReadHostFile(TOLBE_FAKE_GAME);
#else
    static const std::string game = "#!/bin/sh\npwd > started.txt\n";
#endif
    return game;
}

// The desktop shortcut as the launcher saves it in the sandbox's desktop folder ("desktop"), by
// its path relative to the sandbox: a desktop entry on POSIX, a shell link on Windows.
#ifdef _WIN32
inline constexpr char kShortcutEntry[] = "desktop/Tolbe.lnk";
// A Windows shortcut shows the icon of the program it starts; a POSIX desktop entry names the
// picture beside it.
inline constexpr char kShortcutIconFile[] = "vasktolbe.exe";
#else
inline constexpr char kShortcutEntry[] = "desktop/Tolbe.desktop";
inline constexpr char kShortcutIconFile[] = "vasktolbe.png";
#endif

// `relative` ("a/b") below the host folder, written with the host's separator, as the launcher
// writes the paths it saves in a shortcut or passes to the game.
inline std::string HostJoin(const std::string& folder, const std::string& relative) {
    return (std::filesystem::path(folder) / std::filesystem::path(relative).make_preferred())
        .string();
}

// Permission to run the file (on Windows every file may be started).
inline void MakeRunnable(const std::string& hostPath) {
#ifndef _WIN32
    ::chmod(hostPath.c_str(), 0755);
#else
    (void)hostPath;
#endif
}

// What a saved shortcut starts and the icon it shows, as host paths.
struct SavedShortcut {
    std::string program;
    std::string icon;
};

// The shortcut at kShortcutEntry below the sandbox; nullopt when there is none or it cannot be
// read.
inline std::optional<SavedShortcut> ReadShortcut(const TempDir& sandbox) {
    const std::string file = sandbox.Join(kShortcutEntry);
    if (!HostPathExists(file)) {
        return std::nullopt;
    }
#ifdef _WIN32
    const std::optional<LinkOnDisk> link = ReadShellLinkFile(file);
    if (!link) {
        return std::nullopt;
    }
    return SavedShortcut{platform::WideToNarrow(link->path),
                         platform::WideToNarrow(link->iconPath)};
#else
    const DesktopEntry entry = ReadDesktopEntry(file);
    return SavedShortcut{entry.exec, entry.icon};
#endif
}

// The host path of the running test program, which the launcher copies as vasktolbe.exe.
inline std::string RunningProgram() {
    return platform::ToHostPath(platform::GetModuleFileName()).value_or("<no host path>");
}

}  // namespace tolbe_test

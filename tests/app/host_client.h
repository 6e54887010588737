#pragma once
// What the flow tests find different on each host: the game program of the sample client, how a
// file is made runnable, the desktop shortcut the launcher saves and the test program's own file
// (which the launcher copies beside the game).

#ifdef _WIN32
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <filesystem>
#include <optional>
#include <string>

#include "platform/paths.h"
#include "platform/text.h"
#include "tests/support/host_links.h"
#include "tests/support/temp_dir.h"

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
    std::optional<SavedShortcut> result;
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW* link = nullptr;
    IPersistFile* persisted = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IShellLinkW, reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persisted)))) {
        wchar_t program[MAX_PATH] = {};
        wchar_t icon[MAX_PATH] = {};
        int index = 0;
        if (SUCCEEDED(persisted->Load(platform::NarrowToWide(file).c_str(), STGM_READ)) &&
            SUCCEEDED(link->GetPath(program, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
            SUCCEEDED(link->GetIconLocation(icon, MAX_PATH, &index))) {
            result = SavedShortcut{platform::WideToNarrow(program), platform::WideToNarrow(icon)};
        }
    }
    if (persisted != nullptr) {
        persisted->Release();
    }
    if (link != nullptr) {
        link->Release();
    }
    if (SUCCEEDED(com)) {
        ::CoUninitialize();
    }
    return result;
#else
    // Exec= holds the program as one quoted argument; the test folders need no escapes.
    const std::string text = "\n" + ReadHostFile(file);
    const auto value = [&](const std::string& key) {
        const size_t start = text.find("\n" + key + "=");
        if (start == std::string::npos) {
            return std::string();
        }
        const size_t from = start + key.size() + 2;
        std::string line = text.substr(from, text.find('\n', from) - from);
        if (line.size() >= 2 && line.front() == '"' && line.back() == '"') {
            line = line.substr(1, line.size() - 2);
        }
        return line;
    };
    return SavedShortcut{value("Exec"), value("Icon")};
#endif
}

// The host path of the running test program, which the launcher copies as vasktolbe.exe.
inline std::string RunningProgram() {
    return platform::ToHostPath(platform::GetModuleFileName()).value_or("<no host path>");
}

}  // namespace tolbe_test

// Programs and commands on Windows: CreateProcessW with the program's path quoted, in a console
// of its own, never through cmd.exe.

#include <windows.h>
// tlhelp32.h needs windows.h first.
#include <tlhelp32.h>

#include <cerrno>
#include <string>
#include <string_view>

#include "platform/processes.h"
#include "platform/text.h"
#include "platform/win_io.h"

namespace platform {
namespace {

// The commands StartHiddenCommand knows, and the program of the system folder that each runs.
constexpr std::string_view kIconRefreshCommands[] = {"ie4uinit.exe -show",
                                                     "ie4uinit.exe -ClearIconCache"};
constexpr wchar_t kIconRefreshProgram[] = L"ie4uinit.exe";

// Starts `program` (a full host path) with the command line `arguments` after its quoted path;
// the handles of the new process are closed at once, as nothing waits for it. No handle of the
// launcher is inherited.
bool Start(const std::wstring& program, std::wstring_view arguments, DWORD flags,
           const wchar_t* directory, const STARTUPINFOW& startup) {
    // Quoted, the path is one word: a blank in a folder's name ("D:\My Games\...") cannot make
    // Windows start "D:\My.exe" instead. No Windows file name holds a quote.
    if (program.find(L'"') != std::wstring::npos) {
        errno = ENOENT;
        return false;
    }
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) {
        commandLine.append(L" ").append(arguments);
    }
    STARTUPINFOW info = startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags,
                          nullptr, directory, &info, &process)) {
        return FailWithLastError();
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

std::wstring SystemFolderProgram(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return std::wstring();
    }
    return std::wstring(folder, length) + L"\\" + name;
}

}  // namespace

bool StartProgram(const std::string& exePath, const std::string& workingDir) {
    const auto program = WideHostPath(exePath);
    const auto directory = WideHostPath(workingDir);
    if (!program || !directory) {
        return false;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    // The game gets the system's error boxes back: the launcher's error mode is its own.
    return Start(*program, std::wstring_view(), CREATE_NEW_CONSOLE | CREATE_DEFAULT_ERROR_MODE,
                 directory->c_str(), startup);
}

void StartHiddenCommand(const std::string& commandLine) {
    for (const std::string_view known : kIconRefreshCommands) {
        if (commandLine != known) {
            continue;
        }
        // The program is taken from the system folder by its full path: a file of the same name
        // beside the launcher (in the client directory, say) is never started in its place.
        const std::wstring program = SystemFolderProgram(kIconRefreshProgram);
        if (program.empty()) {
            return;
        }
        const std::wstring arguments = NarrowToWide(known.substr(known.find(' ') + 1));
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        Start(program, arguments, 0, nullptr, startup);
        return;
    }
}

void ReportFileSizeLimitAsWriteError() {
    // Windows has no file-size limit that ends a process: a write past the room left fails as a
    // write error by itself.
}

void KeepSystemErrorBoxesAway() {
    ::SetErrorMode(::GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

std::optional<std::string> ProgramRunningFrom(const std::string& windowsDir) {
    auto below = WideHostPath(windowsDir);
    if (!below) {
        return std::nullopt;
    }
    if (below->empty() || below->back() != L'\\') {
        below->push_back(L'\\');
    }
    const WinHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    if (!snapshot.valid() || !::Process32FirstW(snapshot.get(), &entry)) {
        return std::nullopt;
    }
    const DWORD self = ::GetCurrentProcessId();
    std::wstring image;
    do {
        if (entry.th32ProcessID == self || entry.th32ProcessID == 0) {
            continue;
        }
        const HANDLE process =
            ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (process == nullptr) {
            continue;
        }
        image.assign(32768, L'\0');  // the longest path Windows has
        DWORD length = static_cast<DWORD>(image.size());
        const bool named = ::QueryFullProcessImageNameW(process, 0, image.data(), &length) != 0;
        ::CloseHandle(process);
        if (named && length > below->size() &&
            ::CompareStringOrdinal(image.c_str(), static_cast<int>(below->size()), below->c_str(),
                                   static_cast<int>(below->size()), TRUE) == CSTR_EQUAL) {
            image.resize(length);
            return WideToNarrow(image);
        }
    } while (::Process32NextW(snapshot.get(), &entry));
    return std::nullopt;
}

}  // namespace platform

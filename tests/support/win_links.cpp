#include "tests/support/win_links.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "platform/text.h"

namespace tolbe_test {
namespace {

// The mount-point form of REPARSE_DATA_BUFFER (ntifs.h, which MinGW leaves out of user mode).
struct MountPointReparseBuffer {
    ULONG ReparseTag;
    USHORT ReparseDataLength;
    USHORT Reserved;
    USHORT SubstituteNameOffset;
    USHORT SubstituteNameLength;
    USHORT PrintNameOffset;
    USHORT PrintNameLength;
    WCHAR PathBuffer[1];
};

bool MakeJunction(const std::wstring& link, const std::wstring& target) {
    if (!::CreateDirectoryW(link.c_str(), nullptr)) {
        return false;
    }
    const HANDLE folder =
        ::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        ::RemoveDirectoryW(link.c_str());
        return false;
    }
    const std::wstring substitute = L"\\??\\" + target;
    const size_t names = (substitute.size() + 1 + target.size() + 1) * sizeof(WCHAR);
    std::vector<char> bytes(offsetof(MountPointReparseBuffer, PathBuffer) + names, '\0');
    auto* buffer = reinterpret_cast<MountPointReparseBuffer*>(bytes.data());
    buffer->ReparseTag = IO_REPARSE_TAG_MOUNT_POINT;
    buffer->ReparseDataLength = static_cast<USHORT>(8 + names);
    buffer->SubstituteNameLength = static_cast<USHORT>(substitute.size() * sizeof(WCHAR));
    buffer->PrintNameOffset = static_cast<USHORT>((substitute.size() + 1) * sizeof(WCHAR));
    buffer->PrintNameLength = static_cast<USHORT>(target.size() * sizeof(WCHAR));
    std::memcpy(buffer->PathBuffer, substitute.c_str(), substitute.size() * sizeof(WCHAR));
    std::memcpy(buffer->PathBuffer + substitute.size() + 1, target.c_str(),
                target.size() * sizeof(WCHAR));
    DWORD returned = 0;
    const bool made =
        ::DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, buffer, static_cast<DWORD>(bytes.size()),
                          nullptr, 0, &returned, nullptr) != 0;
    ::CloseHandle(folder);
    if (!made) {
        ::RemoveDirectoryW(link.c_str());
    }
    return made;
}

// Wine's own name of the host file behind a Windows path.
std::string UnixPathOf(const std::wstring& path) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixName != nullptr ? unixName(path.c_str()) : nullptr;
    if (name == nullptr) {
        throw std::runtime_error("no host name for " + platform::WideToNarrow(path));
    }
    std::string unixPath(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    return unixPath;
}

// Starts a host program (Wine starts host programs through CreateProcessW). Wine neither waits
// for it nor hands back its exit code: the caller looks for what it does.
void StartHostProgram(const std::wstring& program, std::wstring commandLine) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process)) {
        throw std::runtime_error("cannot start " + platform::WideToNarrow(program));
    }
    ::WaitForSingleObject(process.hProcess, 10000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
}

// Waits up to ten seconds until the attributes at the path satisfy `done`.
bool WaitForAttributes(const std::wstring& path, bool (*done)(DWORD)) {
    for (int look = 0; look < 500; ++look) {
        if (done(::GetFileAttributesW(path.c_str()))) {
            return true;
        }
        ::Sleep(20);
    }
    return false;
}

// The host path behind a Windows path, quoted for a command line (the test folders hold no
// quotes).
std::wstring QuotedUnixPath(const std::wstring& path) {
    return L"\"" + platform::NarrowToWide(UnixPathOf(path)) + L"\"";
}

// Runs `ln -s target link` on the host and waits until Windows sees the link with attributes
// that `shown` accepts.
void MakeHostSymlink(const std::wstring& link, const std::wstring& target, bool (*shown)(DWORD)) {
    const std::wstring command =
        L"Z:\\bin\\ln -s " + QuotedUnixPath(target) + L" " + QuotedUnixPath(link);
    StartHostProgram(L"Z:\\bin\\ln", command);
    if (!WaitForAttributes(link, shown)) {
        throw std::runtime_error("ln -s failed: " + platform::WideToNarrow(command));
    }
}

bool ShownAsFolderLink(DWORD attributes) {
    constexpr DWORD kFolderLink = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kFolderLink) == kFolderLink;
}

// Wine shows a host link to a file as that file.
bool ShownAsFile(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Gone(DWORD attributes) {
    return attributes == INVALID_FILE_ATTRIBUTES;
}

}  // namespace

bool RunningUnderWine() {
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

void MakeFolderLink(const std::string& link, const std::string& target) {
    const std::wstring wideLink = platform::NarrowToWide(link);
    const std::wstring wideTarget = platform::NarrowToWide(target);
    if (MakeJunction(wideLink, wideTarget)) {
        return;
    }
    if (!RunningUnderWine()) {
        throw std::runtime_error("cannot make a junction at " + link);
    }
    MakeHostSymlink(wideLink, wideTarget, ShownAsFolderLink);
}

void MakeFileLink(const std::string& link, const std::string& target) {
    const std::wstring wideLink = platform::NarrowToWide(link);
    const std::wstring wideTarget = platform::NarrowToWide(target);
    if (!RunningUnderWine()) {
        if (!::CreateSymbolicLinkW(wideLink.c_str(), wideTarget.c_str(),
                                   SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
            throw std::runtime_error("cannot make a symbolic link at " + link);
        }
        return;
    }
    // Wine hides a host link to nothing: a stand-in target is there while the link is made, so
    // that the link can be seen before the stand-in goes again.
    const bool standIn = ::GetFileAttributesW(wideTarget.c_str()) == INVALID_FILE_ATTRIBUTES;
    if (standIn) {
        const HANDLE made = ::CreateFileW(wideTarget.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (made == INVALID_HANDLE_VALUE) {
            throw std::runtime_error("cannot make a stand-in at " + target);
        }
        ::CloseHandle(made);
    }
    MakeHostSymlink(wideLink, wideTarget, ShownAsFile);
    if (standIn) {
        ::DeleteFileW(wideTarget.c_str());
    }
}

void RemoveTreeOnHost(const std::wstring& path) {
    StartHostProgram(L"Z:\\bin\\rm", L"Z:\\bin\\rm -rf -- " + QuotedUnixPath(path));
    WaitForAttributes(path, Gone);
}

}  // namespace tolbe_test

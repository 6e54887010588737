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

// Runs `ln -s target link` on the host (Wine starts host programs through CreateProcessW) and
// waits until Windows sees the link with attributes that `shown` accepts.
void MakeHostSymlink(const std::wstring& link, const std::wstring& target, bool (*shown)(DWORD)) {
    // Quoted, for folders with blanks; the test folders hold no quotes.
    std::wstring command = L"Z:\\bin\\ln -s \"" + platform::NarrowToWide(UnixPathOf(target)) +
                           L"\" \"" + platform::NarrowToWide(UnixPathOf(link)) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(L"Z:\\bin\\ln", command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process)) {
        throw std::runtime_error("cannot start ln");
    }
    ::WaitForSingleObject(process.hProcess, 10000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    // Wine neither waits for a host program nor hands back its exit code: look for the link.
    for (int look = 0; look < 500; ++look) {
        const DWORD attributes = ::GetFileAttributesW(link.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && shown(attributes)) {
            return;
        }
        ::Sleep(20);
    }
    throw std::runtime_error("ln -s failed: " + platform::WideToNarrow(command));
}

bool ShownAsFolderLink(DWORD attributes) {
    constexpr DWORD kFolderLink = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    return (attributes & kFolderLink) == kFolderLink;
}

// Wine shows a host link to a file as that file.
bool ShownAsFile(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
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

}  // namespace tolbe_test

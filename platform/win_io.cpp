#include "platform/win_io.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>

#include "platform/descriptor.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace platform {
namespace {

// How long renames and removals wait for a held entry, in milliseconds (SetWaitForHeldFiles).
std::atomic<long long> waitForHeldFiles{kWaitForHeldFiles.count()};

int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_DRIVE:
            return ENOENT;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_DIR_NOT_EMPTY:
            return ENOTEMPTY;
        case ERROR_NOT_SAME_DEVICE:
            return EXDEV;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_FILE_TOO_LARGE:
            return EFBIG;
        default:
            return EIO;
    }
}

}  // namespace

WinHandle& WinHandle::operator=(WinHandle&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = other.Release();
    }
    return *this;
}

bool WinHandle::Close() {
    if (!valid()) {
        return true;
    }
    const HANDLE handle = Release();
    return ::CloseHandle(handle) != 0;
}

HANDLE WinHandle::Release() {
    const HANDLE handle = m_handle;
    m_handle = INVALID_HANDLE_VALUE;
    return handle;
}

bool FailWithLastError() {
    errno = ErrnoOf(::GetLastError());
    return false;
}

std::optional<std::wstring> WideHostPath(std::string_view windowsPath) {
    const std::optional<std::string> hostPath = ToHostPath(windowsPath);
    if (!hostPath) {
        errno = ENOENT;
        return std::nullopt;
    }
    return NarrowToWide(*hostPath);
}

std::optional<std::wstring> WideHostPath(std::wstring_view windowsPath) {
    return WideHostPath(WideToNarrow(windowsPath));
}

std::optional<DWORD> EntryAttributes(const std::wstring& hostPath) {
    const DWORD attributes = ::GetFileAttributesW(hostPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        FailWithLastError();
        return std::nullopt;
    }
    return attributes;
}

WinHandle OpenEntryItself(const std::wstring& hostPath, DWORD access) {
    return WinHandle(::CreateFileW(
        hostPath.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

std::optional<HeldFolder> HoldFolder(const std::wstring& path) {
    const std::optional<DWORD> attributes = EntryAttributes(path);
    if (!attributes) {
        return std::nullopt;
    }
    HeldFolder folder;
    folder.handle = OpenEntryItself(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES);
    if (!folder.handle.valid() ||
        !::GetFileInformationByHandle(folder.handle.get(), &folder.info)) {
        FailWithLastError();
        return std::nullopt;
    }
    const DWORD both = *attributes | folder.info.dwFileAttributes;
    if ((both & FILE_ATTRIBUTE_DIRECTORY) == 0 || IsReparsePoint(both)) {
        errno = IsReparsePoint(both) ? ELOOP : ENOTDIR;
        return std::nullopt;
    }
    folder.path = path;
    return folder;
}

bool StillThere(const HeldFolder& folder) {
    const std::optional<HeldFolder> now = HoldFolder(folder.path);
    if (!now) {
        return false;
    }
    if (folder.info.dwVolumeSerialNumber != now->info.dwVolumeSerialNumber ||
        folder.info.nFileIndexHigh != now->info.nFileIndexHigh ||
        folder.info.nFileIndexLow != now->info.nFileIndexLow) {
        errno = ENOENT;
        return false;
    }
    return true;
}

bool ClearFileAttributes(const std::wstring& hostPath) {
    const WinHandle entry = OpenEntryItself(hostPath, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
    BY_HANDLE_FILE_INFORMATION info;
    if (!entry.valid() || !::GetFileInformationByHandle(entry.get(), &info)) {
        return FailWithLastError();
    }
    if (IsReparsePoint(info.dwFileAttributes) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        errno = EPERM;
        return false;
    }
    FILE_BASIC_INFO basic = {};  // zero times: leave them as they are
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return ::SetFileInformationByHandle(entry.get(), FileBasicInfo, &basic, sizeof basic) != 0 ||
           FailWithLastError();
}

bool DeleteEntryItself(const std::wstring& hostPath) {
    const std::optional<DWORD> attributes = EntryAttributes(hostPath);
    if (!attributes) {
        return false;
    }
    if ((*attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        if (!IsReparsePoint(*attributes)) {
            errno = EISDIR;
            return false;
        }
        return RetryWhileHeld(hostPath,
                              [&] { return ::RemoveDirectoryW(hostPath.c_str()) != 0; }) ||
               FailWithLastError();
    }
    return RetryWhileHeld(hostPath, [&] { return ::DeleteFileW(hostPath.c_str()) != 0; }) ||
           FailWithLastError();
}

bool RemoveFolderOrLink(const std::wstring& hostPath) {
    const std::optional<DWORD> attributes = EntryAttributes(hostPath);
    if (!attributes) {
        return false;
    }
    if ((*attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        errno = ENOTDIR;
        return false;
    }
    return RetryWhileHeld(hostPath, [&] { return ::RemoveDirectoryW(hostPath.c_str()) != 0; }) ||
           FailWithLastError();
}

void SetWaitForHeldFiles(std::chrono::milliseconds wait) {
    waitForHeldFiles = wait.count();
}

bool RetryWhileHeld(const std::wstring& hostPath, const std::function<bool()>& attempt) {
    constexpr std::chrono::milliseconds kFirstPause(20);
    constexpr std::chrono::milliseconds kLongestPause(1000);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(waitForHeldFiles.load());
    std::chrono::milliseconds pause = kFirstPause;
    for (;;) {
        if (attempt()) {
            return true;
        }
        const DWORD error = ::GetLastError();
        bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
        if (error == ERROR_ACCESS_DENIED) {
            const DWORD attributes = ::GetFileAttributesW(hostPath.c_str());
            held = attributes != INVALID_FILE_ATTRIBUTES &&
                   (attributes & FILE_ATTRIBUTE_READONLY) == 0;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!held || now >= deadline) {
            ::SetLastError(error);
            return false;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        ::Sleep(static_cast<DWORD>(std::min(pause, left).count()));
        pause = std::min(pause * 2, kLongestPause);
    }
}

bool Descriptor::Close() {
    if (m_fd < 0) {
        return true;
    }
    const int fd = m_fd;
    m_fd = -1;
    return ::_close(fd) == 0;
}

int CrtDescriptorOf(WinHandle handle, int flags) {
    if (!handle.valid()) {
        FailWithLastError();
        return -1;
    }
    const int descriptor =
        ::_open_osfhandle(reinterpret_cast<intptr_t>(handle.get()), flags | _O_BINARY);
    if (descriptor < 0) {
        errno = EMFILE;
        return -1;
    }
    handle.Release();
    return descriptor;
}

HANDLE HandleOf(int descriptor) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
}

bool MoveWithoutReplacing(const std::wstring& from, const std::wstring& to) {
    return RetryWhileHeld(from, [&] { return ::MoveFileExW(from.c_str(), to.c_str(), 0) != 0; }) ||
           FailWithLastError();
}

}  // namespace platform

#pragma once
// Small Win32 helpers shared by the platform layer's Windows implementations: handle ownership,
// errno from Win32 errors, Windows-form paths as wide host paths, and the operations on one
// entry that never follow a reparse point (a junction or a symbolic link).

#include <windows.h>

// windows.h maps these names to their ANSI functions (ReplaceFileA, ...); the platform layer's
// own functions of the same names stay themselves. Only the wide functions are called here.
#undef CreateFile
#undef GetModuleFileName
#undef ReplaceFile

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Owns a Win32 file handle: closes it when the object goes.
class WinHandle {
public:
    explicit WinHandle(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
    ~WinHandle() { Close(); }
    WinHandle(WinHandle&& other) noexcept : m_handle(other.Release()) {}
    WinHandle& operator=(WinHandle&& other) noexcept;
    WinHandle(const WinHandle&) = delete;
    WinHandle& operator=(const WinHandle&) = delete;

    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
    // Closes now; false when the close failed. True when there was nothing to close.
    bool Close();
    HANDLE Release();

private:
    HANDLE m_handle;
};

// Sets errno from GetLastError() (ENOENT, EEXIST, EACCES, ENOSPC, ENOTEMPTY, EXDEV, ...) and
// returns false, for the contracts that report their cause in errno.
bool FailWithLastError();

// The wide host path of a Windows-form path; nullopt (errno ENOENT) when it maps to none.
std::optional<std::wstring> WideHostPath(std::string_view windowsPath);
// The same for a wide Windows-form path.
std::optional<std::wstring> WideHostPath(std::wstring_view windowsPath);

// The attributes of the entry itself (GetFileAttributesW reports a reparse point as one, never
// its target); nullopt (errno set) when nothing is there.
std::optional<DWORD> EntryAttributes(const std::wstring& hostPath);

// A junction, a symbolic link or any other reparse point: never entered or followed.
inline bool IsReparsePoint(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Opens the entry itself, whatever it is, never its target (FILE_FLAG_OPEN_REPARSE_POINT; a
// folder opens too). Others may go on reading, writing and deleting.
WinHandle OpenEntryItself(const std::wstring& hostPath, DWORD access);

// The file's attributes become FILE_ATTRIBUTE_NORMAL (read-only, hidden and system cleared),
// set through a handle on the entry itself: a reparse point or a folder is left as it is
// (false), also one swapped in meanwhile.
bool ClearFileAttributes(const std::wstring& hostPath);

// DeleteFileW on a file; a link to a folder goes with RemoveDirectoryW, which removes the link
// and never its target. A folder is not deleted (false, errno EISDIR).
bool DeleteEntryItself(const std::wstring& hostPath);

// RemoveDirectoryW on an empty folder or on a link to a folder (the link, not its target).
// False for anything else (errno ENOTDIR for a file, ENOTEMPTY for a folder with entries).
bool RemoveFolderOrLink(const std::wstring& hostPath);

// The C runtime's descriptor over the handle, which it owns from then on (and closes with
// _close), for a platform::Descriptor. -1 when there is none: errno from the last Win32 error
// when the handle is not valid (the call that was to open it failed), EMFILE when the runtime
// has no descriptor to spare (the handle is then closed).
int CrtDescriptorOf(WinHandle handle, int flags);
// The handle under a C runtime descriptor (still owned by it).
HANDLE HandleOf(int descriptor);

// A folder held by a handle, with the path it was reached by and its identity (volume and file
// index), so that later uses can check that the path still leads to this very folder.
struct HeldFolder {
    WinHandle handle;
    std::wstring path;
    BY_HANDLE_FILE_INFORMATION info = {};
};

// Opens the folder at the path without following it: nullopt (errno set) when nothing is there,
// or it is a reparse point (ELOOP) or no folder (ENOTDIR). The entry's own attributes and the
// handle's are both asked, as either alone can miss a link on some file systems (Wine reports a
// host link only in the former). Others may go on using and even renaming the folder.
std::optional<HeldFolder> HoldFolder(const std::wstring& path);

// Whether the folder's path still leads to the folder that is held, reached without following
// a reparse point; false (errno set) when it leads elsewhere or nowhere.
bool StillThere(const HeldFolder& folder);

// Runs `attempt` (a rename or removal that leaves GetLastError set when it fails) until it
// succeeds or fails for another reason than a hold on the entry, or the wait for held files
// (SetWaitForHeldFiles) is used up. A hold is a sharing or lock violation, or access denied to
// an entry at `hostPath` that is not read-only (Windows says so for a running program's file
// and for a folder with a file open in it). The last failure's error stays set.
bool RetryWhileHeld(const std::wstring& hostPath, const std::function<bool()>& attempt);

// MoveFileExW without MOVEFILE_REPLACE_EXISTING or MOVEFILE_COPY_ALLOWED: renames an entry (a
// link as the link) within one volume, never replacing (false, errno EEXIST).
bool MoveWithoutReplacing(const std::wstring& from, const std::wstring& to);

}  // namespace platform

// directories.h on Windows. A Folder holds a handle on its folder and reaches its entries by
// path below it; before each use it checks that the path still leads to the folder it holds (the
// same volume and file index, reached without following a reparse point), so that a junction or
// a symbolic link put in the folder's place after it was opened is never entered. Entry names
// are the host's UTF-16 names in their generalised UTF-8 form (WTF-8): every name the folder can
// hold, whether or not the ANSI code page can write it, is listed and reached again as it is.

#include <cerrno>

#include "platform/directories.h"
#include "platform/text.h"
#include "platform/utf8.h"
#include "platform/win_io.h"

namespace platform {
namespace {

std::string NameAsText(const wchar_t* wide) {
    return WideToUtf8(wide, true);  // a lone surrogate keeps its own three-byte form
}

// The UTF-16 name back from its text; nullopt (errno EINVAL) for text that no listing gives: a
// malformed sequence, a separator, or a name that is empty, "." or "..".
std::optional<std::wstring> NameFromText(const std::string& text) {
    std::optional<std::wstring> wide;
    if (!text.empty() && text != "." && text != ".." &&
        text.find_first_of("\\/", 0) == std::string::npos) {
        wide = Utf8ToWide(text, true);
    }
    if (!wide) {
        errno = EINVAL;
    }
    return wide;
}

}  // namespace

struct Folder::Handle {
    explicit Handle(HeldFolder held) : held(std::move(held)) {}

    // The path of the entry `name` in this folder; nullopt (errno set) when the name is none
    // that a listing gives, or the folder's path no longer leads to this folder.
    std::optional<std::wstring> EntryPath(const std::string& name) const {
        const std::optional<std::wstring> wide = NameFromText(name);
        if (!wide || !StillThere(held)) {
            return std::nullopt;
        }
        return held.path + L"\\" + *wide;
    }

    HeldFolder held;
};

std::optional<Folder> Folder::Open(std::string_view windowsPath) {
    const std::optional<std::wstring> hostPath = WideHostPath(windowsPath);
    if (!hostPath) {
        return std::nullopt;
    }
    std::optional<HeldFolder> held = HoldFolder(*hostPath);
    if (!held) {
        return std::nullopt;
    }
    return Folder(std::make_unique<Handle>(std::move(*held)));
}

Folder::Folder(std::unique_ptr<Handle> handle) : m_handle(std::move(handle)) {}
Folder::Folder(Folder&& other) noexcept = default;
Folder& Folder::operator=(Folder&& other) noexcept = default;
Folder::~Folder() = default;

std::optional<std::vector<DirectoryEntry>> Folder::List() const {
    if (!StillThere(m_handle->held)) {
        return std::nullopt;
    }
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW((m_handle->held.path + L"\\*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        FailWithLastError();
        return std::nullopt;
    }
    std::vector<DirectoryEntry> entries;
    do {
        DirectoryEntry entry;
        entry.name = NameAsText(found.cFileName);
        entry.isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.isLink = IsReparsePoint(found.dwFileAttributes);
        entries.push_back(std::move(entry));
    } while (::FindNextFileW(search, &found));
    const DWORD error = ::GetLastError();
    ::FindClose(search);
    if (error != ERROR_NO_MORE_FILES) {
        ::SetLastError(error);
        FailWithLastError();
        return std::nullopt;
    }
    return entries;
}

std::optional<Folder> Folder::OpenSubfolder(const std::string& name) const {
    const std::optional<std::wstring> path = m_handle->EntryPath(name);
    if (!path) {
        return std::nullopt;
    }
    std::optional<HeldFolder> held = HoldFolder(*path);
    if (!held) {
        return std::nullopt;
    }
    return Folder(std::make_unique<Handle>(std::move(*held)));
}

bool Folder::DeleteOneFile(const std::string& name) const {
    const std::optional<std::wstring> path = m_handle->EntryPath(name);
    return path && DeleteEntryItself(*path);
}

bool Folder::RemoveEmptySubfolder(const std::string& name) const {
    const std::optional<std::wstring> path = m_handle->EntryPath(name);
    return path && RemoveFolderOrLink(*path);
}

bool Folder::MakeFileWritable(const std::string& name) const {
    const std::optional<std::wstring> path = m_handle->EntryPath(name);
    return path && ClearFileAttributes(*path);
}

bool Folder::MoveEntryTo(const std::string& name, const Folder& to) const {
    const std::optional<std::wstring> from = m_handle->EntryPath(name);
    const std::optional<std::wstring> into = from ? to.m_handle->EntryPath(name) : std::nullopt;
    return into && MoveWithoutReplacing(*from, *into);
}

bool RemoveEmptyDirectory(std::wstring_view windowsDirectory) {
    const std::optional<std::wstring> hostPath = WideHostPath(windowsDirectory);
    return hostPath && RemoveFolderOrLink(*hostPath);
}

EntryKind EntryKindAt(std::string_view windowsPath) {
    const std::optional<std::wstring> hostPath = WideHostPath(windowsPath);
    const std::optional<DWORD> attributes = hostPath ? EntryAttributes(*hostPath) : std::nullopt;
    if (!attributes) {
        return EntryKind::Missing;
    }
    if (IsReparsePoint(*attributes)) {
        return EntryKind::Link;
    }
    if ((*attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return EntryKind::Directory;
    }
    return (*attributes & FILE_ATTRIBUTE_DEVICE) != 0 ? EntryKind::Other : EntryKind::RegularFile;
}

bool MoveEntry(std::string_view from, std::string_view to) {
    const std::optional<std::wstring> hostFrom = WideHostPath(from);
    const std::optional<std::wstring> hostTo = WideHostPath(to);
    return hostFrom && hostTo && MoveWithoutReplacing(*hostFrom, *hostTo);
}

}  // namespace platform

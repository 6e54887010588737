// host_files.h on Windows, through the wide file API: std::filesystem of MinGW neither sees
// junctions nor stops at them.

#include <windows.h>

#include <stdexcept>

#include "platform/text.h"
#include "tests/support/host_files.h"
#include "tests/support/win_links.h"

namespace tolbe_test {

namespace fs = std::filesystem;

fs::path HostPathOf(const std::string& hostPath) {
    return fs::path(platform::NarrowToWide(hostPath));
}

std::string NarrowHostPath(const fs::path& path) {
    return platform::WideToNarrow(path.wstring());
}

bool IsHostLink(const fs::path& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

std::vector<HostEntry> HostEntries(const fs::path& folder) {
    std::vector<HostEntry> entries;
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW((folder / L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return entries;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        // The entry's own attributes, as IsHostLink asks them.
        const fs::path path = folder / name;
        const DWORD own = ::GetFileAttributesW(path.c_str());
        const DWORD attributes = own != INVALID_FILE_ATTRIBUTES ? own : found.dwFileAttributes;
        const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entries.push_back({path, link, isFolder && !link});
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return entries;
}

void MakeHostFolderLink(const std::string& link, const std::string& target) {
    MakeFolderLink(link, target);
}

void MakeHostFileLink(const std::string& link, const std::string& target) {
    MakeFileLink(link, target);
}

bool HostShowsFileLinks() {
    return !RunningUnderWine();
}

bool HostRemovesFolderLinks() {
    return !RunningUnderWine();
}

unsigned HostModeOf(const fs::path& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return 0;
    }
    return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
}

void SetHostMode(const fs::path& path, unsigned mode) {
    const DWORD wanted = (mode & 0200) != 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
    if (!::SetFileAttributesW(path.c_str(), wanted)) {
        throw std::runtime_error("cannot change the attributes of " + NarrowHostPath(path));
    }
}

namespace {

void RemoveWithWin32(const fs::path& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (folder && !link) {
        for (const HostEntry& entry : HostEntries(path)) {
            RemoveWithWin32(entry.path);
        }
    }
    if (link && RunningUnderWine()) {
        return;  // Wine's RemoveDirectoryW removes an empty folder that a host link leads to
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0 && !link) {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    // RemoveDirectoryW removes a link to a folder as the link; DeleteFileW a link to a file.
    if (folder) {
        ::RemoveDirectoryW(path.c_str());
    } else {
        ::DeleteFileW(path.c_str());
    }
}

}  // namespace

void RemoveHostTree(const fs::path& path) {
    RemoveWithWin32(path);
    // Wine can neither remove a host link to a folder as the link nor see one that leads
    // nowhere, which then keeps its folder: the host removes what is left.
    if (RunningUnderWine() && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        RemoveTreeOnHost(path.wstring());
    }
}

HeldOpenEntry::HeldOpenEntry(const std::string& hostPath)
    : m_handle(::CreateFileW(platform::NarrowToWide(hostPath).c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr)) {
    if (m_handle == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot hold " + hostPath + " open");
    }
}

HeldOpenEntry::~HeldOpenEntry() {
    ::CloseHandle(m_handle);
}

}  // namespace tolbe_test

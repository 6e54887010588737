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

bool FileLinksAreSeen() {
    return !RunningUnderWine();
}

void MakeHostFolderLink(const std::string& link, const std::string& target) {
    MakeFolderLink(link, target);
}

void MakeHostFileLink(const std::string& link, const std::string& target) {
    MakeFileLink(link, target);
}

unsigned HostModeOf(const std::string& hostPath) {
    const DWORD attributes = ::GetFileAttributesW(platform::NarrowToWide(hostPath).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return 0;
    }
    return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
}

void SetHostMode(const std::string& hostPath, unsigned mode) {
    const DWORD wanted = (mode & 0200) != 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
    if (!::SetFileAttributesW(platform::NarrowToWide(hostPath).c_str(), wanted)) {
        throw std::runtime_error("cannot change the attributes of " + hostPath);
    }
}

void RemoveHostTree(const fs::path& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (folder && !link) {
        std::error_code ignored;
        for (auto it = fs::directory_iterator(path, ignored); it != fs::directory_iterator();
             it.increment(ignored)) {
            RemoveHostTree(it->path());
        }
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

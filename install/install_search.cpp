#include "install/install_search.h"

#include <cstdint>
#include <vector>

#include "config/config_store.h"
#include "platform/directories.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/volumes.h"

namespace {

// The buffer the drive list is first read into, in wide characters.
constexpr uint32_t kDriveListLength = 100;

// The drive list: root paths, each ended by NUL, the list ended by a further NUL.
std::vector<wchar_t> ReadDriveList() {
    std::vector<wchar_t> list(kDriveListLength, L'\0');
    const uint32_t needed = platform::LogicalDriveStrings(kDriveListLength, list.data());
    if (needed > kDriveListLength) {
        list.assign(needed, L'\0');
        if (platform::LogicalDriveStrings(needed, list.data()) > needed) {
            list.assign(1, L'\0');  // the drives changed meanwhile: search none
        }
    }
    return list;
}

}  // namespace

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) {
        return;
    }
    size_t at = 0;
    while ((at = text.find(from, at)) != std::string::npos) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

std::string ProbePath(const std::string& driveRoot, const std::string& clientDir,
                      const std::string& clientExe) {
    return driveRoot + clientDir + "\\" + clientExe;
}

std::vector<std::string> LogicalDriveRoots() {
    const std::vector<wchar_t> list = ReadDriveList();
    std::vector<std::string> roots;
    for (const wchar_t* entry = list.data(); *entry != L'\0';) {
        const std::wstring root(entry);
        roots.push_back(platform::WideToNarrow(root));
        entry += root.size() + 1;
    }
    return roots;
}

std::string FindInstalledDrive(const std::string& clientDir, const std::string& clientExe) {
    for (const std::string& root : LogicalDriveRoots()) {
        if (platform::PathExists(ProbePath(root, clientDir, clientExe)) &&
            IsLauncherInstallation(root + clientDir + "\\", clientExe)) {
            return root;
        }
    }
    return std::string();
}

bool IsLauncherInstallation(const std::string& clientDir, const std::string& clientExe) {
    using platform::EntryKind;
    // The folder is looked at without its final backslash, so that a link is seen as a link.
    const std::string folder = clientDir.substr(0, clientDir.find_last_not_of('\\') + 1);
    return platform::EntryKindAt(folder) == EntryKind::Directory &&
           platform::EntryKindAt(clientDir + clientExe) == EntryKind::RegularFile &&
           IsConfigFileIn(clientDir);
}

bool SameVersion(const std::string& installed, const std::string& server) {
    return installed == server;
}

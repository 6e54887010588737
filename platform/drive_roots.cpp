#include "platform/drive_roots.h"

#include <algorithm>
#include <cctype>

#include "platform/archive_files.h"
#include "platform/directories.h"
#include "platform/host_facts.h"
#include "platform/paths.h"

namespace platform {

bool ReachesDriveRoot(std::string_view windowsPath) {
    const auto hostPath = ToHostPath(windowsPath);
    if (!hostPath) {
        return true;
    }
    const auto parts = PathComponents(*hostPath, PathForm::Host);
    if (parts.empty()) {
        return true;  // "/"
    }
    for (const DriveFacts& drive : Host()->drives) {
        const auto rootParts = PathComponents(drive.hostRoot, PathForm::Host);
        // The path holds the drive's root when the root's components start with the path's.
        if (rootParts.size() >= parts.size() &&
            std::equal(parts.begin(), parts.end(), rootParts.begin())) {
            return true;
        }
    }
    return false;
}

bool MakeDriveRootOnFirstUse(std::string_view drive) {
    if (drive.size() < 2 || drive[1] != ':') {
        return true;
    }
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(drive[0])));
    const auto host = Host();
    const bool madeOnFirstUse = std::any_of(
        host->drives.begin(), host->drives.end(),
        [letter](const DriveFacts& d) { return d.letter == letter && d.rootMadeOnFirstUse; });
    if (!madeOnFirstUse) {
        return true;
    }
    const std::string root = std::string(1, letter) + ":\\";
    if (EntryKindAt(root) == EntryKind::Missing) {
        MakeDirectoryAt(root);  // may lose a race with another maker; the check below decides
    }
    return EntryKindAt(root) == EntryKind::Directory;
}

}  // namespace platform

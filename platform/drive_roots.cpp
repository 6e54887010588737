// The portable half of drive_roots.h.

#include "platform/drive_roots.h"

#include <algorithm>
#include <cctype>

#include "platform/archive_files.h"
#include "platform/directories.h"
#include "platform/host_facts.h"

namespace platform {

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

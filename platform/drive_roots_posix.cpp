#include <algorithm>

#include "platform/drive_roots.h"
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

}  // namespace platform

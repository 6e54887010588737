#include <algorithm>
#include <cctype>

#include "platform/drive_roots.h"
#include "platform/host_facts.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace platform {
namespace {

constexpr std::string_view kLongPathPrefix = R"(\\?\)";

bool StartsWithDriveLetter(std::string_view path) {
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

}  // namespace

bool ReachesDriveRoot(std::string_view windowsPath) {
    const auto hostPath = ToHostPath(windowsPath);
    if (!hostPath) {
        return true;
    }
    std::string_view path = *hostPath;
    if (path.substr(0, kLongPathPrefix.size()) == kLongPathPrefix) {
        path.remove_prefix(kLongPathPrefix.size());
    }
    // A share or a device path may hold anything: taken as a root.
    if (!StartsWithDriveLetter(path)) {
        return true;
    }
    const auto parts = PathComponents(path, PathForm::Windows);
    if (parts.size() <= 1) {
        return true;  // "X:\", the root of a drive of the host
    }
    for (const DriveFacts& drive : Host()->drives) {
        const auto rootParts = PathComponents(drive.hostRoot, PathForm::Windows);
        // The path holds the drive's root when the root's components start with the path's;
        // Windows compares names without regard to case.
        if (rootParts.size() >= parts.size() &&
            std::equal(parts.begin(), parts.end(), rootParts.begin(), EqualsNoCase)) {
            return true;
        }
    }
    return false;
}

}  // namespace platform

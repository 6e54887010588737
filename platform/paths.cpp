#include "platform/paths.h"

#include <cctype>

#include "platform/host_path_form.h"
#include "platform/text.h"

namespace platform {
namespace {

void AppendComponents(std::string_view path, std::vector<std::string_view>& parts) {
    const std::vector<std::string_view> more = PathComponents(path, PathForm::Windows);
    parts.insert(parts.end(), more.begin(), more.end());
}

std::vector<std::string_view> HostComponents(std::string_view hostPath) {
    return PathComponents(hostPath, PathForm::Host);
}

// The host path of a place on the drive, given below its root in Windows form.
std::optional<std::string> OnDrive(const DriveFacts& drive, std::string_view pathOnDrive) {
    std::vector<std::string_view> parts = HostComponents(drive.hostRoot);
    AppendComponents(pathOnDrive, parts);
    return JoinHostComponents(parts);
}

// Number of leading components of `path` that the root covers, or -1 when it does not hold it.
int RootDepthIn(const std::vector<std::string_view>& path, const std::string& root) {
    const std::vector<std::string_view> rootParts = HostComponents(root);
    if (rootParts.size() > path.size()) {
        return -1;
    }
    for (size_t i = 0; i < rootParts.size(); ++i) {
        if (!SameHostName(rootParts[i], path[i])) {
            return -1;
        }
    }
    return static_cast<int>(rootParts.size());
}

const DriveFacts* FindDrive(char letter, const std::vector<DriveFacts>& drives) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    for (const DriveFacts& drive : drives) {
        if (drive.letter == upper) {
            return &drive;
        }
    }
    return nullptr;
}

}  // namespace

std::vector<std::string_view> PathComponents(std::string_view path, PathForm form, bool* climbed) {
    const auto isSeparator = [form](char c) {
        return form == PathForm::Windows ? c == '/' || c == '\\' : IsHostSeparator(c);
    };
    std::vector<std::string_view> parts;
    size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && isSeparator(path[i])) {
            ++i;
        }
        const size_t start = i;
        while (i < path.size() && !isSeparator(path[i])) {
            ++i;
        }
        const std::string_view part = path.substr(start, i - start);
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            if (climbed != nullptr) {
                *climbed = true;
            }
            if (!parts.empty()) {
                parts.pop_back();
            }
            continue;
        }
        parts.push_back(part);
    }
    return parts;
}

std::vector<std::string_view> NamesBelowDrive(std::string_view windowsPath) {
    const std::string_view hostPrefix(kHostPathPrefix, sizeof kHostPathPrefix - 1);
    std::string_view rest = windowsPath;
    if (rest.size() >= 2 && rest[1] == ':') {
        rest.remove_prefix(2);
    } else if (StartsWithNoCase(rest, hostPrefix)) {
        rest.remove_prefix(hostPrefix.size());
    }
    return PathComponents(rest, PathForm::Windows);
}

std::optional<std::string> NormalizeHostRoot(std::string_view path) {
    bool climbed = false;
    const auto parts = PathComponents(path, PathForm::Host, &climbed);
    if (!IsAbsoluteHostPath(path) || climbed) {
        return std::nullopt;
    }
    return JoinHostComponents(parts);
}

const DriveFacts* FindDriveHolding(std::string_view hostPath,
                                   const std::vector<DriveFacts>& drives) {
    const std::vector<std::string_view> parts = HostComponents(hostPath);
    const DriveFacts* best = nullptr;
    int bestDepth = -1;
    for (const DriveFacts& drive : drives) {
        const int depth = RootDepthIn(parts, drive.hostRoot);
        if (depth > bestDepth) {
            best = &drive;
            bestDepth = depth;
        }
    }
    return best;
}

std::optional<std::string> MapToHostPath(std::string_view path,
                                         const std::vector<DriveFacts>& drives,
                                         std::string_view hostCwd) {
    if (path.empty() || path.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    const auto isSeparator = [](char c) { return c == '\\' || c == '/'; };
    const std::string_view unixPrefix(kHostPathPrefix, sizeof kHostPathPrefix - 2);  // no '\'
    if (StartsWithNoCase(path, unixPrefix) &&
        (path.size() == unixPrefix.size() || isSeparator(path[unixPrefix.size()]))) {
        std::vector<std::string_view> parts;
        AppendComponents(path.substr(unixPrefix.size()), parts);
        return JoinHostComponents(parts);
    }
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        return std::nullopt;  // UNC share or device path: no drive of ours
    }
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
        const DriveFacts* drive = FindDrive(path[0], drives);
        if (drive == nullptr) {
            return std::nullopt;
        }
        return OnDrive(*drive, path.substr(2));
    }
    const DriveFacts* current = FindDriveHolding(hostCwd, drives);
    if (current == nullptr || !IsAbsoluteHostPath(hostCwd)) {
        return std::nullopt;
    }
    std::string onDrive(path);
    if (!isSeparator(path[0])) {
        // Relative to the current directory: start from its place on the drive, so that ".."
        // climbs out of it but never above the drive's root.
        const std::vector<std::string_view> cwdParts = HostComponents(hostCwd);
        std::string cwdOnDrive;
        for (size_t i = RootDepthIn(cwdParts, current->hostRoot); i < cwdParts.size(); ++i) {
            cwdOnDrive.append(cwdParts[i]).append("\\");
        }
        onDrive = cwdOnDrive + onDrive;
    }
    return OnDrive(*current, onDrive);
}

std::string MapToWindowsPath(std::string_view hostPath, const std::vector<DriveFacts>& drives) {
    const std::vector<std::string_view> parts = HostComponents(hostPath);
    const DriveFacts* drive = FindDriveHolding(hostPath, drives);
    std::string out;
    size_t first = 0;
    if (drive != nullptr) {
        out = std::string(1, drive->letter) + ":\\";
        first = static_cast<size_t>(RootDepthIn(parts, drive->hostRoot));
    } else {
        out = kHostPathPrefix;
    }
    for (size_t i = first; i < parts.size(); ++i) {
        if (i > first) {
            out += '\\';
        }
        out += parts[i];
    }
    return out;
}

}  // namespace platform

#include "platform/mount_table.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <sstream>
#include <unordered_map>

#include "platform/paths.h"

namespace platform {
namespace {

// mountinfo escapes blanks, tabs, newlines and backslashes as \ooo (three octal digits).
std::string Unescape(std::string_view field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            if (std::all_of(digits.begin(), digits.end(),
                            [](char c) { return c >= '0' && c <= '7'; })) {
                out += static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 +
                                         (digits[2] - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

// "major:minor"; false when the field is not of that form.
bool ParseDeviceNumber(std::string_view field, unsigned& major, unsigned& minor) {
    const char* const end = field.data() + field.size();
    const auto first = std::from_chars(field.data(), end, major);
    if (first.ec != std::errc() || first.ptr == end || *first.ptr != ':') {
        return false;
    }
    const auto second = std::from_chars(first.ptr + 1, end, minor);
    return second.ec == std::errc() && second.ptr == end;
}

// Whether a comma-separated option list holds `option` on its own.
bool HasOption(std::string_view options, std::string_view option) {
    size_t start = 0;
    while (start <= options.size()) {
        const size_t comma = std::min(options.find(',', start), options.size());
        if (options.substr(start, comma - start) == option) {
            return true;
        }
        start = comma + 1;
    }
    return false;
}

bool IsNetworkFilesystem(const std::string& type) {
    static const char* const kNetwork[] = {"nfs",   "nfs4",      "cifs",       "smb3",
                                           "smbfs", "ncpfs",     "afs",        "ceph",
                                           "9p",    "glusterfs", "fuse.sshfs", "davfs"};
    return std::find(std::begin(kNetwork), std::end(kNetwork), type) != std::end(kNetwork);
}

bool IsOpticalFilesystem(const std::string& type) {
    return type == "iso9660" || type == "udf";
}

// Compressed images (snaps, live systems) are read-only whatever the mount options say.
bool IsImageFilesystem(const std::string& type) {
    return type == "squashfs" || type == "erofs" || type == "cramfs";
}

constexpr unsigned kLoopDeviceMajor = 7;

// A filesystem on a real disk: the source is a device node and no loop device (an image file).
bool IsOnLocalDisk(const MountEntry& mount) {
    return mount.source.rfind("/dev/", 0) == 0 && mount.source.rfind("/dev/loop", 0) != 0 &&
           mount.deviceMajor != kLoopDeviceMajor && !IsNetworkFilesystem(mount.fsType) &&
           !IsImageFilesystem(mount.fsType);
}

// The places where desktops and administrators mount data disks and removable media: the
// folder itself or anything below it.
bool IsUnderMediaFolders(const std::string& mountPoint) {
    static const char* const kMediaFolders[] = {"/mnt", "/media", "/run/media"};
    const auto parts = PathComponents(mountPoint, PathForm::Host);
    for (const char* folder : kMediaFolders) {
        const auto folderParts = PathComponents(folder, PathForm::Host);
        if (parts.size() >= folderParts.size() &&
            std::equal(folderParts.begin(), folderParts.end(), parts.begin())) {
            return true;
        }
    }
    return false;
}

// An absolute, normalised path without a NUL (one would cut the path short at the host).
bool IsCleanMountPoint(const std::string& mountPoint) {
    return mountPoint.find('\0') == std::string::npos &&
           NormalizeHostRoot(mountPoint) == mountPoint;
}

bool SameDevice(const MountEntry& mount, const DeviceNumber& device) {
    return mount.deviceMajor == device.major && mount.deviceMinor == device.minor;
}

DeviceNumber DeviceOf(const MountEntry& mount) {
    return DeviceNumber{mount.deviceMajor, mount.deviceMinor};
}

std::string ChildOf(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool CanWrite(FolderUse use) {
    return use == FolderUse::Writable || use == FolderUse::Owned;
}

// D: ~/Games when it is a folder the user owns, or when it is missing from a home folder the
// user can write (it is made on first use).
std::optional<DriveFacts> HomeGamesDrive(const MountTableUser& user) {
    const auto home = NormalizeHostRoot(user.home);
    if (!home || !user.folderUse) {
        return std::nullopt;
    }
    DriveFacts drive;
    drive.hostRoot = ChildOf(*home, kHomeGamesFolder);
    drive.type = DriveType::Fixed;
    const FolderUse games = user.folderUse(drive.hostRoot);
    if (games == FolderUse::Missing && CanWrite(user.folderUse(*home))) {
        drive.rootMadeOnFirstUse = true;
    } else if (games != FolderUse::Owned) {
        return std::nullopt;
    }
    return drive;
}

// The root a data disk gives the user: its mount point when the user can write it, else a
// folder named after the user at its top that the user owns; none otherwise.
std::optional<std::string> DiskRootFor(const std::string& mountPoint, const MountTableUser& user) {
    if (!user.folderUse) {
        return std::nullopt;
    }
    if (CanWrite(user.folderUse(mountPoint))) {
        return mountPoint;
    }
    if (IsPlainName(user.loginName)) {
        const std::string own = ChildOf(mountPoint, user.loginName);
        if (user.folderUse(own) == FolderUse::Owned) {
            return own;
        }
    }
    return std::nullopt;
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> entries;
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::vector<std::string> fields;
        for (std::string word; words >> word;) {
            fields.push_back(word);
        }
        // id parent major:minor root mount-point options [optional...] - type source super
        const auto dash = std::find(fields.begin(), fields.end(), "-");
        if (fields.size() < 6 || dash == fields.end() || fields.end() - dash < 3 ||
            dash - fields.begin() < 6) {
            continue;
        }
        MountEntry entry;
        if (!ParseDeviceNumber(fields[2], entry.deviceMajor, entry.deviceMinor)) {
            continue;
        }
        entry.root = Unescape(fields[3]);
        entry.mountPoint = Unescape(fields[4]);
        entry.fsType = *(dash + 1);
        entry.source = Unescape(*(dash + 2));
        entry.readOnly =
            HasOption(fields[5], "ro") || (fields.end() - dash > 3 && HasOption(*(dash + 3), "ro"));
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<DriveFacts> DrivesFromMounts(const std::vector<MountEntry>& mounts,
                                         const MountTableUser& user) {
    // Of several mounts at one place the last is the one in force.
    std::unordered_map<std::string, size_t> inForce;
    for (size_t i = 0; i < mounts.size(); ++i) {
        inForce[mounts[i].mountPoint] = i;
    }
    std::vector<DriveFacts> drives;
    DriveFacts system;
    system.letter = 'C';
    system.hostRoot = "/";
    system.type = DriveType::Fixed;
    const auto rootMount = inForce.find("/");
    if (rootMount != inForce.end()) {
        system.blockDevice = DeviceOf(mounts[rootMount->second]);
    }
    drives.push_back(system);

    char next = 'D';
    if (auto games = HomeGamesDrive(user)) {
        games->letter = next++;
        drives.push_back(std::move(*games));
    }
    for (size_t i = 0; i < mounts.size() && next <= 'Z'; ++i) {
        const MountEntry& mount = mounts[i];
        // A bind mount of a part of a filesystem (a container's /etc/hosts, say) is no volume.
        if (inForce[mount.mountPoint] != i || mount.root != "/" || mount.readOnly ||
            !IsOnLocalDisk(mount) || !IsCleanMountPoint(mount.mountPoint) ||
            !IsUnderMediaFolders(mount.mountPoint)) {
            continue;
        }
        // One letter for each filesystem, and none but C for the system's own.
        const bool lettered = std::any_of(drives.begin(), drives.end(), [&](const DriveFacts& d) {
            return d.blockDevice && SameDevice(mount, *d.blockDevice);
        });
        const auto root = lettered ? std::nullopt : DiskRootFor(mount.mountPoint, user);
        if (!root) {
            continue;
        }
        DriveFacts drive;
        drive.letter = next++;
        drive.hostRoot = *root;
        drive.type = IsOpticalFilesystem(mount.fsType) ? DriveType::Cdrom : DriveType::Fixed;
        drive.blockDevice = DeviceOf(mount);
        drives.push_back(std::move(drive));
    }
    return drives;
}

}  // namespace platform

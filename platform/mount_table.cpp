#include "platform/mount_table.h"

#include <algorithm>
#include <charconv>
#include <sstream>

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

bool IsNetworkFilesystem(const std::string& type) {
    static const char* const kNetwork[] = {"nfs",   "nfs4",      "cifs",       "smb3",
                                           "smbfs", "ncpfs",     "afs",        "ceph",
                                           "9p",    "glusterfs", "fuse.sshfs", "davfs"};
    return std::find(std::begin(kNetwork), std::end(kNetwork), type) != std::end(kNetwork);
}

bool IsOpticalFilesystem(const std::string& type) {
    return type == "iso9660" || type == "udf";
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
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<DriveFacts> DrivesFromMounts(const std::vector<MountEntry>& mounts) {
    std::vector<DriveFacts> drives;
    DriveFacts system;
    system.letter = 'C';
    system.hostRoot = "/";
    system.type = DriveType::Fixed;
    drives.push_back(system);

    char next = 'D';
    for (const MountEntry& mount : mounts) {
        if (next > 'Z') {
            break;
        }
        // Bind mounts of a part of a filesystem (a container's /etc/hosts, say) are no volume.
        if (mount.mountPoint == "/" || mount.root != "/") {
            continue;
        }
        const bool seen = std::any_of(drives.begin(), drives.end(), [&](const DriveFacts& d) {
            return d.hostRoot == mount.mountPoint;
        });
        if (seen) {
            continue;
        }
        DriveFacts drive;
        if (IsNetworkFilesystem(mount.fsType)) {
            drive.type = DriveType::Remote;
        } else if (IsOpticalFilesystem(mount.fsType)) {
            drive.type = DriveType::Cdrom;
        } else if (mount.source.rfind("/dev/", 0) == 0) {
            drive.type = DriveType::Fixed;
        } else {
            continue;  // proc, sysfs, tmpfs, overlay and the like
        }
        drive.letter = next++;
        drive.hostRoot = mount.mountPoint;
        drives.push_back(std::move(drive));
    }
    return drives;
}

}  // namespace platform

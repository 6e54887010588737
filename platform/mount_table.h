#pragma once
// The default drive table of a POSIX host, read from the mount table: "/" is drive C, and every
// other mounted filesystem on a block device (or a network filesystem) gets the next free letter
// from D on, in mount order.

#include <string>
#include <string_view>
#include <vector>

#include "platform/drive_facts.h"

namespace platform {

struct MountEntry {
    std::string mountPoint;  // unescaped
    std::string root;        // the part of the filesystem mounted there ("/" for a whole one)
    std::string fsType;
    std::string source;        // device or remote name
    unsigned deviceMajor = 0;  // the filesystem's device number (major:minor of its st_dev)
    unsigned deviceMinor = 0;
};

// Parses the text of /proc/self/mountinfo. Malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// Turns mounts into drives: letters, roots and types. Whether a block device is removable or on
// a USB bus is asked of the device by the volume layer; here such drives are fixed.
std::vector<DriveFacts> DrivesFromMounts(const std::vector<MountEntry>& mounts);

}  // namespace platform

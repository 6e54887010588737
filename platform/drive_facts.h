#pragma once
// What the launcher may know about one drive: its letter, the host directory that is its root,
// and the answers the volume queries give for it.

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Drive types, numbered as the Windows volume interface numbers them.
enum class DriveType : int {
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    Cdrom = 5,
    Ramdisk = 6,
};

struct DriveFacts {
    char letter = 0;       // upper-case 'A' to 'Z'
    std::string hostRoot;  // absolute host directory; no trailing slash except for "/" itself
    DriveType type = DriveType::Fixed;
    bool usb = false;                   // the device query reports a USB bus
    bool deviceQueryFails = false;      // the volume cannot be opened for the device query
    std::optional<uint64_t> freeBytes;  // fixed answer; empty: measure the host root
    bool freeQueryFails = false;        // the free-space query fails
};

}  // namespace platform

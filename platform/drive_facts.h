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

// The kernel's number of a block device (major:minor), as the mount table names it.
struct DeviceNumber {
    unsigned major = 0;
    unsigned minor = 0;
};

struct DriveFacts {
    char letter = 0;       // upper-case 'A' to 'Z'
    std::string hostRoot;  // absolute host directory; no trailing slash except for "/" itself
    // The root folder may not exist yet: it is made when the launcher first writes onto the
    // drive (MakeDriveRootOnFirstUse), and until then the free space is that of its parent.
    bool rootMadeOnFirstUse = false;
    // The block device under the root (a host without a profile), asked whether it is removable
    // and on a USB bus; none: the drive's type stands as given and it is not on USB.
    std::optional<DeviceNumber> blockDevice;
    DriveType type = DriveType::Fixed;
    bool usb = false;                   // the device query reports a USB bus
    bool deviceQueryFails = false;      // the volume cannot be opened for the device query
    std::optional<uint64_t> freeBytes;  // fixed answer; empty: measure the host root
    bool freeQueryFails = false;        // the free-space query fails
};

}  // namespace platform

#pragma once
// What the kernel tells about the block device under a mounted filesystem (POSIX hosts): whether
// it is removable and whether it hangs off a USB bus. The default drive table asks this for each
// drive that is not taken from a sandbox profile.

#include <optional>
#include <string>

namespace platform {

struct BlockDeviceFacts {
    bool removable = false;  // the disk's sysfs "removable" flag is 1
    bool usb = false;        // the device's sysfs path runs through a USB bus
};

// Reads <sysRoot>/dev/block/MAJOR:MINOR (sysRoot is "/sys" on a live host). A partition takes
// the removable flag of the disk that holds it. Returns nullopt when the number names no block
// device (anonymous devices of overlay, tmpfs, btrfs subvolumes and network filesystems).
std::optional<BlockDeviceFacts> ReadBlockDeviceFacts(const std::string& sysRoot, unsigned major,
                                                     unsigned minor);

}  // namespace platform

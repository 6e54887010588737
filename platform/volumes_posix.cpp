#include "platform/volumes.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cctype>
#include <string>

#include "platform/block_device.h"
#include "platform/host_facts.h"
#include "platform/volume_facts.h"

namespace platform {
namespace {

constexpr char kSysRoot[] = "/sys";

// The block device under the drive's root, as the mount table named it.
std::optional<BlockDeviceFacts> BlockDeviceOf(const DriveFacts& drive) {
    if (!drive.blockDevice) {
        return std::nullopt;
    }
    return ReadBlockDeviceFacts(kSysRoot, drive.blockDevice->major, drive.blockDevice->minor);
}

// The folder whose filesystem's free space is the drive's: its root, or, while a root made on
// first use is not there yet, the folder it will be made in.
std::string FreeSpaceFolderOf(const DriveFacts& drive) {
    struct stat info;
    if (!drive.rootMadeOnFirstUse || ::lstat(drive.hostRoot.c_str(), &info) == 0) {
        return drive.hostRoot;
    }
    const size_t slash = drive.hostRoot.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : drive.hostRoot.substr(0, slash);
}

}  // namespace

uint32_t LogicalDriveStrings(uint32_t length, wchar_t* buffer) {
    return CopyDriveList(DriveListOf(Host()->drives), length, buffer);
}

DriveType DriveTypeOf(std::wstring_view drive) {
    const auto facts = FindDriveFacts(drive);
    if (!facts) {
        return DriveType::NoRootDir;
    }
    if (facts->type == DriveType::Fixed) {
        const auto device = BlockDeviceOf(*facts);
        if (device && device->removable) {
            return DriveType::Removable;
        }
    }
    return facts->type;
}

std::optional<uint64_t> TotalFreeBytes(std::wstring_view drive) {
    const auto facts = FindDriveFacts(drive);
    if (!facts || facts->freeQueryFails) {
        return std::nullopt;
    }
    if (facts->freeBytes) {
        return facts->freeBytes;
    }
    struct statvfs info;
    if (::statvfs(FreeSpaceFolderOf(*facts).c_str(), &info) != 0) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(info.f_bfree) * static_cast<uint64_t>(info.f_frsize);
}

std::optional<int> StorageBusTypeOf(std::wstring_view devicePath) {
    const auto drive = DriveOfDevicePath(devicePath);
    const auto facts = drive ? FindDriveFacts(*drive) : std::nullopt;
    if (!facts || facts->deviceQueryFails) {
        return std::nullopt;
    }
    if (Host()->sandboxed) {
        return facts->usb ? kBusTypeUsb : kBusTypeUnknown;
    }
    const auto device = BlockDeviceOf(*facts);
    if (!device) {
        return std::nullopt;
    }
    return device->usb ? kBusTypeUsb : kBusTypeUnknown;
}

}  // namespace platform

#include "platform/volumes.h"

#include <sys/statvfs.h>

#include <cctype>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/block_device.h"
#include "platform/host_facts.h"
#include "platform/mount_table.h"

namespace platform {
namespace {

constexpr char kMountInfoFile[] = "/proc/self/mountinfo";
constexpr char kSysRoot[] = "/sys";
constexpr std::wstring_view kDevicePrefix = LR"(\\.\)";

std::optional<char> LetterOf(std::wstring_view drive) {
    if (drive.size() < 2 || drive[1] != L':' || drive[0] > 0x7F ||
        !std::isalpha(static_cast<unsigned char>(drive[0]))) {
        return std::nullopt;
    }
    const std::wstring_view rest = drive.substr(2);
    if (!rest.empty() && rest != L"\\" && rest != L"/") {
        return std::nullopt;
    }
    return static_cast<char>(std::toupper(static_cast<unsigned char>(drive[0])));
}

// The facts of the named drive, copied out of the facts in force; nullopt for no such drive.
std::optional<DriveFacts> FindDriveFacts(std::wstring_view drive) {
    const auto letter = LetterOf(drive);
    if (!letter) {
        return std::nullopt;
    }
    const auto host = Host();
    for (const DriveFacts& facts : host->drives) {
        if (facts.letter == *letter) {
            return facts;
        }
    }
    return std::nullopt;
}

// The block device under the filesystem mounted at the drive's root, on a host without a
// profile. The last mount at a place is the one in force.
std::optional<BlockDeviceFacts> BlockDeviceOf(const DriveFacts& drive) {
    if (Host()->sandboxed) {
        return std::nullopt;
    }
    std::ifstream in(kMountInfoFile);
    std::ostringstream text;
    text << in.rdbuf();
    const MountEntry* found = nullptr;
    const std::vector<MountEntry> mounts = ParseMountInfo(text.str());
    for (const MountEntry& mount : mounts) {
        if (mount.mountPoint == drive.hostRoot) {
            found = &mount;
        }
    }
    if (found == nullptr) {
        return std::nullopt;
    }
    return ReadBlockDeviceFacts(kSysRoot, found->deviceMajor, found->deviceMinor);
}

}  // namespace

uint32_t LogicalDriveStrings(uint32_t length, wchar_t* buffer) {
    std::wstring list;
    for (const DriveFacts& drive : Host()->drives) {
        list += static_cast<wchar_t>(drive.letter);
        list += L":\\";
        list += L'\0';
    }
    if (list.empty()) {
        return 0;
    }
    const auto needed = static_cast<uint32_t>(list.size() + 1);
    if (needed > length || buffer == nullptr) {
        return needed;
    }
    list.copy(buffer, list.size());
    buffer[list.size()] = L'\0';
    return static_cast<uint32_t>(list.size());
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
    if (::statvfs(facts->hostRoot.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(info.f_bfree) * static_cast<uint64_t>(info.f_frsize);
}

std::optional<int> StorageBusTypeOf(std::wstring_view devicePath) {
    if (devicePath.substr(0, kDevicePrefix.size()) != kDevicePrefix) {
        return std::nullopt;
    }
    const std::wstring_view drive = devicePath.substr(kDevicePrefix.size());
    const auto facts = drive.size() == 2 ? FindDriveFacts(drive) : std::nullopt;
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

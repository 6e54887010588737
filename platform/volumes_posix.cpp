#include "platform/volumes.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cctype>
#include <string>

#include "platform/block_device.h"
#include "platform/host_facts.h"

namespace platform {
namespace {

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
    if (::statvfs(FreeSpaceFolderOf(*facts).c_str(), &info) != 0) {
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

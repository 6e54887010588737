// The volume queries on Windows: in a sandbox from the profile's drive table (the free space of
// a drive without free= is that of its host folder), otherwise from Windows itself, asked anew
// on every call so that a disk plugged in meanwhile counts.

#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/host_facts.h"
#include "platform/text.h"
#include "platform/volume_facts.h"
#include "platform/volumes.h"
#include "platform/win_io.h"

namespace platform {
namespace {

// The largest device descriptor the query may ask room for; a larger size is no answer.
constexpr DWORD kDescriptorLimit = 64 * 1024;
// The descriptor must reach up to and including its bus type.
constexpr size_t kBusTypeEnd = offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) + sizeof(DWORD);

std::wstring RootOf(char letter) {
    return std::wstring(1, static_cast<wchar_t>(letter)) + L":\\";
}

// The folder whose free space a drive has: its host root, ending in a backslash.
std::wstring FreeSpaceFolderOf(const DriveFacts& drive) {
    std::wstring folder = NarrowToWide(drive.hostRoot);
    if (folder.empty() || folder.back() != L'\\') {
        folder += L'\\';
    }
    return folder;
}

std::optional<uint64_t> TotalFreeBytesIn(const std::wstring& folder) {
    ULARGE_INTEGER available;
    ULARGE_INTEGER total;
    ULARGE_INTEGER free;
    if (!::GetDiskFreeSpaceExW(folder.c_str(), &available, &total, &free)) {
        return std::nullopt;
    }
    return free.QuadPart;
}

// Opens the volume for the device query. Read and write access is asked first; a user without
// the right to open a volume so (anyone but an administrator) still may query its device with
// no access at all, which is all the query needs, so that a USB disk is told as such for them.
WinHandle OpenVolume(std::wstring_view devicePath) {
    const std::wstring path(devicePath);
    for (const DWORD access : {DWORD{GENERIC_READ | GENERIC_WRITE}, DWORD{0}}) {
        WinHandle volume(::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
        if (volume.valid()) {
            return volume;
        }
        if (::GetLastError() != ERROR_ACCESS_DENIED) {
            break;
        }
    }
    return WinHandle();
}

bool QueryDeviceProperty(HANDLE volume, void* out, DWORD size, DWORD& returned) {
    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    returned = 0;
    return ::DeviceIoControl(volume, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, out, size,
                             &returned, nullptr) != 0;
}

std::optional<int> BusTypeOfVolume(std::wstring_view devicePath) {
    const WinHandle volume = OpenVolume(devicePath);
    if (!volume.valid()) {
        return std::nullopt;
    }
    STORAGE_DESCRIPTOR_HEADER header = {};
    DWORD returned = 0;
    if (!QueryDeviceProperty(volume.get(), &header, sizeof header, returned) ||
        returned < sizeof header || header.Size < kBusTypeEnd || header.Size > kDescriptorLimit) {
        return std::nullopt;
    }
    std::vector<std::byte> buffer(header.Size);
    if (!QueryDeviceProperty(volume.get(), buffer.data(), header.Size, returned) ||
        returned < kBusTypeEnd) {
        return std::nullopt;
    }
    STORAGE_DEVICE_DESCRIPTOR descriptor;
    std::memcpy(&descriptor, buffer.data(), kBusTypeEnd);
    return static_cast<int>(descriptor.BusType);
}

DriveType DriveTypeOfCode(UINT code) {
    return code <= static_cast<UINT>(DriveType::Ramdisk) ? static_cast<DriveType>(code)
                                                         : DriveType::Unknown;
}

}  // namespace

uint32_t LogicalDriveStrings(uint32_t length, wchar_t* buffer) {
    const auto host = Host();
    if (host->sandboxed) {
        return CopyDriveList(DriveListOf(host->drives), length, buffer);
    }
    // Asked into a buffer of our own, so that a list that does not fit leaves the caller's
    // untouched; a drive added between the two calls makes the second one ask for more.
    std::vector<wchar_t> list(::GetLogicalDriveStringsW(0, nullptr) + 1);
    DWORD written = ::GetLogicalDriveStringsW(static_cast<DWORD>(list.size()), list.data());
    if (written >= list.size()) {
        list.assign(written + 1, L'\0');
        written = ::GetLogicalDriveStringsW(static_cast<DWORD>(list.size()), list.data());
        if (written >= list.size()) {
            written = 0;
        }
    }
    return CopyDriveList(std::wstring_view(list.data(), written), length, buffer);
}

DriveType DriveTypeOf(std::wstring_view drive) {
    if (Host()->sandboxed) {
        const auto facts = FindDriveFacts(drive);
        return facts ? facts->type : DriveType::NoRootDir;
    }
    const auto letter = DriveLetterOf(drive);
    if (!letter) {
        return DriveType::NoRootDir;
    }
    return DriveTypeOfCode(::GetDriveTypeW(RootOf(*letter).c_str()));
}

std::optional<uint64_t> TotalFreeBytes(std::wstring_view drive) {
    if (Host()->sandboxed) {
        const auto facts = FindDriveFacts(drive);
        if (!facts || facts->freeQueryFails) {
            return std::nullopt;
        }
        return facts->freeBytes ? facts->freeBytes : TotalFreeBytesIn(FreeSpaceFolderOf(*facts));
    }
    const auto letter = DriveLetterOf(drive);
    if (!letter) {
        return std::nullopt;
    }
    return TotalFreeBytesIn(RootOf(*letter));
}

std::optional<int> StorageBusTypeOf(std::wstring_view devicePath) {
    const auto drive = DriveOfDevicePath(devicePath);
    if (!drive) {
        return std::nullopt;
    }
    if (Host()->sandboxed) {
        const auto facts = FindDriveFacts(*drive);
        if (!facts || facts->deviceQueryFails) {
            return std::nullopt;
        }
        return facts->usb ? kBusTypeUsb : kBusTypeUnknown;
    }
    return BusTypeOfVolume(devicePath);
}

}  // namespace platform

#pragma once
// The volume queries of the launcher: the list of drives, a drive's type, its free space and the
// bus its storage device hangs off. Answers come from the host facts in force (the sandbox
// profile, or the mount table and the kernel's device information), or on Windows without a
// profile from Windows itself. Drives are named as the
// launcher names them: "D:" (a drive string) or "D:\" (a root path), letter in either case.

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/drive_facts.h"

namespace platform {

// Bus types of a storage device, numbered as the Windows device property query numbers them.
inline constexpr int kBusTypeUnknown = 0;
inline constexpr int kBusTypeUsb = 7;

// GetLogicalDriveStringsW: writes the root paths of all drives ("C:\", "D:\", ... in letter
// order), each ended by NUL, the list ended by a further NUL, into `buffer` of `length` wide
// characters. Returns the number of characters written without the final NUL. When the list
// does not fit, nothing is written and the length it needs (final NUL included) is returned, which
// is then greater than `length`. Returns 0 when there are no drives.
uint32_t LogicalDriveStrings(uint32_t length, wchar_t* buffer);

// GetDriveTypeW: the type of the drive; NoRootDir when there is no such drive or the text names
// none. On a host without a profile, a disk whose removable flag is set is Removable.
DriveType DriveTypeOf(std::wstring_view drive);

// GetDiskFreeSpaceExW's third answer: the total number of free bytes on the volume (not the
// caller's quota). nullopt when the query fails or there is no such drive.
std::optional<uint64_t> TotalFreeBytes(std::wstring_view drive);

// Whether the drive of a Windows-form path ("E:\Tolbe\x", "E:\Client.zip") has at least `bytes`
// free (TotalFreeBytes). True when that cannot be told: a path without a drive letter, or a
// free-space query that fails.
bool DriveHasRoomFor(std::string_view windowsPath, uint64_t bytes);

// The device property query on a volume opened by its device path ("\\.\D:"): the bus type of
// the storage device that holds it (kBusTypeUsb for a USB disk). nullopt when the volume cannot
// be opened or queried: a sandbox drive marked noquery, an unknown drive, a volume that has no
// block device (network shares, virtual filesystems).
std::optional<int> StorageBusTypeOf(std::wstring_view devicePath);

}  // namespace platform

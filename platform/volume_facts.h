#pragma once
// The volume queries answered from a drive table (the sandbox profile's on every host, the
// mount table's on POSIX): the parts of volumes.h that both host halves share.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drive_facts.h"

namespace platform {

// The upper-case letter of a drive string ("d:") or root path ("D:\", "D:/"); nullopt for any
// other text.
std::optional<char> DriveLetterOf(std::wstring_view drive);

// The facts of the named drive, copied out of the facts in force; nullopt for no such drive.
std::optional<DriveFacts> FindDriveFacts(std::wstring_view drive);

// The drive string that a device path names ("\\.\D:" gives "D:"); nullopt for any other text.
std::optional<std::wstring_view> DriveOfDevicePath(std::wstring_view devicePath);

// The root paths of the drives ("C:\", NUL, "D:\", NUL, ...), without the final NUL.
std::wstring DriveListOf(const std::vector<DriveFacts>& drives);

// Copies such a list, ended by a further NUL, into `buffer` as LogicalDriveStrings does, with
// the same result.
uint32_t CopyDriveList(std::wstring_view list, uint32_t length, wchar_t* buffer);

}  // namespace platform

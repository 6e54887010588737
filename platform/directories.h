#pragma once
// Folder operations on Windows-form paths: listing and removal (creation: archive_files.h).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct DirectoryEntry {
    std::wstring name;
    bool isDirectory = false;  // a folder, or a link whose target is a folder
    bool isLink = false;       // a symbolic link (a junction on Windows), whatever its target
};

// The entries of a folder (FindFirstFileW/FindNextFileW over "folder\*.*"), "." and ".."
// included, in the order the platform delivers them. A folder given as a link is listed through
// it; links inside are reported, never entered. nullopt when the folder cannot be read.
std::optional<std::vector<DirectoryEntry>> ListDirectory(std::wstring_view windowsDirectory);

// RemoveDirectoryW: removes an empty folder, or a link to a folder (the link, not the target).
// False for anything else, a folder that is not empty included.
bool RemoveEmptyDirectory(std::wstring_view windowsDirectory);

}  // namespace platform

#pragma once
// Folder operations on Windows-form paths: listing, removal, what an entry is, and moving
// entries within a drive (creation: archive_files.h).

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

// What is at a path itself; a link is reported as a link and never followed.
enum class EntryKind { Missing, RegularFile, Directory, Link, Other };

// The kind of the entry at the path (lstat). Missing also when the path maps to no host path or
// cannot be examined.
EntryKind EntryKindAt(std::string_view windowsPath);

// Renames one entry (a file, a folder or a link, which is moved as the link) to `to`, within one
// drive. Never replaces: false (errno EEXIST) when anything is already at `to`, and false when
// the two paths lie on different file systems or either maps to no host path.
bool MoveEntry(std::string_view from, std::string_view to);

}  // namespace platform

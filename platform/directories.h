#pragma once
// Folder operations: folders held open and the entries in them reached by the names the host
// stores, what an entry is, removal of an empty folder, and moving entries within a drive
// (creation: archive_files.h).

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct DirectoryEntry {
    // The name exactly as the host stores it: on POSIX any bytes but "/" and NUL, text in any
    // encoding or none, a "\" included. It is only ever handed back to the Folder it came from,
    // never converted or joined into a Windows-form path, so it reaches exactly this entry.
    std::string name;
    bool isDirectory = false;  // a folder, or a link whose target is a folder
    bool isLink = false;       // a symbolic link (a junction on Windows), whatever its target
};

// A folder held open (a descriptor on POSIX). Its entries are reached by their host names
// (DirectoryEntry::name) from the folder itself, so that every name the folder can hold is
// listed, removed and moved as it is, whatever an older launcher or another program left there,
// and so that a link put in a subfolder's place after the folder was opened changes nothing.
class Folder {
public:
    // Opens the folder at the Windows-form path for listing. nullopt when the path maps to no
    // host path, or what is there is no folder, or is a symbolic link (never followed, whatever
    // it points to), or cannot be read.
    static std::optional<Folder> Open(std::string_view windowsPath);

    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    ~Folder();

    // The entries (FindFirstFileW/FindNextFileW over "folder\*.*"), "." and ".." included, in
    // the order the platform delivers them. Links are reported, never entered. nullopt when the
    // folder cannot be read.
    std::optional<std::vector<DirectoryEntry>> List() const;

    // The subfolder `name`, held open; nullopt as for Open (a link in its place is not entered).
    std::optional<Folder> OpenSubfolder(const std::string& name) const;

    // DeleteFileW: deletes the file `name`, or the link `name` itself (never its target, also
    // when that is a folder). A folder is not deleted.
    bool DeleteOneFile(const std::string& name) const;

    // RemoveDirectoryW: removes the empty subfolder `name`, or a link to a folder (the link, not
    // the target). False for anything else, a folder that is not empty included.
    bool RemoveEmptySubfolder(const std::string& name) const;

    // SetFileAttributesW(FILE_ATTRIBUTE_NORMAL) on the file `name`: clears read-only, so that
    // it can be deleted; on POSIX the owner gets write permission. A link is left as it is and
    // its target untouched (false).
    bool MakeFileWritable(const std::string& name) const;

    // Moves the entry `name` (a file, a folder or a link, moved as the link) into the folder
    // `to` under the same name, within one drive. Never replaces: false (errno EEXIST) when
    // anything is already there, and false when the folders lie on different file systems.
    bool MoveEntryTo(const std::string& name, const Folder& to) const;

private:
    struct Handle;  // the host's hold on the folder
    explicit Folder(std::unique_ptr<Handle> handle);

    std::unique_ptr<Handle> m_handle;
};

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

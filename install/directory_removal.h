#pragma once
// Removal of a whole directory tree: the client directory of an outdated installation, and the
// launcher's side folders beside it.

#include <string>

namespace platform {
class Folder;
struct DirectoryEntry;
}  // namespace platform

// Deletes `directory` (a Windows-form path, with or without a trailing backslash) with
// everything in it, depth first: files are made writable and deleted, subdirectories emptied and
// removed. Returns whether the directory itself is gone at the end; an entry that cannot be
// deleted keeps its directories (and so the result false) but does not stop the rest.
//
// Entries are reached by the names the host stores, whatever their bytes (names that are no
// text, names holding "\"), so that whatever an older launcher or another program left in the
// tree is removed with it. The removal never leaves the tree: a symbolic link (or junction)
// inside it, or at `directory` itself, is removed as a link and never entered, and its target is
// not touched. A path that reaches a drive's root (such as "D:\.\" or "\") is refused: nothing
// is deleted and the result is false.
bool DeleteDirectoryTree(const std::wstring& directory);

// Deletes one entry of an open folder as DeleteDirectoryTree deletes the entries of its tree: a
// link as the link, a subfolder with everything in it, a file made writable first. Whether the
// entry is gone. Not for "." and "..".
bool DeleteFolderEntry(const platform::Folder& folder, const platform::DirectoryEntry& entry);

#pragma once
// Removal of a whole directory tree: the client directory of an outdated installation.

#include <string>

// Deletes `directory` (a Windows-form path, with or without a trailing backslash) with
// everything in it, depth first: files are made writable and deleted, subdirectories emptied and
// removed. Returns whether the directory itself is gone at the end; an entry that cannot be
// deleted keeps its directories (and so the result false) but does not stop the rest.
//
// The removal never leaves the tree: a symbolic link (or junction) inside it is removed as a
// link and never entered, and its target is not touched. A path that reaches a drive's root
// (such as "D:\.\" or "\") is refused: nothing is deleted and the result is false.
bool DeleteDirectoryTree(const std::wstring& directory);

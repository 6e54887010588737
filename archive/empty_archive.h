#pragma once
// Recognising a zip archive without entries.

#include <string_view>

// True when the file at the Windows-form path is a zip archive without any entry: nothing but
// the end-of-central-directory record (and its comment). minizip refuses to open such an archive,
// since its search for that record never looks at the file's very first byte; for the launcher
// it is simply an archive with nothing to extract.
bool IsEmptyZipArchive(std::string_view windowsPath);

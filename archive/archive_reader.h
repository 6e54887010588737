#pragma once
// Opening the client archive for minizip with the launcher's own reading functions.

#include <unzip.h>

#include <optional>
#include <string>

#include "archive/minizip_handles.h"

// Opens the zip archive at the Windows-form path for minizip (unzOpen2_64), reading it through
// the platform layer with read-ahead. minizip asks for small pieces (each header field, then 16
// KiB of compressed data at a time); served straight from the file, each would cost a seek and a
// read of its own. Null when the file cannot be opened or is no zip archive minizip can read.
ArchiveHandle OpenArchive(const std::string& windowsPath);

// Room for an entry's name at the first reading; a longer name is read again, whole.
inline constexpr size_t kEntryNameBufferBytes = 512;

// The current entry's record and its name as the text it is written under, or nullopt when the
// record cannot be read or the name is empty, no text, or could lead outside the target. The
// name is read whole however long the archive stores it.
std::optional<std::string> ReadCurrentEntryName(unzFile archive, unz_file_info64& info);

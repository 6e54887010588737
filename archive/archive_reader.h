#pragma once
// Opening the client archive for minizip with the launcher's own reading functions.

#include <string>

#include "archive/minizip_handles.h"

// Opens the zip archive at the Windows-form path for minizip (unzOpen2_64), reading it through
// the platform layer with read-ahead. minizip asks for small pieces (each header field, then 16
// KiB of compressed data at a time); served straight from the file, each would cost a seek and a
// read of its own. Null when the file cannot be opened or is no zip archive minizip can read.
ArchiveHandle OpenArchive(const std::string& windowsPath);

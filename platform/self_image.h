#pragma once
// The running launcher's own executable image.

#include <string_view>

namespace platform {

// Writes a copy of the running executable to the Windows-form path, executable like the
// original. Works also when the executable's file has been removed since the start (the image
// the process runs from is still readable). True on success.
bool CopyRunningExecutable(std::string_view windowsPath);

}  // namespace platform

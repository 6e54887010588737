#pragma once
// Whether a Windows-form path reaches up to a drive's root. Operations that delete whole trees
// ask this first, so that no path built from outside input ("X:\" + "." + "\", an empty folder
// name) can make them empty a drive.

#include <string_view>

namespace platform {

// True when the path maps to the root of a drive of the host facts in force, to a folder that
// holds such a root (a mount point below it), to the host's "/", or to no host path at all.
bool ReachesDriveRoot(std::string_view windowsPath);

}  // namespace platform

#pragma once
// Drive roots: whether a Windows-form path reaches up to one, and the making of a root that the
// drive table lists before it exists. Operations that delete whole trees ask the first, so that
// no path built from outside input ("X:\" + "." + "\", an empty folder name) can make them
// empty a drive.

#include <string_view>

namespace platform {

// True when the path maps to the root of a drive of the host facts in force, to a folder that
// holds such a root (a mount point below it), to the host's "/" (on Windows: the root of any
// drive of the host, or a share or device path), or to no host path at all.
bool ReachesDriveRoot(std::string_view windowsPath);

// Makes the root folder of `drive` ("D:" or "D:\") when the drive table marks it as made on
// first use (~/Games on a host without a profile) and it is not there yet. Called when the
// launcher is about to write onto the drive; listing, searching and choosing drives never make
// it. False only when such a root cannot be made, or something that is not a folder (a link
// included) is in its place; true in every other case, a drive the table does not know included.
bool MakeDriveRootOnFirstUse(std::string_view drive);

}  // namespace platform

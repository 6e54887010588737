#pragma once
// The default drive table of a POSIX host, read from the mount table:
//
//   C:  "/", the system's own filesystem (the install drive is never C)
//   D:  ~/Games, a folder the user owns on the home filesystem, made when the launcher first
//       writes onto D (it need not exist for D to be listed and chosen)
//   E:, F:, ...  each other local disk mounted read-write under /mnt, /media or /run/media, in
//       mount order, whose mount point the user can write (the mount point is the root), or
//       that holds a folder named after the user that the user owns at its top (that folder is
//       the root)
//
// No letter goes to /boot or /boot/efi, to network shares (a share whose server is gone would
// hold every drive search up), nor to read-only, squashfs, loop, pseudo or bind mounts of a part
// of a filesystem, nor to a second mount of the system filesystem.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drive_facts.h"

namespace platform {

struct MountEntry {
    std::string mountPoint;  // unescaped
    std::string root;        // the part of the filesystem mounted there ("/" for a whole one)
    std::string fsType;
    std::string source;        // device or remote name
    unsigned deviceMajor = 0;  // the filesystem's device number (major:minor of its st_dev)
    unsigned deviceMinor = 0;
    bool readOnly = false;  // the mount or the filesystem itself is read-only
};

// Parses the text of /proc/self/mountinfo. Malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// How the user may use what is at a host path, as far as the drive table needs to know.
enum class FolderUse {
    Missing,   // nothing there
    Unusable,  // a link, a file, or a folder the user cannot write
    Writable,  // a folder the user can write but does not own
    Owned,     // a folder the user owns and can write
};

// What the drive table needs to know besides the mount table: who the user is and how the user
// may use a folder.
struct MountTableUser {
    std::string home;       // the home folder: absolute, links resolved; empty when unknown
    std::string loginName;  // empty when unknown
    std::function<FolderUse(const std::string& hostPath)> folderUse;
};

// The folder in the home folder that is drive D's root.
inline constexpr char kHomeGamesFolder[] = "Games";

// Turns mounts into drives, by the rules at the top of this file. Whether a disk is removable
// or on a USB bus is asked of its block device by the volume layer; here such drives are fixed.
std::vector<DriveFacts> DrivesFromMounts(const std::vector<MountEntry>& mounts,
                                         const MountTableUser& user);

// The drive table of this host: its mount table, the user the process runs as, and that user's
// rights on the folders as they are now. Lists drives only; it makes nothing.
std::vector<DriveFacts> HostDrivesFromMountTable();

}  // namespace platform

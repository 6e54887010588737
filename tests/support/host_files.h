#pragma once
// What the host's file system holds, for the tests of both hosts: folders listed as trees with
// links reported and never entered, links made to folders and files, the read-only state, and
// trees removed without following a link. Host paths are narrow strings in the platform layer's
// encoding: UTF-8 (any bytes) on POSIX, the ANSI code page on Windows.

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"

namespace tolbe_test {

// The host path as std::filesystem names it, and back.
std::filesystem::path HostPathOf(const std::string& hostPath);
std::string NarrowHostPath(const std::filesystem::path& path);

// A symbolic link (on Windows any reparse point, a junction among them), whatever it leads to.
// Wine shows a host link to a file as the file itself and hides one that leads nowhere.
bool IsHostLink(const std::filesystem::path& path);

// Makes `link` (not there yet) a link to the folder `target`: a symbolic link on POSIX, on
// Windows a junction or, under Wine, the host's symbolic link (see win_links.h). Throws when it
// cannot be made.
void MakeHostFolderLink(const std::string& link, const std::string& target);
// Makes `link` (not there yet) a symbolic link to the file `target`, which need not exist.
// Throws when it cannot be made.
void MakeHostFileLink(const std::string& link, const std::string& target);

// False under Wine, which shows a host symbolic link to a file as that file and deletes the file
// it leads to when the link is deleted: no Windows program there can tell such a link from its
// target, so the tests of links to files skip with kFileLinksUnseen.
bool HostShowsFileLinks();
inline constexpr char kFileLinksUnseen[] =
    "Wine shows a host link to a file as that file, and deleting the link deletes the file";
// False under Wine, which cannot remove a host link to a folder: RemoveDirectoryW follows it.
bool HostRemovesFolderLinks();

// One entry of a host folder, as the host lists it ("." and ".." left out).
struct HostEntry {
    std::filesystem::path path;
    bool isLink = false;    // as IsHostLink tells
    bool isFolder = false;  // a folder that is no link
};
// The entries of the folder; none when it cannot be listed. On Windows through the wide file API
// (MinGW's std::filesystem cannot list a folder whose path is longer than MAX_PATH).
std::vector<HostEntry> HostEntries(const std::filesystem::path& folder);

// Everything below a host folder: relative path ("/" between names; the names UTF-8 on Windows,
// their bytes as they are on POSIX) -> content, "<dir>" for a folder or "<link>" for a link,
// which is never entered or read.
using HostTree = std::map<std::string, std::string>;
HostTree TreeBelow(const std::string& hostDir);
// Only the regular files of TreeBelow: relative path -> content.
HostTree FilesBelow(const std::string& hostDir);

// The permission bits of the entry itself (never a link's target): on POSIX as lstat gives them;
// on Windows 0444 for a read-only entry, else 0666, as that is all the attributes can say.
unsigned HostModeOf(const std::filesystem::path& path);
inline unsigned HostModeOf(const std::string& hostPath) {
    return HostModeOf(HostPathOf(hostPath));
}
// Sets the permission bits (chmod); on Windows the entry becomes read-only when `mode` gives
// the owner no write permission, and writable otherwise. Throws when that fails.
void SetHostMode(const std::filesystem::path& path, unsigned mode);
inline void SetHostMode(const std::string& hostPath, unsigned mode) {
    SetHostMode(HostPathOf(hostPath), mode);
}

// Removes the entry and, for a folder, everything below it: read-only files and folders without
// write permission included, a link as the link itself, never anything it leads to (under Wine
// through the host's rm, since Wine cannot remove a host link). Never throws; what cannot be
// removed stays.
void RemoveHostTree(const std::filesystem::path& path);

// The launcher's wait for entries that another program holds (platform::SetWaitForHeldFiles),
// set for the life of the object: tests of what fails with an entry held throughout see the
// failure without waiting the launcher's full time for it.
class WaitForHeldFiles {
public:
    explicit WaitForHeldFiles(std::chrono::milliseconds wait) {
        platform::SetWaitForHeldFiles(wait);
    }
    ~WaitForHeldFiles() { platform::SetWaitForHeldFiles(platform::kWaitForHeldFiles); }
    WaitForHeldFiles(const WaitForHeldFiles&) = delete;
    WaitForHeldFiles& operator=(const WaitForHeldFiles&) = delete;
};

#ifdef _WIN32
// The entry (a file or a folder) held open the way a running program holds its files, without
// delete sharing: while the object lives it can be neither deleted nor moved, nor replaced.
class HeldOpenEntry {
public:
    explicit HeldOpenEntry(const std::string& hostPath);
    ~HeldOpenEntry();
    HeldOpenEntry(const HeldOpenEntry&) = delete;
    HeldOpenEntry& operator=(const HeldOpenEntry&) = delete;

private:
    void* m_handle;
};
#endif

}  // namespace tolbe_test

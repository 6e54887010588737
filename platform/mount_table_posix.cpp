// The host side of the mount table: /proc/self/mountinfo, the user the process runs as, and
// that user's rights on a folder.

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/files.h"
#include "platform/mount_table.h"

namespace platform {
namespace {

constexpr char kMountInfoFile[] = "/proc/self/mountinfo";
constexpr size_t kPasswordBufferSize = 16384;

// A machine with thousands of containers has a mount table of a few MiB; beyond the cap the
// table is taken as empty (drive C alone, and D).
constexpr size_t kMountInfoMaxBytes = size_t{64} << 20;

std::string ReadMountInfo() {
    return ReadWholeHostFile(kMountInfoFile, kMountInfoMaxBytes).value_or(std::string());
}

// What is at the path itself (a link is never followed) and whether the user may write there.
FolderUse FolderUseOf(const std::string& hostPath) {
    struct stat info;
    if (::lstat(hostPath.c_str(), &info) != 0) {
        return errno == ENOENT ? FolderUse::Missing : FolderUse::Unusable;
    }
    if (!S_ISDIR(info.st_mode) ||
        ::faccessat(AT_FDCWD, hostPath.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        return FolderUse::Unusable;
    }
    return info.st_uid == ::geteuid() ? FolderUse::Owned : FolderUse::Writable;
}

// The resolved path of `path`, or empty when it cannot be resolved.
std::string ResolvedPath(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                               &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

// The home folder ($HOME, else the user database's) and login name of the process's user.
MountTableUser CurrentUser() {
    MountTableUser user;
    std::vector<char> buffer(kPasswordBufferSize);
    struct passwd entry;
    struct passwd* found = nullptr;
    const bool known =
        ::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr;
    const char* home = std::getenv("HOME");
    if ((home == nullptr || home[0] != '/') && known) {
        home = entry.pw_dir;
    }
    if (home != nullptr && home[0] == '/') {
        user.home = ResolvedPath(home);
    }
    if (known && entry.pw_name != nullptr) {
        user.loginName = entry.pw_name;
    }
    user.folderUse = FolderUseOf;
    return user;
}

}  // namespace

std::vector<DriveFacts> HostDrivesFromMountTable() {
    return DrivesFromMounts(ParseMountInfo(ReadMountInfo()), CurrentUser());
}

}  // namespace platform

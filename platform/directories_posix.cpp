#include "platform/directories.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/paths.h"
#include "platform/text.h"

namespace platform {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirPointer = std::unique_ptr<DIR, DirCloser>;

DirectoryEntry EntryOf(int dirFd, const char* name) {
    DirectoryEntry entry;
    entry.name = NarrowToWide(name);
    struct stat info;
    if (::fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return entry;
    }
    entry.isLink = S_ISLNK(info.st_mode);
    if (entry.isLink) {
        struct stat target;
        entry.isDirectory = ::fstatat(dirFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
    } else {
        entry.isDirectory = S_ISDIR(info.st_mode);
    }
    return entry;
}

}  // namespace

std::optional<std::vector<DirectoryEntry>> ListDirectory(std::wstring_view windowsDirectory) {
    const auto hostPath = ToHostPath(WideToNarrow(windowsDirectory));
    if (!hostPath) {
        return std::nullopt;
    }
    const DirPointer dir(::opendir(hostPath->c_str()));
    if (!dir) {
        return std::nullopt;
    }
    std::vector<DirectoryEntry> entries;
    for (;;) {
        errno = 0;
        const dirent* found = ::readdir(dir.get());
        if (found == nullptr) {
            break;
        }
        entries.push_back(EntryOf(::dirfd(dir.get()), found->d_name));
    }
    if (errno != 0) {
        return std::nullopt;
    }
    return entries;
}

bool RemoveEmptyDirectory(std::wstring_view windowsDirectory) {
    const auto hostPath = ToHostPath(WideToNarrow(windowsDirectory));
    struct stat info;
    if (!hostPath || ::lstat(hostPath->c_str(), &info) != 0) {
        return false;
    }
    if (S_ISLNK(info.st_mode)) {
        struct stat target;
        if (::stat(hostPath->c_str(), &target) != 0 || !S_ISDIR(target.st_mode)) {
            errno = ENOTDIR;
            return false;
        }
        return ::unlink(hostPath->c_str()) == 0;
    }
    return ::rmdir(hostPath->c_str()) == 0;
}

EntryKind EntryKindAt(std::string_view windowsPath) {
    const auto hostPath = ToHostPath(windowsPath);
    struct stat info;
    if (!hostPath || ::lstat(hostPath->c_str(), &info) != 0) {
        return EntryKind::Missing;
    }
    if (S_ISLNK(info.st_mode)) {
        return EntryKind::Link;
    }
    if (S_ISREG(info.st_mode)) {
        return EntryKind::RegularFile;
    }
    return S_ISDIR(info.st_mode) ? EntryKind::Directory : EntryKind::Other;
}

bool MoveEntry(std::string_view from, std::string_view to) {
    const auto hostFrom = ToHostPath(from);
    const auto hostTo = ToHostPath(to);
    if (!hostFrom || !hostTo) {
        errno = ENOENT;
        return false;
    }
    if (::renameat2(AT_FDCWD, hostFrom->c_str(), AT_FDCWD, hostTo->c_str(), RENAME_NOREPLACE) ==
        0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without the no-replace rename: look first. A plain rename would put a folder
    // over an empty folder, or a file over a file.
    struct stat info;
    if (::lstat(hostTo->c_str(), &info) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(hostFrom->c_str(), hostTo->c_str()) == 0;
}

}  // namespace platform

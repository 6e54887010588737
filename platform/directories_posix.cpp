#include "platform/directories.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

}  // namespace platform

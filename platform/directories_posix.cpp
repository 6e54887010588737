#include "platform/directories.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/paths.h"
#include "platform/posix_io.h"
#include "platform/text.h"

namespace platform {
namespace {

// Read access for listing; O_NOFOLLOW: a link in the folder's place fails the open.
constexpr int kFolderOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirPointer = std::unique_ptr<DIR, DirCloser>;

DirectoryEntry EntryOf(int dirFd, const char* name) {
    DirectoryEntry entry;
    entry.name = name;
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

// The empty folder `name` in the folder `dirFd` (AT_FDCWD: a path), or a link there to a folder.
bool RemoveEmptyFolderAt(int dirFd, const char* name) {
    struct stat info;
    if (::fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return false;
    }
    if (S_ISLNK(info.st_mode)) {
        struct stat target;
        if (::fstatat(dirFd, name, &target, 0) != 0 || !S_ISDIR(target.st_mode)) {
            errno = ENOTDIR;
            return false;
        }
        return ::unlinkat(dirFd, name, 0) == 0;
    }
    return ::unlinkat(dirFd, name, AT_REMOVEDIR) == 0;
}

// Renames `from` in the folder `fromDir` to `to` in `toDir` (AT_FDCWD: paths), never replacing.
bool RenameNoReplace(int fromDir, const char* from, int toDir, const char* to) {
    if (::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without the no-replace rename: look first. A plain rename would put a folder
    // over an empty folder, or a file over a file.
    struct stat info;
    if (::fstatat(toDir, to, &info, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::renameat(fromDir, from, toDir, to) == 0;
}

}  // namespace

struct Folder::Handle {
    explicit Handle(int fd) : folder(fd) {}
    Descriptor folder;
};

std::optional<Folder> Folder::Open(std::string_view windowsPath) {
    const auto hostPath = ToHostPath(windowsPath);
    if (!hostPath) {
        errno = ENOENT;
        return std::nullopt;
    }
    const int fd = ::open(hostPath->c_str(), kFolderOpenFlags);
    if (fd < 0) {
        return std::nullopt;
    }
    return Folder(std::make_unique<Handle>(fd));
}

Folder::Folder(std::unique_ptr<Handle> handle) : m_handle(std::move(handle)) {}
Folder::Folder(Folder&& other) noexcept = default;
Folder& Folder::operator=(Folder&& other) noexcept = default;
Folder::~Folder() = default;

std::optional<std::vector<DirectoryEntry>> Folder::List() const {
    const int folder = m_handle->folder.get();
    // The listing takes a descriptor of its own, so that the folder stays held for the entries.
    const int listed = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listed < 0) {
        return std::nullopt;
    }
    const DirPointer dir(::fdopendir(listed));
    if (!dir) {
        ::close(listed);
        return std::nullopt;
    }
    std::vector<DirectoryEntry> entries;
    for (;;) {
        errno = 0;
        const dirent* found = ::readdir(dir.get());
        if (found == nullptr) {
            break;
        }
        entries.push_back(EntryOf(folder, found->d_name));
    }
    if (errno != 0) {
        return std::nullopt;
    }
    return entries;
}

std::optional<Folder> Folder::OpenSubfolder(const std::string& name) const {
    const int fd = ::openat(m_handle->folder.get(), name.c_str(), kFolderOpenFlags);
    if (fd < 0) {
        return std::nullopt;
    }
    return Folder(std::make_unique<Handle>(fd));
}

bool Folder::DeleteOneFile(const std::string& name) const {
    // unlink never removes a folder (EISDIR) and removes a link itself.
    return ::unlinkat(m_handle->folder.get(), name.c_str(), 0) == 0;
}

bool Folder::RemoveEmptySubfolder(const std::string& name) const {
    return RemoveEmptyFolderAt(m_handle->folder.get(), name.c_str());
}

bool Folder::MakeFileWritable(const std::string& name) const {
    return AddOwnerWriteAt(m_handle->folder.get(), name.c_str());
}

bool Folder::MoveEntryTo(const std::string& name, const Folder& to) const {
    return RenameNoReplace(m_handle->folder.get(), name.c_str(), to.m_handle->folder.get(),
                           name.c_str());
}

bool RemoveEmptyDirectory(std::wstring_view windowsDirectory) {
    const auto hostPath = ToHostPath(WideToNarrow(windowsDirectory));
    return hostPath && RemoveEmptyFolderAt(AT_FDCWD, hostPath->c_str());
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
    return RenameNoReplace(AT_FDCWD, hostFrom->c_str(), AT_FDCWD, hostTo->c_str());
}

}  // namespace platform

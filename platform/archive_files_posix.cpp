#include "platform/archive_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/posix_io.h"

namespace platform {
namespace {

bool StatAt(std::string_view windowsPath, struct stat& info) {
    const std::optional<std::string> hostPath = ToHostPath(windowsPath);
    return hostPath && ::stat(hostPath->c_str(), &info) == 0;
}

// A folder is held only to reach names inside it, which needs no read permission where the host
// can open it for that alone. O_NOFOLLOW: a link in a folder's place fails the open.
#ifdef O_PATH
constexpr int kFolderOpenFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#else
constexpr int kFolderOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#endif

// Opens the folder `name` inside the folder `parent`, making it first when nothing is there.
int EnterOrMakeFolder(int parent, const std::string& name) {
    int fd = ::openat(parent, name.c_str(), kFolderOpenFlags);
    if (fd < 0 && errno == ENOENT) {
        // Someone else making it meanwhile is as good as making it; anything else that appears
        // there (a link, a file) fails the open below.
        if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST) {
            return -1;
        }
        fd = ::openat(parent, name.c_str(), kFolderOpenFlags);
    }
    return fd;
}

// The components of a relative path below an extraction target; false (EINVAL) for one that
// climbs with ".." or holds a NUL byte, which the host would cut short.
bool RelativeComponents(std::string_view relativePath, std::vector<std::string_view>& parts) {
    bool climbed = false;
    parts = PathComponents(relativePath, PathForm::Windows, &climbed);
    if (climbed || relativePath.find('\0') != std::string_view::npos) {
        errno = EINVAL;
        return false;
    }
    return true;
}

}  // namespace

bool IsDirectoryAt(std::string_view windowsPath) {
    struct stat info;
    return StatAt(windowsPath, info) && S_ISDIR(info.st_mode);
}

bool IsFileAt(std::string_view windowsPath) {
    struct stat info;
    return StatAt(windowsPath, info) && !S_ISDIR(info.st_mode);
}

bool MakeDirectoryAt(std::string_view windowsPath) {
    const std::optional<std::string> hostPath = ToHostPath(windowsPath);
    return hostPath && ::mkdir(hostPath->c_str(), 0777) == 0;
}

std::optional<ArchiveInputFile> ArchiveInputFile::Open(std::string_view windowsPath) {
    const std::optional<std::string> hostPath = ToHostPath(windowsPath);
    if (!hostPath) {
        errno = ENOENT;
        return std::nullopt;
    }
    return OpenHost(*hostPath);
}

std::optional<ArchiveInputFile> ArchiveInputFile::OpenHost(const std::string& hostPath) {
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return std::nullopt;
    }
    return ArchiveInputFile(fd);
}

std::optional<size_t> ArchiveInputFile::ReadAt(uint64_t offset, void* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(m_fd.get(), static_cast<char*>(data) + done, size - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            break;  // the end of the file
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

std::optional<uint64_t> ArchiveInputFile::Size() {
    struct stat info;
    if (::fstat(m_fd.get(), &info) != 0) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(info.st_size);
}

struct ExtractionTarget::Folders {
    explicit Folders(int fd) : root(fd) {}

    Descriptor root;
    std::string lastFolder;                  // components of lastFolderFd's folder, "/"-joined
    std::optional<Descriptor> lastFolderFd;  // the folder entered last, when not the root

    // The descriptor of the folder made of the components, entered one by one from the root
    // and made when missing unless `make` is false, or -1 (errno set). The last folder entered
    // stays open, since consecutive entries of an archive mostly share their folder; the root
    // itself is held anyway.
    int Enter(const std::vector<std::string_view>& folders, bool make = true) {
        if (folders.empty()) {
            return root.get();
        }
        std::string key;
        for (const std::string_view name : folders) {
            key += '/';
            key += name;
        }
        if (lastFolderFd && key == lastFolder) {
            return lastFolderFd->get();
        }
        lastFolderFd.reset();
        lastFolder.clear();
        for (const std::string_view name : folders) {
            const int parent = lastFolderFd ? lastFolderFd->get() : root.get();
            const std::string component(name);
            const int next = make ? EnterOrMakeFolder(parent, component)
                                  : ::openat(parent, component.c_str(), kFolderOpenFlags);
            if (next < 0) {
                const int cause = errno;
                lastFolderFd.reset();
                errno = cause;
                return -1;
            }
            lastFolderFd.emplace(next);  // closes the parent, which is no longer needed
        }
        lastFolder = std::move(key);
        return lastFolderFd->get();
    }
};

std::optional<ExtractionTarget> ExtractionTarget::Open(std::string_view windowsPath) {
    const std::optional<std::string> hostPath = ToHostPath(windowsPath);
    if (!hostPath) {
        errno = ENOENT;
        return std::nullopt;
    }
    const int fd = ::open(hostPath->c_str(), kFolderOpenFlags);
    if (fd < 0) {
        return std::nullopt;
    }
    return ExtractionTarget(std::make_unique<Folders>(fd));
}

std::optional<ExtractionTarget> ExtractionTarget::OpenAnother() const {
    const int fd = ::fcntl(m_folders->root.get(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        return std::nullopt;
    }
    return ExtractionTarget(std::make_unique<Folders>(fd));
}

ExtractionTarget::ExtractionTarget(std::unique_ptr<Folders> folders)
    : m_folders(std::move(folders)) {}

ExtractionTarget::ExtractionTarget(ExtractionTarget&& other) noexcept = default;
ExtractionTarget& ExtractionTarget::operator=(ExtractionTarget&& other) noexcept = default;
ExtractionTarget::~ExtractionTarget() = default;

bool ExtractionTarget::MakeFolders(std::string_view relativePath) {
    std::vector<std::string_view> folders;
    return RelativeComponents(relativePath, folders) && m_folders->Enter(folders) >= 0;
}

std::optional<FileWriter> ExtractionTarget::CreateFile(std::string_view relativePath,
                                                       unsigned mode) {
    std::vector<std::string_view> parts;
    if (!RelativeComponents(relativePath, parts)) {
        return std::nullopt;
    }
    if (parts.empty()) {
        errno = EISDIR;  // the target itself
        return std::nullopt;
    }
    const std::string name(parts.back());
    parts.pop_back();
    const int folder = m_folders->Enter(parts);
    if (folder < 0) {
        return std::nullopt;
    }
    // Removing first, then creating exclusively, never follows a link at the name and never
    // writes into a file that another name (a hard link) or a running program still uses.
    if (::unlinkat(folder, name.c_str(), 0) != 0 && errno != ENOENT) {
        return std::nullopt;  // a directory, or a folder without write permission
    }
    const int fd = ::openat(folder, name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                            static_cast<mode_t>(mode & kFilePermissionMask));
    if (fd < 0) {
        return std::nullopt;
    }
    return FileWriter(fd);
}

bool ExtractionTarget::RemoveFile(std::string_view relativePath) {
    std::vector<std::string_view> parts;
    if (!RelativeComponents(relativePath, parts)) {
        return false;
    }
    if (parts.empty()) {
        errno = EISDIR;  // the target itself
        return false;
    }
    const std::string name(parts.back());
    parts.pop_back();
    const int folder = m_folders->Enter(parts, false);
    if (folder < 0) {
        return errno == ENOENT;  // no folder, so no file either
    }
    return ::unlinkat(folder, name.c_str(), 0) == 0 || errno == ENOENT;
}

}  // namespace platform

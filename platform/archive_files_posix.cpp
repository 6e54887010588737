#include "platform/archive_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/paths.h"
#include "platform/posix_io.h"

namespace platform {
namespace {

bool StatAt(std::string_view windowsPath, struct stat& info) {
    const std::optional<std::string> hostPath = ToHostPath(windowsPath);
    return hostPath && ::stat(hostPath->c_str(), &info) == 0;
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
    const int fd = ::open(hostPath->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return std::nullopt;
    }
    return ArchiveInputFile(fd);
}

ArchiveInputFile::ArchiveInputFile(ArchiveInputFile&& other) noexcept : m_fd(other.m_fd) {
    other.m_fd = -1;
}

ArchiveInputFile& ArchiveInputFile::operator=(ArchiveInputFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

ArchiveInputFile::~ArchiveInputFile() {
    Close();
}

void ArchiveInputFile::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

std::optional<size_t> ArchiveInputFile::ReadAt(uint64_t offset, void* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(m_fd, static_cast<char*>(data) + done, size - done,
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
    if (::fstat(m_fd, &info) != 0) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(info.st_size);
}

std::optional<ExtractedFile> ExtractedFile::Create(std::string_view windowsPath, unsigned mode) {
    const std::optional<std::string> hostPath = ToHostPath(windowsPath);
    if (!hostPath) {
        errno = ENOENT;
        return std::nullopt;
    }
    // Removing first, then creating exclusively, never follows a link at the path and never
    // writes into a file that another name (a hard link) or a running program still uses.
    if (::unlink(hostPath->c_str()) != 0 && errno != ENOENT) {
        return std::nullopt;  // a directory, or a folder without write permission
    }
    const int fd = ::open(hostPath->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          static_cast<mode_t>(mode & kFilePermissionMask));
    if (fd < 0) {
        return std::nullopt;
    }
    return ExtractedFile(fd);
}

ExtractedFile::ExtractedFile(ExtractedFile&& other) noexcept : m_fd(other.m_fd) {
    other.m_fd = -1;
}

ExtractedFile& ExtractedFile::operator=(ExtractedFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

ExtractedFile::~ExtractedFile() {
    Close();
}

bool ExtractedFile::Write(const void* data, size_t size) {
    return m_fd >= 0 && WriteAll(m_fd, std::string_view(static_cast<const char*>(data), size));
}

bool ExtractedFile::Close() {
    if (m_fd < 0) {
        return false;
    }
    const int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0;
}

}  // namespace platform

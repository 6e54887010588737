#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <memory>

#include "platform/paths.h"
#include "platform/posix_io.h"
#include "platform/text.h"

namespace platform {
namespace {

std::string DirectoryOf(const std::string& hostPath) {
    const size_t slash = hostPath.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : hostPath.substr(0, slash);
}

void SyncDirectory(const std::string& directory) {
    Descriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) {
        ::fsync(dir.get());
    }
}

}  // namespace

std::optional<std::string> ReadWholeHostFile(const std::string& hostPath, size_t maxBytes) {
    // Opened without blocking: a FIFO (or a device) in the file's place would otherwise wait
    // for a writer forever; it is then refused below like any other file that is not regular.
    Descriptor file(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat info;
    if (!file.valid() || ::fstat(file.get(), &info) != 0) {
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return std::nullopt;
    }
    // A regular file reads the same either way; reading it blocking keeps it so on any file
    // system.
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return std::nullopt;
    }
    if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
        errno = EFBIG;
        return std::nullopt;
    }
    std::string content;
    content.reserve(static_cast<size_t>(info.st_size));
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            return content;
        }
        if (content.size() + static_cast<size_t>(n) > maxBytes) {
            errno = EFBIG;
            return std::nullopt;  // grew while being read
        }
        content.append(buffer, static_cast<size_t>(n));
    }
}

std::optional<std::string> ReadWholeFile(std::string_view windowsPath, size_t maxBytes) {
    const auto hostPath = ToHostPath(windowsPath);
    if (!hostPath) {
        return std::nullopt;
    }
    return ReadWholeHostFile(*hostPath, maxBytes);
}

bool ReplaceHostFile(const std::string& hostPath, std::string_view bytes) {
    static std::atomic<unsigned> counter{0};
    const std::string temporary = hostPath + ".tmp-" + std::to_string(::getpid()) + "-" +
                                  std::to_string(counter.fetch_add(1));
    Descriptor file(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (!file.valid()) {
        return false;
    }
    const bool written = WriteAll(file.get(), bytes) && ::fsync(file.get()) == 0;
    if (!file.Close() || !written || ::rename(temporary.c_str(), hostPath.c_str()) != 0) {
        const int cause = errno;  // kept for the caller's message
        ::unlink(temporary.c_str());
        errno = cause;
        return false;
    }
    SyncDirectory(DirectoryOf(hostPath));
    return true;
}

bool CreateOwnerOnlyHostFile(const std::string& hostPath, std::string_view bytes) {
    constexpr mode_t kOwnerOnly = 0600;
    Descriptor file(
        ::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, kOwnerOnly));
    if (!file.valid()) {
        return false;
    }
    // The umask may only take bits away; the mode is set exactly all the same, before any byte
    // of the secret is written.
    const bool written = ::fchmod(file.get(), kOwnerOnly) == 0 && WriteAll(file.get(), bytes) &&
                         ::fsync(file.get()) == 0;
    if (!file.Close() || !written) {
        const int cause = errno;
        ::unlink(hostPath.c_str());
        errno = cause;
        return false;
    }
    SyncDirectory(DirectoryOf(hostPath));
    return true;
}

bool ReplaceFile(std::string_view windowsPath, std::string_view bytes) {
    const auto hostPath = ToHostPath(windowsPath);
    return hostPath && ReplaceHostFile(*hostPath, bytes);
}

namespace {

std::optional<std::string> WideToHostPath(std::wstring_view windowsPath) {
    return ToHostPath(WideToNarrow(windowsPath));
}

// A name beside `hostPath` for a file that is renamed over it once complete.
std::string TemporaryBeside(const std::string& hostPath) {
    static std::atomic<unsigned> counter{0};
    return hostPath + ".tmp-" + std::to_string(::getpid()) + "-c" +
           std::to_string(counter.fetch_add(1));
}

bool CopyBytes(int from, int to) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n == 0;
        }
        if (!WriteAll(to, std::string_view(buffer, static_cast<size_t>(n)))) {
            return false;
        }
    }
}

bool CopyHostFile(const std::string& from, const std::string& to) {
    Descriptor source(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    struct stat info;
    if (!source.valid() || ::fstat(source.get(), &info) != 0) {
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    const std::string temporary = TemporaryBeside(to);
    Descriptor target(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!target.valid()) {
        return false;
    }
    const bool written = CopyBytes(source.get(), target.get()) &&
                         ::fchmod(target.get(), info.st_mode & 0777) == 0 &&
                         ::fsync(target.get()) == 0;
    if (!target.Close() || !written || ::rename(temporary.c_str(), to.c_str()) != 0) {
        const int cause = errno;
        ::unlink(temporary.c_str());
        errno = cause;
        return false;
    }
    SyncDirectory(DirectoryOf(to));
    return true;
}

bool DeleteHostFile(const std::optional<std::string>& hostPath) {
    struct stat info;
    if (!hostPath || ::lstat(hostPath->c_str(), &info) != 0) {
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        return false;
    }
    return ::unlink(hostPath->c_str()) == 0;
}

}  // namespace

bool PathExists(std::string_view windowsPath) {
    if (windowsPath.empty() || windowsPath.back() == '\\' || windowsPath.back() == '/' ||
        NamesBelowDrive(windowsPath).empty()) {
        return false;
    }
    const auto hostPath = ToHostPath(windowsPath);
    struct stat info;
    return hostPath && ::lstat(hostPath->c_str(), &info) == 0;
}

bool CopyFileOver(std::string_view from, std::string_view to) {
    const auto hostFrom = ToHostPath(from);
    const auto hostTo = ToHostPath(to);
    if (!hostFrom || !hostTo) {
        errno = ENOENT;
        return false;
    }
    return CopyHostFile(*hostFrom, *hostTo);
}

bool DeleteOneFile(std::string_view windowsPath) {
    return DeleteHostFile(ToHostPath(windowsPath));
}

bool DeleteOneFile(std::wstring_view windowsPath) {
    return DeleteHostFile(WideToHostPath(windowsPath));
}

bool MakeFileWritable(std::wstring_view windowsPath) {
    const auto hostPath = WideToHostPath(windowsPath);
    return hostPath && AddOwnerWriteAt(AT_FDCWD, hostPath->c_str());
}

void UseBinaryStandardStreams() {}

FilePointer OpenFileStream(std::string_view windowsPath, const char* mode) {
    const auto hostPath = ToHostPath(windowsPath);
    if (!hostPath || mode == nullptr) {
        return nullptr;
    }
    const std::string closeOnExec = std::string(mode) + "e";
    return FilePointer(std::fopen(hostPath->c_str(), closeOnExec.c_str()));
}

std::optional<FileWriter> FileWriter::CreateNew(std::string_view windowsPath) {
    const auto hostPath = ToHostPath(windowsPath);
    if (!hostPath) {
        errno = ENOENT;
        return std::nullopt;
    }
    const int fd = ::open(hostPath->c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        return std::nullopt;
    }
    return FileWriter(fd);
}

std::optional<FileWriter> FileWriter::OpenToContinue(std::string_view windowsPath,
                                                     uint64_t keepBytes) {
    const auto hostPath = ToHostPath(windowsPath);
    if (!hostPath) {
        errno = ENOENT;
        return std::nullopt;
    }
    // Without blocking: a FIFO in the file's place is refused below instead of waiting.
    Descriptor file(
        ::open(hostPath->c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat info;
    if (!file.valid() || ::fstat(file.get(), &info) != 0) {
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode) || static_cast<uint64_t>(info.st_size) < keepBytes) {
        errno = S_ISREG(info.st_mode) ? ERANGE : EINVAL;
        return std::nullopt;
    }
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        ::ftruncate(file.get(), static_cast<off_t>(keepBytes)) != 0 ||
        ::lseek(file.get(), static_cast<off_t>(keepBytes), SEEK_SET) < 0) {
        return std::nullopt;
    }
    return FileWriter(file.Release());
}

bool FileWriter::Write(const void* data, size_t size) {
    return m_fd.valid() &&
           WriteAll(m_fd.get(), std::string_view(static_cast<const char*>(data), size));
}

bool FileWriter::Sync() {
    return m_fd.valid() && ::fdatasync(m_fd.get()) == 0;
}

bool FileWriter::Close() {
    if (!m_fd.valid()) {
        errno = EBADF;
        return false;
    }
    return m_fd.Close();
}

std::optional<uint64_t> RegularFileSize(std::string_view windowsPath) {
    const auto hostPath = ToHostPath(windowsPath);
    struct stat info;
    if (!hostPath || ::lstat(hostPath->c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(info.st_size);
}

bool RenameOver(std::string_view from, std::string_view to) {
    const auto hostFrom = ToHostPath(from);
    const auto hostTo = ToHostPath(to);
    if (!hostFrom || !hostTo) {
        errno = ENOENT;
        return false;
    }
    // rename(2) replaces a link at the destination as the link itself, and refuses a folder there
    // when the source is a file.
    if (::rename(hostFrom->c_str(), hostTo->c_str()) != 0) {
        return false;
    }
    SyncDirectory(DirectoryOf(*hostTo));  // the new name itself reaches the disk
    return true;
}

void SetWaitForHeldFiles(std::chrono::milliseconds) {
    // A POSIX rename or removal never fails because another program has the file open.
}

}  // namespace platform

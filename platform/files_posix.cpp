#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <memory>

#include "platform/paths.h"
#include "platform/posix_io.h"

namespace platform {
namespace {

// Owns a file descriptor.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now and reports whether the close succeeded (it can report a failed write).
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

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
    Descriptor file(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    struct stat info;
    if (!file.valid() || ::fstat(file.get(), &info) != 0) {
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
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

bool ReplaceFile(std::string_view windowsPath, std::string_view bytes) {
    const auto hostPath = ToHostPath(windowsPath);
    return hostPath && ReplaceHostFile(*hostPath, bytes);
}

}  // namespace platform

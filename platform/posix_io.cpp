#include "platform/posix_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

bool Descriptor::Close() {
    if (m_fd < 0) {
        return true;
    }
    const int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0;
}

bool AddOwnerWriteAt(int dirFd, const char* name) {
    struct stat info;
    if (::fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0 || S_ISLNK(info.st_mode)) {
        return false;
    }
    // No-follow, so that a link swapped in meanwhile does not pass the change to its target.
    return ::fchmodat(dirFd, name, (info.st_mode & 07777) | S_IWUSR, AT_SYMLINK_NOFOLLOW) == 0;
}

bool WriteAll(int fd, std::string_view bytes) {
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace platform

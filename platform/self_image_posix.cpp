#include "platform/self_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/paths.h"
#include "platform/posix_io.h"

namespace platform {
namespace {

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

}  // namespace

bool CopyRunningExecutable(std::string_view windowsPath) {
    const auto target = ToHostPath(windowsPath);
    if (!target) {
        return false;
    }
    // /proc/self/exe opens the image the process runs from, even after its file was removed.
    Fd source{::open("/proc/self/exe", O_RDONLY | O_CLOEXEC)};
    struct stat info;
    if (source.fd < 0 || ::fstat(source.fd, &info) != 0) {
        return false;
    }
    Fd copy{::open(target->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, info.st_mode & 0777)};
    if (copy.fd < 0) {
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(source.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;
        }
        if (!WriteAll(copy.fd, std::string_view(buffer, static_cast<size_t>(n)))) {
            return false;
        }
    }
    const int fd = copy.fd;
    copy.fd = -1;
    return ::close(fd) == 0;
}

}  // namespace platform

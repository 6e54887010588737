#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/host_facts.h"
#include "platform/host_path_form.h"
#include "platform/paths.h"

namespace platform {

bool IsHostSeparator(char c) {
    return c == '/';
}

bool IsAbsoluteHostPath(std::string_view path) {
    return !path.empty() && path.front() == '/';
}

std::optional<std::string> JoinHostComponents(const std::vector<std::string_view>& parts) {
    std::string out;
    for (const std::string_view part : parts) {
        out += '/';
        out += part;
    }
    return out.empty() ? std::string("/") : out;
}

bool SameHostName(std::string_view a, std::string_view b) {
    return a == b;
}
namespace {

std::string CurrentDirectory() {
    char buffer[PATH_MAX];
    if (::getcwd(buffer, sizeof buffer) == nullptr) {
        return std::string();
    }
    return buffer;
}

}  // namespace

std::optional<std::string> ToHostPath(std::string_view windowsPath) {
    return MapToHostPath(windowsPath, Host()->drives, CurrentDirectory());
}

std::string ToWindowsPath(std::string_view hostPath) {
    std::string absolute(hostPath);
    if (absolute.empty() || absolute.front() != '/') {
        absolute = CurrentDirectory() + "/" + absolute;
    }
    return MapToWindowsPath(absolute, Host()->drives);
}

std::string GetModuleFileName() {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) {
        return std::string();
    }
    std::string path(buffer, static_cast<size_t>(length));
    // When the executable's file has been removed, the kernel appends " (deleted)"; the
    // launcher wants the path it was started from.
    constexpr std::string_view kDeleted = " (deleted)";
    struct stat info;
    if (path.size() > kDeleted.size() &&
        path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0 &&
        ::lstat(path.c_str(), &info) != 0) {
        path.resize(path.size() - kDeleted.size());
    }
    return ToWindowsPath(path);
}

}  // namespace platform

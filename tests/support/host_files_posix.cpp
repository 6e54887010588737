// host_files.h on POSIX.

#include <sys/stat.h>

#include <stdexcept>

#include "tests/support/host_files.h"

namespace tolbe_test {

namespace fs = std::filesystem;

fs::path HostPathOf(const std::string& hostPath) {
    return fs::path(hostPath);
}

std::string NarrowHostPath(const fs::path& path) {
    return path.string();
}

bool IsHostLink(const fs::path& path) {
    std::error_code ignored;
    return fs::is_symlink(fs::symlink_status(path, ignored));
}

std::vector<HostEntry> HostEntries(const fs::path& folder) {
    std::vector<HostEntry> entries;
    std::error_code ignored;
    for (auto it = fs::directory_iterator(folder, ignored); it != fs::directory_iterator();
         it.increment(ignored)) {
        const bool link = it->is_symlink(ignored);
        entries.push_back({it->path(), link, !link && it->is_directory(ignored)});
    }
    return entries;
}

void MakeHostFolderLink(const std::string& link, const std::string& target) {
    fs::create_directory_symlink(target, link);
}

void MakeHostFileLink(const std::string& link, const std::string& target) {
    fs::create_symlink(target, link);
}

bool HostShowsFileLinks() {
    return true;
}

bool HostRemovesFolderLinks() {
    return true;
}

unsigned HostModeOf(const fs::path& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

void SetHostMode(const fs::path& path, unsigned mode) {
    if (::chmod(path.c_str(), static_cast<mode_t>(mode)) != 0) {
        throw std::runtime_error("cannot change the mode of " + path.string());
    }
}

void RemoveHostTree(const fs::path& path) {
    std::error_code ignored;
    // Tests may leave folders without write permission; give it back before removing.
    if (fs::is_directory(fs::symlink_status(path, ignored))) {
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
        for (auto it = fs::recursive_directory_iterator(path, ignored);
             it != fs::recursive_directory_iterator(); it.increment(ignored)) {
            if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
            }
        }
    }
    fs::remove_all(path, ignored);
}

}  // namespace tolbe_test

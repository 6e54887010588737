// The portable half of host_files.h.

#include "tests/support/host_files.h"

#include "tests/support/temp_dir.h"

namespace tolbe_test {
namespace {

namespace fs = std::filesystem;

void Walk(const fs::path& root, const fs::path& folder, bool filesOnly, HostTree& tree) {
    for (const HostEntry& entry : HostEntries(folder)) {
        const std::string relative = entry.path.lexically_relative(root).generic_string();
        if (entry.isLink) {
            if (!filesOnly) {
                tree[relative] = "<link>";
            }
        } else if (entry.isFolder) {
            if (!filesOnly) {
                tree[relative] = "<dir>";
            }
            Walk(root, entry.path, filesOnly, tree);
        } else {
            tree[relative] = ReadHostFile(entry.path);
        }
    }
}

}  // namespace

HostTree TreeBelow(const std::string& hostDir) {
    HostTree tree;
    Walk(HostPathOf(hostDir), HostPathOf(hostDir), false, tree);
    return tree;
}

HostTree FilesBelow(const std::string& hostDir) {
    HostTree files;
    Walk(HostPathOf(hostDir), HostPathOf(hostDir), true, files);
    return files;
}

}  // namespace tolbe_test

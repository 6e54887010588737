#pragma once
// Windows: a .lnk file read back through the shell link object itself, for the tests of the
// shortcuts the launcher writes.

#include <optional>
#include <string>

namespace tolbe_test {

struct LinkOnDisk {
    std::wstring path;
    std::wstring workingDirectory;
    std::wstring iconPath;
    int iconIndex = -1;
};

// What the link file at the host path starts; nullopt when it cannot be loaded.
std::optional<LinkOnDisk> ReadShellLinkFile(const std::string& hostFile);

}  // namespace tolbe_test

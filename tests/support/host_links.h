#pragma once
// Links the tests plant where the launcher writes, and telling a link from what it points to,
// on either host (on Windows the programs need tests/support/win_links.cpp).

#ifdef _WIN32
#include <windows.h>
#endif

#include <filesystem>
#include <string>

#ifdef _WIN32
#include "platform/text.h"
#include "tests/support/win_links.h"
#endif

namespace tolbe_test {

// Makes `link` (not there yet) a symbolic link to the existing file or folder `target`; on
// Windows a junction to a folder where the host can make one, and under Wine the host's link.
inline void PlantLink(const std::string& link, const std::string& target) {
#ifdef _WIN32
    if (std::filesystem::is_directory(target)) {
        MakeFolderLink(link, target);
    } else {
        MakeFileLink(link, target);
    }
#else
    std::filesystem::create_symlink(target, link);
#endif
}

// Whether the entry at the host path is a link itself (on Windows any reparse point).
inline bool IsLinkAt(const std::string& hostPath) {
#ifdef _WIN32
    const DWORD attributes = ::GetFileAttributesW(platform::NarrowToWide(hostPath).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
#else
    return std::filesystem::is_symlink(std::filesystem::symlink_status(hostPath));
#endif
}

}  // namespace tolbe_test

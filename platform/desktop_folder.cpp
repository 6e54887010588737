// The portable half of desktop_folder.h.

#include "platform/desktop_folder.h"

#include "platform/host_facts.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace platform {

std::wstring DesktopFolderPath() {
    const auto host = Host();
    const std::string folder = host->desktop ? *host->desktop : UsersDesktopFolder();
    if (folder.empty()) {
        return std::wstring();
    }
    return NarrowToWide(ToWindowsPath(folder));
}

bool SandboxHasNoDesktop() {
    const auto host = Host();
    return host->sandboxed && !host->desktop;
}

}  // namespace platform

#include <shlobj.h>
#include <windows.h>

#include "platform/desktop_folder.h"
#include "platform/host_facts.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace platform {

std::wstring DesktopFolderPath() {
    const auto host = Host();
    std::string folder;
    if (host->desktop) {
        folder = *host->desktop;
    } else {
        wchar_t buffer[MAX_PATH] = {};
        if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT,
                                      buffer))) {
            return std::wstring();
        }
        folder = WideToNarrow(buffer);
    }
    if (folder.empty()) {
        return std::wstring();
    }
    return NarrowToWide(ToWindowsPath(folder));
}

}  // namespace platform

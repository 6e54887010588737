#include <shlobj.h>
#include <windows.h>

#include "platform/desktop_folder.h"
#include "platform/text.h"

namespace platform {

std::string UsersDesktopFolder() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT,
                                  folder))) {
        return std::string();
    }
    return WideToNarrow(folder);
}

}  // namespace platform

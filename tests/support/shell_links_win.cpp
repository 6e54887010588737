#include "tests/support/shell_links_win.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>

#include "platform/text.h"

namespace tolbe_test {

std::optional<LinkOnDisk> ReadShellLinkFile(const std::string& hostFile) {
    std::optional<LinkOnDisk> result;
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IShellLinkW, reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t path[MAX_PATH] = {};
            wchar_t directory[MAX_PATH] = {};
            wchar_t icon[MAX_PATH] = {};
            int index = -1;
            if (SUCCEEDED(file->Load(platform::NarrowToWide(hostFile).c_str(), STGM_READ)) &&
                SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
                SUCCEEDED(link->GetWorkingDirectory(directory, MAX_PATH)) &&
                SUCCEEDED(link->GetIconLocation(icon, MAX_PATH, &index))) {
                result = LinkOnDisk{path, directory, icon, index};
            }
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(com)) {
        ::CoUninitialize();
    }
    return result;
}

}  // namespace tolbe_test

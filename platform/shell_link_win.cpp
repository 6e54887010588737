// Shell links on Windows: the shell link object (IShellLinkW) saved through IPersistFile, then
// the shell told of the new file.

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>

#include "platform/files.h"
#include "platform/shell_link.h"
#include "platform/win_io.h"

namespace platform {
namespace {

// The component library for this thread while the object lives.
class ComScope {
public:
    ComScope() : m_result(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(m_result)) {
            ::CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

    // Already initialised counts as ready, in the other threading model too: the link object
    // works in either.
    bool ready() const { return SUCCEEDED(m_result) || m_result == RPC_E_CHANGED_MODE; }

private:
    HRESULT m_result;
};

struct ComReleaser {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface>
using ComPointer = std::unique_ptr<Interface, ComReleaser>;

// A name beside the link that no other save uses, so that no half-written link is ever seen
// under the link's own name.
std::wstring TemporaryNameFor(const std::wstring& file) {
    static std::atomic<unsigned> counter{0};
    return file + L".tmp-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter.fetch_add(1));
}

// Saves the link object to `file` whole: under a temporary name first, then moved over whatever
// is at `file` (a link in its place is replaced itself, never followed).
bool SaveWhole(IShellLinkW* shellLink, const std::wstring& file) {
    IPersistFile* rawPersist = nullptr;
    if (FAILED(
            shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&rawPersist)))) {
        return false;
    }
    const ComPointer<IPersistFile> persist(rawPersist);
    const std::wstring temporary = TemporaryNameFor(file);
    if (SUCCEEDED(persist->Save(temporary.c_str(), FALSE)) &&
        ::MoveFileExW(temporary.c_str(), file.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    ::DeleteFileW(temporary.c_str());
    return false;
}

// The desktop shows a new or changed link at once, with its icon.
void NotifyShell(const std::wstring& file) {
    ::SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW, file.c_str(), nullptr);
    ::SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHW, file.c_str(), nullptr);
    ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH, nullptr, nullptr);
}

}  // namespace

bool SaveShellLink(const ShellLink& link, std::wstring_view linkPath) {
    const auto file = WideHostPath(linkPath);
    const auto program = WideHostPath(link.path);
    const auto icon = WideHostPath(link.iconPath);
    std::optional<std::wstring> directory;
    if (link.workingDirectory) {
        directory = WideHostPath(*link.workingDirectory);
        if (!directory) {
            return false;
        }
    }
    if (!file || !program || !icon) {
        return false;
    }
    const ComScope com;
    if (!com.ready()) {
        return false;
    }
    IShellLinkW* rawLink = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&rawLink)))) {
        return false;
    }
    const ComPointer<IShellLinkW> shellLink(rawLink);
    if (FAILED(shellLink->SetPath(program->c_str())) ||
        (directory && FAILED(shellLink->SetWorkingDirectory(directory->c_str()))) ||
        FAILED(shellLink->SetIconLocation(icon->c_str(), link.iconIndex))) {
        return false;
    }
    const bool saved = SaveWhole(shellLink.get(), *file);
    NotifyShell(*file);
    return saved;
}

bool DeleteShellLink(std::wstring_view linkPath) {
    return DeleteOneFile(linkPath);
}

}  // namespace platform

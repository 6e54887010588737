#include "install/desktop_shortcut.h"

#include "config/diagnostics.h"
#include "platform/desktop_folder.h"
#include "platform/processes.h"
#include "platform/shell_link.h"

namespace {

constexpr char kShowIconsCommand[] = "ie4uinit.exe -show";
constexpr char kClearIconCacheCommand[] = "ie4uinit.exe -ClearIconCache";
constexpr char kDiagNoShortcutInSandbox[] =
    "no desktop shortcut: the sandbox profile has no desktop line, and the user's desktop lies "
    "outside the sandbox";

}  // namespace

void CreateDesktopShortcut(const std::wstring& target, const std::wstring& linkName,
                           const std::wstring& iconPicture) {
    if (platform::SandboxHasNoDesktop()) {
        WriteDiagnosticLine(kDiagNoShortcutInSandbox);
        return;
    }
    platform::ShellLink link;
    link.path = target;
    if (const size_t slash = target.rfind(L'\\'); slash != std::wstring::npos) {
        link.workingDirectory = target.substr(0, slash);
    }
    link.iconPath = target;
    link.iconIndex = 0;
    link.iconPicture = iconPicture;

    // Without a desktop folder the link lands at the root of the current drive ("\Tolbe.lnk").
    const std::wstring linkPath = platform::DesktopFolderPath() + L"\\" + linkName;
    platform::DeleteShellLink(linkPath);
    platform::SaveShellLink(link, linkPath);
    platform::StartHiddenCommand(kShowIconsCommand);
    platform::StartHiddenCommand(kClearIconCacheCommand);
}

// The launch: the archive deleted, the new version recorded in the installation, the game
// started in its directory, the launcher copied beside it with a desktop shortcut, the window
// ended.

#include "app/install_flow.h"
#include "app/launcher_icon.h"
#include "app/zorv_downloader_app.h"
#include "config/file_helpers.h"
#include "install/desktop_shortcut.h"
#include "install/install_search.h"
#include "net/partial_download.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/processes.h"
#include "platform/self_image.h"
#include "platform/text.h"

bool InstallFlow::LaunchGame() {
    if (m_flowState == Launching) {
        return false;
    }
    m_flowState = Launching;
    if (!m_archivePath.empty()) {
        platform::RunCommandProcessor("del " + m_archivePath);
    }
    // The client is in place: a download cut short on any drive is of no use any more.
    for (const std::string& root : LogicalDriveRoots()) {
        RemovePartialDownload(root + kArchiveName);
    }
    const zorv_VersionCheck& server = m_app.m_serverRecord;
    const std::string clientDir = m_installDrive + "\\" + server.client_dir() + "\\";
    m_app.m_localRecord.set_version(server.version().c_str());  // up to a NUL, as text
    m_app.SaveConfigTo(clientDir);
    const std::string gameExe = clientDir + server.client_exe();
    // The game runs on its own, without a shell; the launcher never waits for it.
    if (platform::StartProgram(gameExe, clientDir)) {
        CopyLauncherAndCreateShortcut();
        m_view->EndDialog(0);
    } else {
        // Launching already, so the ticks of the box's nested loop do nothing; the player may
        // close the window afterwards.
        m_view->MessageBox(kTextGameStartFailed, kCaptionGameStartFailed, kMbOk | kMbIconHand);
    }
    return true;
}

void InstallFlow::CopyLauncherAndCreateShortcut() {
    const std::string clientDir = m_installDrive + "\\" + m_app.m_serverRecord.client_dir() + "\\";
    const std::string copyPath = clientDir + kLauncherCopyName;
    const std::string modulePath = platform::GetModuleFileName();
    if (!platform::EqualsNoCase(modulePath, copyPath)) {
        if (platform::PathExists(modulePath)) {
            platform::CopyFileOver(modulePath, copyPath);
        } else if (const std::string besideModule = GetModuleDir() + kLauncherCopyName;
                   platform::PathExists(besideModule)) {
            platform::CopyFileOver(besideModule, copyPath);
        }
    } else if (!platform::PathExists(copyPath)) {
        // Running from the copy while an update removed the old client directory, the copy
        // with it: put the running launcher back, so the shortcut keeps a target.
        platform::CopyRunningExecutable(copyPath);
    }
    std::string target = copyPath;
    if (!platform::PathExists(copyPath) && platform::PathExists(modulePath)) {
        target = modulePath;
    }
    // Desktops draw the shortcut's icon from a picture file, not from the program: the icon goes
    // beside the copy, written anew (through a temporary file, never through a link) each time.
    const std::string iconPath = clientDir + kLauncherIconName;
    std::wstring iconPicture;
    if (platform::ReplaceFile(iconPath, LauncherIconPng())) {
        iconPicture = ToWide(iconPath);
    }
    CreateDesktopShortcut(ToWide(target), kShortcutName, iconPicture);
}

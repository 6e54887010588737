// The install decision: a current installation is launched, an outdated one is downloaded again
// onto its own drive (and replaced only once the new client is complete), and without one the
// install drive is chosen.

#include "app/install_flow.h"
#include "app/zorv_downloader_app.h"
#include "config/file_helpers.h"
#include "install/drive_selection.h"
#include "install/install_search.h"
#include "install/staged_client.h"
#include "net/partial_download.h"
#include "platform/directories.h"
#include "platform/processes.h"
#include "platform/text.h"
#include "platform/volumes.h"

void InstallFlow::DecideInstallLocation() {
    const zorv_VersionCheck& server = m_app.m_serverRecord;
    // An update that an earlier run left cut short in the middle of its renames is finished or
    // undone first, so that the search below sees a whole installation.
    for (const std::string& root : LogicalDriveRoots()) {
        RecoverInterruptedSwap(root + server.client_dir(), kLauncherOwnFiles);
    }
    m_foundInstall = false;
    const std::string foundRoot = FindInstalledDrive(server.client_dir(), server.client_exe());
    if (!foundRoot.empty()) {
        m_foundInstall = true;
        m_installDrive = foundRoot;
    }
    ReplaceAll(m_installDrive, "\\", "");  // "D:\" becomes "D:"

    if (!m_foundInstall) {
        // A drive where the client directory's name is taken by something that is not an
        // installation is passed over: that folder is neither replaced nor written into. A
        // drive holding a download of this client cut short by an earlier run, with room for
        // its rest, is taken before the others: the bytes already there took some of its space.
        const std::string& clientDirName = server.client_dir();
        const std::string& url = server.download_url();
        std::wstring drive;
        SelectInstallDrive(
            drive,
            [&clientDirName](const std::wstring& candidate) {
                return platform::EntryKindAt(platform::WideToNarrow(candidate) + "\\" +
                                             clientDirName) == platform::EntryKind::Missing;
            },
            [&url](const std::wstring& candidate) {
                const std::string archive = platform::WideToNarrow(candidate) + "\\" + kArchiveName;
                const auto partial = FindPartialDownload(archive, url);
                return partial && platform::DriveHasRoomFor(
                                      archive, static_cast<uint64_t>(partial->totalBytes -
                                                                     partial->goodBytes));
            });
        m_installDrive = platform::WideToNarrow(drive);
        ReplaceAll(m_installDrive, "\\", "");
        StartDownload();
        return;
    }

    const std::string clientDir = m_installDrive + "\\" + server.client_dir() + "\\";
    m_app.LoadConfigFrom(clientDir);
    if (SameVersion(m_app.m_localRecord.version(), server.version())) {
        LaunchGame();
    } else if (const auto running = platform::ProgramRunningFrom(ClientDirPath())) {
        // The game (or another program of the client) still runs: none of its files could be
        // replaced, so nothing is downloaded either.
        StopForRunningGame(*running);
    } else {
        // The old client stays as it is until the new one is complete (CompleteInstallation).
        StartDownload();
    }
}

// The end of an extraction: the client in the staging folder is checked, its configuration
// record saved beside it, and the whole of it swapped in for the installation. Until this step
// succeeds the installation (or the empty place where it goes) is exactly as it was.

#include "app/install_flow.h"
#include "app/zorv_downloader_app.h"
#include "config/diagnostics.h"
#include "install/install_search.h"
#include "install/staged_client.h"
#include "platform/directories.h"

bool InstallFlow::CompleteInstallation() {
    const zorv_VersionCheck& server = m_app.m_serverRecord;
    const std::string clientDir = ClientDirPath();
    const std::string staging = StagingPath();
    // The game executable must be there as a regular file, by its exact name: an archive
    // without it (or with a folder of that name) is no client, and recording its version would
    // make every later start launch nothing.
    if (platform::EntryKindAt(staging + "\\" + server.client_exe()) !=
        platform::EntryKind::RegularFile) {
        WriteDiagnosticLine("Client.zip holds no game executable " + server.client_exe() +
                            " at its top; the installation is left as it was");
        return false;
    }
    m_app.m_localRecord.set_version(server.version().c_str());  // up to a NUL, as text
    if (!m_app.SaveConfigTo(staging + "\\")) {
        return false;
    }
    const bool isInstallation = IsLauncherInstallation(clientDir + "\\", server.client_exe());
    if (!ReplaceClientWithStaged(clientDir, isInstallation, kLauncherOwnFiles)) {
        WriteDiagnosticLine("the new client cannot replace " + clientDir +
                            " (a file in use, or the name is taken by something that is not "
                            "an installation); the installation is left as it was");
        return false;
    }
    DiscardSideFolder(staging);
    return true;
}

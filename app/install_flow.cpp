#include "app/install_flow.h"

#include <algorithm>
#include <limits>

#include "app/zorv_downloader_app.h"
#include "config/diagnostics.h"
#include "config/file_helpers.h"
#include "install/staged_client.h"
#include "net/file_download.h"
#include "net/server_info.h"
#include "net/web_net.h"
#include "platform/drive_roots.h"
#include "platform/processes.h"
#include "signing/update_key.h"

InstallFlow* mainDialog = nullptr;

InstallFlow::InstallFlow(CZorvDownloaderApp& app, WebNet& webNet)
    : serverInfoDeadlineMs(kServerInfoDeadlineMs),
      updatePublicKey(signing::BuiltInUpdatePublicKey()),
      downloadResumeWaitMs(kFirstResumeWaitMs),
      m_app(app),
      m_webNet(webNet) {}

InstallFlow::~InstallFlow() {
    if (mainDialog == this) {
        mainDialog = nullptr;
    }
}

void InstallFlow::Start(FlowView& view) {
    m_view = &view;
    mainDialog = this;
    m_flowState = Requesting;
    m_view->SetStatusText(kTextRequesting);
}

bool InstallFlow::IsFinished() const {
    return m_flowState == Stopped || m_flowState == Launching;
}

void InstallFlow::Tick() {
    ++tickCount;
    // Callbacks of finished requests run here (the server-information answer among them); one
    // may open a message box whose nested loop runs further ticks.
    m_webNet.DispatchFinished();
    switch (m_flowState) {
        case Requesting:
            if (tickCount == kRequestTick) {
                RequestServerInfo();
            }
            if (!serverInfoAnswered && tickCount % kWatchdogTicks == 0) {
                m_webNet.StartWorker();
            }
            break;
        case Deciding:
            DecideInstallLocation();
            break;
        case Downloading:
            TickDownloading();
            break;
        case Extracting:
            TickExtracting();
            break;
        default:  // Stopped, Launching: the flow has ended
            break;
    }
}

void InstallFlow::TickDownloading() {
    if ((currentDownload->m_finished.load() & 0xFF) != 0 && currentDownload->m_noRoom.load()) {
        StopForLackOfRoom();
        return;
    }
    if ((currentDownload->m_finished.load() & 0xFF) == 0) {
        const int percent = GetDownloadPercent();
        m_view->SetProgressPos(percent);
        const auto& tips = m_view->Tips();
        if (!tips.empty()) {
            m_view->SetStatusText(tips[tipIndex % tips.size()]);
            if (tickCount % kTipTicks == 0) {
                tipIndex = (tipIndex + 1) % tips.size();
            }
        }
        ShowPercent(percent);
    } else if (tickCount % kExtractionTicks == 0) {
        // A download that did not complete leaves no archive to extract: each attempt fails,
        // and the third one is reported to the player.
        archiveComplete = currentDownload->m_complete.load();
        if (!currentDownload->m_signatureFault.empty()) {
            WriteDiagnosticLine(m_archivePath + " refused: " + currentDownload->m_signatureFault);
        }
        StartExtraction();
        currentDownload.reset();
    }
}

void InstallFlow::TickExtracting() {
    int percent = 0;
    int state = m_app.m_unzip.GetProgress(&percent);
    if (extractionRefused) {
        state = 2;
    }
    switch (state) {
        case 1:
            m_view->SetStatusText(kTextExtracting);
            m_view->SetProgressPos(percent);
            ShowPercent(percent);
            break;
        case 2:
            OnExtractionFailed();
            break;
        case 3:
            // Only a client that is complete and in place is launched; anything else is one
            // more failed attempt.
            if (CompleteInstallation()) {
                LaunchGame();
            } else {
                OnExtractionFailed();
            }
            break;
        default:  // idle
            break;
    }
}

void InstallFlow::OnExtractionFailed() {
    ++extractFailures;
    if (extractFailures <= kMaxExtractFailures) {
        StartExtraction();
        return;
    }
    // Stopped first, so that the ticks of the box's nested loop do nothing. Nothing half done
    // stays behind: the old installation, if any, was never touched, and the staging folder
    // and the archive that would not install go (the next run downloads it anew).
    m_flowState = Stopped;
    DiscardSideFolder(StagingPath());
    if (!m_archivePath.empty()) {
        platform::RunCommandProcessor("del " + m_archivePath);
    }
    m_view->MessageBox(kTextExtractionFailed, kCaptionExtractionFailed, kMbOk | kMbIconHand);
}

void InstallFlow::StopForLackOfRoom() {
    const int64_t needed = currentDownload->m_roomNeeded.load();
    currentDownload.reset();
    // Stopped first, so that the ticks of the box's nested loop do nothing; nothing was written.
    m_flowState = Stopped;
    m_view->MessageBox(NoRoomText(m_installDrive, needed), kCaptionNoRoom, kMbOk | kMbIconHand);
}

void InstallFlow::StopForRunningGame(const std::string& program) {
    WriteDiagnosticLine(program + " runs from " + ClientDirPath() + ": the update waits for it");
    m_flowState = Stopped;
    m_view->MessageBox(kTextGameRunning, kCaptionUpdateFailed, kMbOk | kMbIconExclamation);
}

std::wstring NoRoomText(const std::string& drive, int64_t archiveBytes) {
    constexpr int64_t kGiB = int64_t{1} << 30;
    const int64_t gigabytes = (std::max<int64_t>(archiveBytes, 1) + kGiB - 1) / kGiB;
    return ToWide(drive) + L"盘空间不足，下载客户端需要至少 " + std::to_wstring(gigabytes) +
           L" GB 可用空间，请清理磁盘后重试。";
}

void InstallFlow::ShowPercent(int percent) {
    m_view->SetPercentText(L" " + std::to_wstring(percent) + L"%");
}

int InstallFlow::GetDownloadPercent() const {
    const int64_t length = currentDownload->m_contentLength.load();
    if (length <= 0) {
        return 0;
    }
    const int64_t percent = currentDownload->m_receivedBytes.load() * 100 / length;
    // More bytes than announced give more than 100; a wildly wrong announcement stays an int.
    return static_cast<int>(std::min<int64_t>(percent, std::numeric_limits<int>::max()));
}

bool InstallFlow::StartDownload() {
    m_archivePath = m_installDrive + "\\" + kArchiveName;
    // The download is the first write onto the drive: a root that the drive table lists before it
    // exists (~/Games on a Linux desktop) is made now. Should that fail, the download fails to
    // create its file and says so in the usual way.
    if (!platform::MakeDriveRootOnFirstUse(m_installDrive)) {
        WriteDiagnosticLine("the root folder of drive " + m_installDrive + " cannot be made");
    }
    FlowView* view = m_view;
    currentDownload =
        CreateDownload(m_app.m_serverRecord.download_url(), m_archivePath,
                       [view](const std::wstring& message) { view->ShowNetworkFailure(message); });
    currentDownload->m_firstResumeWaitMs = downloadResumeWaitMs;
    currentDownload->m_publicKey = updatePublicKey;
    m_flowState = Downloading;
    StartDownloadThread(currentDownload);
    return true;
}

std::string InstallFlow::ClientDirPath() const {
    return m_installDrive + "\\" + m_app.m_serverRecord.client_dir();
}

std::string InstallFlow::StagingPath() const {
    return StagingFolderOf(ClientDirPath());
}

bool InstallFlow::StartExtraction() {
    m_view->ResetProgressDisplay();
    const std::wstring archive = ToWide(m_archivePath);
    // Every attempt extracts into a fresh staging folder beside the client directory; the
    // installation itself changes only once a complete client is there.
    const std::string staging = StagingPath();
    m_flowState = Extracting;
    const char* refusal = nullptr;
    if (!archiveComplete) {
        refusal = "the download did not complete, so there is no archive of this run";
    } else if (!PrepareSideFolder(staging)) {
        refusal =
            "the staging folder cannot be made (its name is taken, or the drive is not "
            "writable)";
    } else if (!m_app.m_unzip.StartUnzip(archive, ToWide(staging))) {
        refusal = "the extractor refused the archive";
    }
    extractionRefused = refusal != nullptr;
    if (refusal != nullptr) {
        WriteDiagnosticLine("extraction of " + m_archivePath + " not started: " + refusal);
    }
    return true;
}

#include "app/install_flow.h"

#include <algorithm>
#include <limits>

#include "app/zorv_downloader_app.h"
#include "config/file_helpers.h"
#include "net/file_download.h"
#include "net/web_net.h"

InstallFlow* mainDialog = nullptr;

InstallFlow::InstallFlow(CZorvDownloaderApp& app, WebNet& webNet) : m_app(app), m_webNet(webNet) {}

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
        // The download's own outcome is not judged here: a missing or damaged archive makes
        // the extraction fail, which is reported to the player.
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
            ++extractFailures;
            if (extractFailures > kMaxExtractFailures) {
                // Stopped first, so that the ticks of the box's nested loop do nothing.
                m_flowState = Stopped;
                m_view->MessageBox(kTextExtractionFailed, kCaptionExtractionFailed,
                                   kMbOk | kMbIconHand);
            } else {
                StartExtraction();
            }
            break;
        case 3:
            LaunchGame();
            break;
        default:  // idle
            break;
    }
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
    FlowView* view = m_view;
    currentDownload =
        CreateDownload(m_app.m_serverRecord.download_url(), m_archivePath,
                       [view](const std::wstring& message) { view->ShowNetworkFailure(message); });
    m_flowState = Downloading;
    StartDownloadThread(currentDownload);
    return true;
}

bool InstallFlow::StartExtraction() {
    m_view->ResetProgressDisplay();
    const std::wstring archive = ToWide(m_archivePath);
    const std::wstring target = ToWide(m_installDrive + "\\" + m_app.m_serverRecord.client_dir());
    m_flowState = Extracting;
    extractionRefused = !m_app.m_unzip.StartUnzip(archive, target);
    return true;
}

#include "app/zorv_downloader_app.h"

#include "app/install_flow.h"
#include "config/config_store.h"
#include "config/diagnostics.h"
#include "net/web_net.h"

CZorvDownloaderApp::CZorvDownloaderApp(UiHooks hooks, WebNet& webNet)
    : m_hooks(std::move(hooks)), m_webNet(webNet) {}

bool CZorvDownloaderApp::LoadConfig() {
    return ::LoadConfig(m_localRecord);
}

bool CZorvDownloaderApp::LoadConfigFrom(const std::string& dir) {
    return ::LoadConfigFrom(dir, m_localRecord);
}

bool CZorvDownloaderApp::SaveConfigTo(const std::string& dir) {
    return ::SaveConfigTo(dir, m_localRecord);
}

bool CZorvDownloaderApp::InitInstance() {
    LoadConfig();
    WriteDiagnosticLine(m_localRecord.version());
    WriteDiagnosticLine(m_localRecord.spare_text_2());
    WriteDiagnosticLine(m_localRecord.client_exe());
    if (m_hooks.startGraphics) {
        m_hooks.startGraphics();
    }
    m_webNet.StartWorker();
    {
        InstallFlow flow(*this, m_webNet);
        if (m_hooks.runMainWindow) {
            m_hooks.runMainWindow(flow);
        }
        // Every worker, including those the flow added while the server was silent, is joined
        // before the flow that their requests report to goes away.
        m_webNet.StopWorkers();
    }
    return false;
}

int CZorvDownloaderApp::ExitInstance() {
    if (m_hooks.stopGraphics) {
        m_hooks.stopGraphics();
    }
    return 0;
}

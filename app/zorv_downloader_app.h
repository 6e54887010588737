#pragma once
// The application object: the owner of the state that outlives the main window (the extractor
// and the two version records) and the launcher's start-up and shut-down.

#include "app/ui_hooks.h"
#include "archive/zip_implement.h"
#include "config/version_record.h"

class WebNet;

class CZorvDownloaderApp {
public:
    // `webNet` is the process's one HTTP request service; `hooks` reach the window system.
    CZorvDownloaderApp(UiHooks hooks, WebNet& webNet);

    // Runs the whole launcher: loads config.zorv beside the executable, writes the three
    // diagnostic lines (version, spare_text_2, client_exe), starts the graphics library and one
    // HTTP worker, runs the main window modally around the install flow, then stops and joins
    // every HTTP worker. Always returns false: the process ends without a message loop of its own.
    bool InitInstance();

    // Stops the graphics library. Returns the process's exit status (0).
    int ExitInstance();

    // The configuration store on m_localRecord (see config/config_store.h).
    bool LoadConfig();
    bool LoadConfigFrom(const std::string& dir);
    bool SaveConfigTo(const std::string& dir);

    WebNet& webNet() { return m_webNet; }

    CZipImplement m_unzip;
    zorv_VersionCheck m_localRecord;   // the local configuration
    zorv_VersionCheck m_serverRecord;  // the notice server's information

private:
    UiHooks m_hooks;
    WebNet& m_webNet;
};

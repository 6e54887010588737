#pragma once
// The install flow: the launcher's one place of decision, stepped by the main window's 200 ms
// timer. It holds the install state the main window carries (m_flowState, m_installDrive,
// m_archivePath, m_foundInstall) and the window's operations that move the flow on. It needs no
// window system: it reaches the screen only through FlowView.

#include <memory>
#include <string>
#include <vector>

#include "app/flow_driver.h"
#include "app/flow_state.h"

class CZorvDownloaderApp;
class FileDownLoad;
class WebNet;
struct WebNetRequest;

class InstallFlow : public FlowDriver {
public:
    // Ticks between the opening of the window and the server-information request.
    static constexpr int kRequestTick = 5;
    // While the server is silent, one more HTTP worker every this many ticks.
    static constexpr int kWatchdogTicks = 100;
    // Ticks each gameplay tip stays on the status line while downloading.
    static constexpr int kTipTicks = 40;
    // After the download has ended, the extraction starts on a tick divisible by this.
    static constexpr int kExtractionTicks = 50;
    // The third failed extraction stops the flow.
    static constexpr int kMaxExtractFailures = 2;

    InstallFlow(CZorvDownloaderApp& app, WebNet& webNet);
    ~InstallFlow() override;
    InstallFlow(const InstallFlow&) = delete;
    InstallFlow& operator=(const InstallFlow&) = delete;

    // FlowDriver: entered by the window's initialisation, then stepped by its timer.
    void Start(FlowView& view) override;
    void Tick() override;
    bool IsFinished() const override;

    // The window's operations that move the flow on (each described where it is defined).
    void RequestServerInfo();
    static bool OnServerInfoResponse(WebNetRequest* request);
    static bool OnServerSignatureResponse(WebNetRequest* request);
    void DecideInstallLocation();
    bool StartDownload();
    bool StartExtraction();
    // The extracted client replaces the installation: checked, its record saved, swapped in.
    bool CompleteInstallation();
    bool LaunchGame();
    void CopyLauncherAndCreateShortcut();

    // Download progress in percent: received × 100 / announced length, 0 without a length.
    int GetDownloadPercent() const;

    // Install state shared by the flow's operations.
    int m_flowState = Stopped;
    std::string m_installDrive;  // "D:" (letter and colon), or empty
    std::string m_archivePath;   // m_installDrive + "\Client.zip" once a download started
    bool m_foundInstall = false;

    // Controller state.
    int tickCount = 0;
    bool serverInfoAnswered = false;
    std::shared_ptr<FileDownLoad> currentDownload;
    size_t tipIndex = 0;
    int extractFailures = 0;
    // The extractor refused its last start (no archive, for example): that attempt has failed.
    bool extractionRefused = false;
    // The download of this run left the complete archive at m_archivePath. Nothing else is ever
    // extracted: a Client.zip of an earlier run may be stale or planted.
    bool archiveComplete = false;
    // The whole exchange with the notice server may take this long before it counts as failed.
    long serverInfoDeadlineMs;
    // The Base64 Ed25519 public key that vaskpc.txt and Client.zip must be signed with: the one
    // the launcher was built with (empty: nothing is checked). Only tests set another.
    std::string updatePublicKey;
    // A download that breaks off waits this long before it asks for the rest the first time
    // (then twice as long before each next time).
    long downloadResumeWaitMs;

private:
    // The server's answer, once it may be believed: decoded, checked, and the flow moves on.
    static void AcceptServerAnswer(InstallFlow& flow, const std::string& text);
    // The retry question after an answer that cannot be used, and what its answer asks for.
    static void AskToRetry(InstallFlow& flow, const std::string& diagnostic);
    void TickDownloading();
    void TickExtracting();
    void OnExtractionFailed();
    void StopForLackOfRoom();
    // An update that finds the game still running from the client directory touches nothing:
    // the player is told to close it, and the next start updates.
    void StopForRunningGame(const std::string& program);
    // X:\DIR without a final backslash, and its staging folder X:\DIR.tolbe-new.
    std::string ClientDirPath() const;
    std::string StagingPath() const;
    void ShowPercent(int percent);

    CZorvDownloaderApp& m_app;
    WebNet& m_webNet;
    FlowView* m_view = nullptr;
    // vaskpc.txt as the notice server sent it, while its signature is being fetched.
    std::string m_unverifiedAnswer;
};

// The flow of the open main window; the server-information callback reaches it through here.
extern InstallFlow* mainDialog;

// The texts of the flow, as the player sees them.
inline constexpr wchar_t kTextRequesting[] = L"正在请求数据";
inline constexpr wchar_t kTextExtracting[] = L"解压中，请稍候..";
inline constexpr wchar_t kTextRetryQuestion[] = L"服务器信息获取失败，是否重试？";
inline constexpr wchar_t kCaptionRetryQuestion[] = L"检查失败";
inline constexpr wchar_t kTextExtractionFailed[] =
    L"解压客户端文件失败，请检查磁盘空间或文件权限后重试。";
inline constexpr wchar_t kCaptionExtractionFailed[] = L"解压失败";
inline constexpr wchar_t kTextGameStartFailed[] =
    L"游戏启动失败，请检查游戏文件是否完整或是否被安全软件拦截后重试。";
inline constexpr wchar_t kCaptionGameStartFailed[] = L"启动失败";
inline constexpr wchar_t kCaptionNoRoom[] = L"空间不足";
inline constexpr wchar_t kTextGameRunning[] = L"游戏正在运行，请关闭游戏后重试。";
inline constexpr wchar_t kCaptionUpdateFailed[] = L"更新失败";
// The box when the install drive cannot hold the archive: names the drive ("E:") and the
// gigabytes the archive needs, rounded up ("E:盘空间不足，下载客户端需要至少 11 GB 可用空间，...").
std::wstring NoRoomText(const std::string& drive, int64_t archiveBytes);

// File names of the installation layout.
inline constexpr char kArchiveName[] = "Client.zip";
inline constexpr char kLauncherCopyName[] = "vasktolbe.exe";
// The launcher's icon as a picture beside its copy, which the desktop shortcut shows.
inline constexpr char kLauncherIconName[] = "vasktolbe.png";
// The launcher's own files in the client directory: they stay in place while a new client moves
// in, so that the shortcut keeps its target and its icon.
inline const std::vector<std::string> kLauncherOwnFiles = {kLauncherCopyName, kLauncherIconName};
inline constexpr wchar_t kShortcutName[] = L"Tolbe.lnk";

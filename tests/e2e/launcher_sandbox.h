#pragma once
// One player's machine for the built launcher, made of temporary folders: three drives
// (D: fixed, 100 GiB free; E: fixed, 200 GiB free; F: a USB stick with 2 TiB free), a desktop
// folder, a loopback site that is both the notice server (notice.tolbe.example) and the archive
// server (cdn.tolbe.example), and a virtual display of its own. The sandbox profile that says so
// is handed to every launcher started here; nothing outside the temporary folder is touched.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "config/version_record.h"
#include "tests/e2e/loopback_site.h"
#include "tests/e2e/xdotool.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xvfb_display.h"

namespace tolbe_test {

// Deadlines. A run that downloads waits up to 10 s for the extraction's tick; a sanitizer build
// is several times slower than a normal one. They bound the waits; they are never waited out.
inline constexpr std::chrono::seconds kRunTimeout(90);
inline constexpr std::chrono::seconds kShowTimeout(60);
inline constexpr std::chrono::seconds kGameTimeout(30);

// The client the site publishes and the sandbox installs: its folder and game program.
inline constexpr char kClientDir[] = "Tolbe";
inline constexpr char kClientExe[] = "tolbe.exe";
inline constexpr char kArchivePath[] = "/Client.zip";

class LauncherSandbox {
public:
    LauncherSandbox();

    // Host path of a Windows-form path on the sandbox's drives ("E:\Tolbe\tolbe.exe").
    std::string Host(const std::string& windowsPath) const;

    // The server's record for client `version`: the archive on the site, the client directory
    // and the game program above.
    zorv_VersionCheck ServerRecord(const std::string& version) const;

    // Publishes client `version`: its archive as /Client.zip and its record as /vaskpc.txt.
    void PublishClient(const std::string& version);

    // Connections to host:80 go to the loopback port from now on (a host line of the profile
    // read by the launchers started afterwards).
    void RouteHost(const std::string& host, int loopbackPort);

    // The launchers started from now on reach the servers only through the proxy at proxyUrl,
    // which their http_proxy variable names: the profile's host lines give way to "proxy host".
    void ReachServersThrough(const std::string& proxyUrl);

    // Publishes only the record of client `version`; the archive stays as it is.
    void PublishRecord(const std::string& version);

    // Writes client `version` into windowsDir as an earlier run would have left it, with
    // `config` as its config.zorv.
    void InstallClient(const std::string& windowsDir, const std::string& version,
                       const zorv_VersionCheck& config);

    // Copies the built launcher to windowsPath (executable) with `config` as the config.zorv
    // beside it. Returns the copy's host path.
    std::string PlaceLauncher(const std::string& windowsPath, const zorv_VersionCheck& config);

    // Starts the launcher at hostProgram on the sandbox's display under its profile, in
    // workingDir (the temporary folder when empty). Its diagnostics go to Output(). `runner`,
    // when given, is a program with its options that runs the launcher in its own place (such
    // as prlimit, which sets a limit and then becomes the launcher).
    std::unique_ptr<ChildProcess> StartLauncher(const std::string& hostProgram,
                                                const std::string& workingDir = "",
                                                const std::vector<std::string>& runner = {});

    // What the launchers started so far wrote (their diagnostics), for failure messages.
    std::string Output() const;

    // The lines of game.log in the host folder clientDir, which the sample game appends one line
    // to on each start ("client VERSION started in FOLDER as PROGRAM").
    std::vector<std::string> GameStarts(const std::string& clientDir) const;

    // Waits until game.log in clientDir holds `count` lines (the game runs on its own after the
    // launcher ended).
    bool WaitForGameStarts(const std::string& clientDir, size_t count) const;

    // The files and folders below hostDir, as relative paths in sorted order ("a/", "a/b.txt").
    static std::vector<std::string> Tree(const std::string& hostDir);

    TempDir temp;
    LoopbackSite site;
    XvfbDisplay display;
    XdoTool x;

private:
    std::string m_profile;
    std::string m_output;
    std::string m_proxy;  // the http_proxy of the launchers, when set
};

// The path of vaskpc.txt on the site: that of the notice address built into the launcher.
std::string NoticePath();

// The one line "client VERSION started in FOLDER as PROGRAM" the sample game writes.
std::string GameStartLine(const std::string& version, const std::string& hostDir);

// The built launcher's own bytes.
std::string LauncherBytes();

}  // namespace tolbe_test

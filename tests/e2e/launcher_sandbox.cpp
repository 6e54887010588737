#include "tests/e2e/launcher_sandbox.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "config/config_store.h"
#include "tests/support/wait_until.h"
#include "tests/support/zip_writer.h"

namespace tolbe_test {
namespace {

namespace fs = std::filesystem;

constexpr char kLauncherProgram[] = TOLBE_E2E_LAUNCHER;
constexpr char kNoticeUrl[] = TOLBE_E2E_NOTICE_URL;
constexpr char kArchiveHost[] = "cdn.tolbe.example";
constexpr int kHttpPort = 80;
constexpr char kGameLog[] = "game.log";

constexpr unsigned kProgramMode = 0100755;
constexpr unsigned kDataMode = 0100644;
constexpr unsigned kFolderMode = 040755;

// Where the launcher's fixed notice address points: host and port, as a profile's host line
// names them ("notice.tolbe.example:80").
std::string NoticeHostAndPort() {
    std::string rest = kNoticeUrl;
    const std::string scheme = "http://";
    if (rest.compare(0, scheme.size(), scheme) != 0) {
        throw std::runtime_error(std::string("the notice address is not plain HTTP: ") +
                                 kNoticeUrl);
    }
    rest = rest.substr(scheme.size());
    const std::string hostPort = rest.substr(0, rest.find('/'));
    return hostPort.find(':') == std::string::npos ? hostPort + ":" + std::to_string(kHttpPort)
                                                   : hostPort;
}

// The sample game: a shell program that notes where and as what it started.
std::string GameScript(const std::string& version) {
    return "#!/bin/sh\n"
           "# The sample Tolbe client: one line for each start.\n"
           "echo \"client " +
           version + " started in $(pwd -P) as $0\" >> " + kGameLog + "\n";
}

std::vector<ZipEntry> ClientEntries(const std::string& version) {
    return {
        {kClientExe, GameScript(version), kProgramMode},
        {"readme.txt", "Tolbe client " + version + "\n", kDataMode},
        {"data/", "", kFolderMode},
        {"data/maps/", "", kFolderMode},
        {"data/maps/north.txt", "north map, client " + version + "\n", kDataMode},
        {"data/sounds/", "", kFolderMode},
    };
}

void MakeExecutable(const std::string& hostPath) {
    fs::permissions(hostPath,
                    fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add);
}

}  // namespace

LauncherSandbox::LauncherSandbox()
    : display(temp.Join("xvfb.log")), x(display.name()), m_profile(temp.Join("profile.txt")) {
    for (const char* folder : {"d", "e", "f", "desktop", "runtime"}) {
        fs::create_directories(temp.Join(folder));
    }
    fs::permissions(temp.Join("runtime"), fs::perms::owner_all, fs::perm_options::replace);
    const std::string site = "127.0.0.1:" + std::to_string(this->site.port());
    std::ostringstream profile;
    profile << "# drives: D holds the downloaded launcher, E has more room, F is a USB stick\n"
            << "drive D: " << temp.Join("d") << " fixed free=107374182400\n"
            << "drive E: " << temp.Join("e") << " fixed free=214748364800\n"
            << "drive F: " << temp.Join("f") << " fixed usb free=2199023255552\n"
            << "host " << NoticeHostAndPort() << " " << site << "\n"
            << "host " << kArchiveHost << ":" << kHttpPort << " " << site << "\n"
            << "desktop " << temp.Join("desktop") << "\n";
    WriteHostFile(m_profile, profile.str());
}

std::string LauncherSandbox::Host(const std::string& windowsPath) const {
    if (windowsPath.size() < 2 || windowsPath[1] != ':') {
        throw std::invalid_argument("not a drive path: " + windowsPath);
    }
    std::string rest = windowsPath.substr(2);
    std::replace(rest.begin(), rest.end(), '\\', '/');
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(windowsPath[0])));
    return temp.Join(std::string(1, letter)) + rest;
}

zorv_VersionCheck LauncherSandbox::ServerRecord(const std::string& version) const {
    zorv_VersionCheck record;
    record.set_version(version);
    record.set_download_url(std::string("http://") + kArchiveHost + kArchivePath);
    record.set_client_dir(kClientDir);
    record.set_client_exe(kClientExe);
    return record;
}

void LauncherSandbox::PublishClient(const std::string& version) {
    const std::string archive = temp.Join("Client-" + version + ".zip");
    WriteZip(archive, ClientEntries(version));
    site.Serve(kArchivePath, 200, ReadHostFile(archive));
    PublishRecord(version);
}

void LauncherSandbox::RouteHost(const std::string& host, int loopbackPort) {
    WriteHostFile(m_profile, ReadHostFile(m_profile) + "host " + host + ":" +
                                 std::to_string(kHttpPort) +
                                 " 127.0.0.1:" + std::to_string(loopbackPort) + "\n");
}

void LauncherSandbox::ReachServersThrough(const std::string& proxyUrl) {
    std::istringstream lines(ReadHostFile(m_profile));
    std::string profile;
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, 5, "host ") != 0) {
            profile += line + "\n";
        }
    }
    WriteHostFile(m_profile, profile + "proxy host\n");
    m_proxy = proxyUrl;
}

void LauncherSandbox::PublishRecord(const std::string& version) {
    site.Serve(NoticePath(), 200, RecordToText(ServerRecord(version)));
}

void LauncherSandbox::InstallClient(const std::string& windowsDir, const std::string& version,
                                    const zorv_VersionCheck& config) {
    const std::string dir = Host(windowsDir);
    for (const ZipEntry& entry : ClientEntries(version)) {
        if (entry.name.back() == '/') {
            fs::create_directories(dir + "/" + entry.name);
        } else {
            WriteHostFile(dir + "/" + entry.name, entry.data);
        }
    }
    MakeExecutable(dir + "/" + kClientExe);
    WriteHostFile(dir + "/config.zorv", ConfigFileBytes(config));
}

std::string LauncherSandbox::PlaceLauncher(const std::string& windowsPath,
                                           const zorv_VersionCheck& config) {
    const std::string program = Host(windowsPath);
    WriteHostFile(program, LauncherBytes());
    MakeExecutable(program);
    WriteHostFile(fs::path(program).replace_filename("config.zorv").string(),
                  ConfigFileBytes(config));
    return program;
}

std::unique_ptr<ChildProcess> LauncherSandbox::StartLauncher(
    const std::string& hostProgram, const std::string& workingDir,
    const std::vector<std::string>& runner) {
    ChildOptions options;
    options.argv = runner;
    options.argv.push_back(hostProgram);
    options.workingDir = workingDir.empty() ? temp.path() : workingDir;
    options.outputFile = temp.Join("launcher.log");
    // The real window on the virtual display, never off screen; no Wayland.
    options.environment["DISPLAY"] = display.name();
    options.environment["QT_QPA_PLATFORM"] = "xcb";
    options.environment["WAYLAND_DISPLAY"] = std::nullopt;
    options.environment["TOLBE_SANDBOX"] = m_profile;
    options.environment["XDG_RUNTIME_DIR"] = temp.Join("runtime");
    // No session bus: the launcher stays away from the desktop session of whoever runs the
    // tests, and the bus library never tries to start one (a failed start leaks memory).
    options.environment["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + temp.Join("runtime/no-bus");
    // The test's own proxy variables never reach the launcher; the sandbox's proxy, when set,
    // is the only one.
    for (const char* variable : {"http_proxy", "HTTPS_PROXY", "https_proxy", "ALL_PROXY",
                                 "all_proxy", "NO_PROXY", "no_proxy"}) {
        options.environment[variable] = std::nullopt;
    }
    if (!m_proxy.empty()) {
        options.environment["http_proxy"] = m_proxy;
    }
    return std::make_unique<ChildProcess>(options);
}

std::string LauncherSandbox::Output() const {
    const std::string log = temp.Join("launcher.log");
    return HostPathExists(log) ? ReadHostFile(log) : "(no output)";
}

std::vector<std::string> LauncherSandbox::GameStarts(const std::string& clientDir) const {
    const std::string log = clientDir + "/" + kGameLog;
    std::vector<std::string> lines;
    if (!HostPathExists(log)) {
        return lines;
    }
    std::istringstream text(ReadHostFile(log));
    for (std::string line; std::getline(text, line);) {
        lines.push_back(line);
    }
    return lines;
}

bool LauncherSandbox::WaitForGameStarts(const std::string& clientDir, size_t count) const {
    return WaitUntil([&] { return GameStarts(clientDir).size() >= count; }, kGameTimeout);
}

std::vector<std::string> LauncherSandbox::Tree(const std::string& hostDir) {
    std::vector<std::string> entries;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(hostDir, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::string relative = fs::relative(it->path(), hostDir).string();
        if (it->is_directory()) {
            relative += "/";
        }
        entries.push_back(relative);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::string NoticePath() {
    const std::string rest = std::string(kNoticeUrl).substr(std::string("http://").size());
    const size_t slash = rest.find('/');
    return slash == std::string::npos ? "/" : rest.substr(slash);
}

std::string GameStartLine(const std::string& version, const std::string& hostDir) {
    const std::string folder = fs::canonical(hostDir).string();
    return "client " + version + " started in " + folder + " as " + hostDir + "/" + kClientExe;
}

std::string LauncherBytes() {
    return ReadHostFile(kLauncherProgram);
}

}  // namespace tolbe_test

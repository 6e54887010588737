#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <signal.h>
#include <sys/sysmacros.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/files.h"

#include "platform/launcher_lock.h"
#include "platform/posix_io.h"
#include "platform/sandbox_profile.h"

namespace platform {
namespace {

constexpr char kRuntimeVariable[] = "XDG_RUNTIME_DIR";
constexpr char kLockFileName[] = "tolbe-launcher.lock";
constexpr char kFallbackFolderPrefix[] = "tolbe-launcher-";
constexpr mode_t kPrivateFolderMode = 0700;
constexpr mode_t kPrivateFileMode = 0600;

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string ErrnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Empty when the folder is one of the user's own that nobody else may write into (so nobody
// else can put a link or another file in the lock file's place); otherwise what is wrong.
std::string PrivateFolderProblem(const std::string& folder) {
    struct stat info;
    if (::lstat(folder.c_str(), &info) != 0) {
        return ErrnoText(folder);
    }
    if (!S_ISDIR(info.st_mode)) {
        return folder + " is not a folder";
    }
    if (info.st_uid != ::geteuid()) {
        return folder + " belongs to another user";
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return folder + " may be written by other users";
    }
    return std::string();
}

LauncherLockPlace InFolder(const std::string& folder) {
    LauncherLockPlace place;
    place.problem = PrivateFolderProblem(folder);
    if (place.problem.empty()) {
        place.file = folder + "/" + kLockFileName;
        place.mayCreate = true;
    }
    return place;
}

// The lock file's descriptor, or -1 (errno set). Never waits on the open: a FIFO in the file's
// place is refused afterwards like any other file that is not regular.
int OpenLockFile(const LauncherLockPlace& place) {
    if (place.file.empty()) {
        return -1;
    }
    const int flags = place.mayCreate
                          ? O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK
                          : O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    return ::open(place.file.c_str(), flags, kPrivateFileMode);
}

// flock without waiting; false with errno EWOULDBLOCK when another open file holds it.
bool TakeWithoutWaiting(int fd) {
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

constexpr int kShowSignal = SIGUSR1;
constexpr size_t kMaxProcText = 1 << 20;

std::atomic<bool> g_showRequested{false};

void NoteShowRequest(int) {
    g_showRequested = true;
}

// The process holding a flock on the file with this device and inode, from /proc/locks lines
// such as "3: FLOCK  ADVISORY  WRITE 4242 08:01:1234 0 EOF" (device numbers in hexadecimal);
// 0 when none is listed.
pid_t FlockHolder(unsigned long long device, unsigned long long inode) {
    const auto table = ReadWholeHostFile("/proc/locks", kMaxProcText);
    if (!table) {
        return 0;
    }
    std::istringstream lines(*table);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, file;
        long pid = 0;
        if (!(fields >> number >> kind >> mode >> access >> pid >> file) || kind != "FLOCK") {
            continue;  // another kind of lock, or a waiter ("->")
        }
        unsigned major = 0, minor = 0;
        unsigned long long fileInode = 0;
        if (std::sscanf(file.c_str(), "%x:%x:%llu", &major, &minor, &fileInode) == 3 &&
            ::makedev(major, minor) == device && fileInode == inode && pid > 0) {
            return static_cast<pid_t>(pid);
        }
    }
    return 0;
}

// Whether the process catches the signal (the SigCgt mask of /proc/PID/status).
bool Catches(pid_t pid, int signal) {
    const auto status = ReadWholeHostFile("/proc/" + std::to_string(pid) + "/status", kMaxProcText);
    if (!status) {
        return false;
    }
    const size_t at = status->find("\nSigCgt:");
    if (at == std::string::npos) {
        return false;
    }
    const unsigned long long caught = std::strtoull(status->c_str() + at + 8, nullptr, 16);
    return ((caught >> (signal - 1)) & 1u) != 0;
}

}  // namespace

void ListenForShowRequests() {
    struct sigaction action {};
    action.sa_handler = &NoteShowRequest;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(kShowSignal, &action, nullptr);
}

bool TakeShowRequest() {
    return g_showRequested.exchange(false);
}

bool LauncherLock::AskHolderToShowItself() const {
    if (m_state != State::HeldByAnother) {
        return false;
    }
    const pid_t holder = FlockHolder(m_device, m_inode);
    return holder > 0 && holder != ::getpid() && Catches(holder, kShowSignal) &&
           ::kill(holder, kShowSignal) == 0;
}

LauncherLockPlace ChooseLauncherLockPlace(const LauncherLockSetting& setting) {
    if (!setting.sandboxProfile.empty()) {
        LauncherLockPlace place;
        place.file = setting.sandboxProfile;
        return place;
    }
    // The runtime folder counts only as an absolute path, as the XDG rules have it.
    if (!setting.runtimeFolder.empty() && setting.runtimeFolder.front() == '/') {
        LauncherLockPlace place = InFolder(setting.runtimeFolder);
        if (place.problem.empty()) {
            return place;
        }
    }
    const std::string fallback =
        setting.tempRoot + "/" + kFallbackFolderPrefix + std::to_string(::geteuid());
    if (::mkdir(fallback.c_str(), kPrivateFolderMode) != 0 && errno != EEXIST) {
        LauncherLockPlace place;
        place.problem = ErrnoText("cannot make " + fallback);
        return place;
    }
    return InFolder(fallback);
}

LauncherLockSetting LauncherLockSettingOfProcess() {
    LauncherLockSetting setting;
    setting.sandboxProfile = Variable(kSandboxVariable);
    setting.runtimeFolder = Variable(kRuntimeVariable);
    return setting;
}

struct LauncherLock::Hold {
    explicit Hold(int fd) : file(fd) {}
    Descriptor file;
};

LauncherLock::LauncherLock(const LauncherLockPlace& place) {
    Descriptor file(OpenLockFile(place));
    struct stat info;
    if (place.file.empty()) {
        m_problem = place.problem;
    } else if (!file.valid() || ::fstat(file.get(), &info) != 0) {
        m_problem = ErrnoText("cannot open " + place.file);
    } else if (!S_ISREG(info.st_mode) || (place.mayCreate && info.st_uid != ::geteuid())) {
        m_problem = place.file + " is not a lock file of this user";
    } else if (m_device = info.st_dev, m_inode = info.st_ino; TakeWithoutWaiting(file.get())) {
        m_state = State::Held;
        m_hold = std::make_unique<Hold>(file.Release());
        return;
    } else if (errno == EWOULDBLOCK) {
        m_state = State::HeldByAnother;
    } else {
        m_problem = ErrnoText("cannot lock " + place.file);
    }
}

LauncherLock::~LauncherLock() = default;

}  // namespace platform

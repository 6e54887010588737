#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/paths.h"
#include "platform/processes.h"

extern char** environ;

namespace platform {
namespace {

constexpr char kNullDevice[] = "/dev/null";
constexpr int kFirstInheritedDescriptor = 3;

struct FileActions {
    FileActions() { ::posix_spawn_file_actions_init(&actions); }
    ~FileActions() { ::posix_spawn_file_actions_destroy(&actions); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t actions;
};

struct SpawnAttributes {
    SpawnAttributes() { ::posix_spawnattr_init(&attributes); }
    ~SpawnAttributes() { ::posix_spawnattr_destroy(&attributes); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    posix_spawnattr_t attributes;
};

// The started program is never waited for by the launcher; a small detached thread collects its
// exit status so that it does not linger as a zombie while the launcher still runs.
void ReapWhenDone(pid_t pid) {
    try {
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the program is collected when the launcher ends.
    }
}

// Where a link of /proc leads; empty when it cannot be read (gone meanwhile, another user's).
std::string ReadLink(const std::string& link) {
    char target[PATH_MAX];
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<size_t>(length)) : std::string();
}

// The first `count` arguments a process was started with (argv, from /proc); fewer when it has
// fewer or they cannot be read.
std::vector<std::string> FirstArgumentsOf(const std::string& pid, size_t count) {
    std::vector<std::string> arguments;
    const std::unique_ptr<FILE, int (*)(FILE*)> file(
        std::fopen(("/proc/" + pid + "/cmdline").c_str(), "rb"), &std::fclose);
    if (!file) {
        return arguments;
    }
    std::string argument;
    for (int c = std::fgetc(file.get()); c != EOF && arguments.size() < count;
         c = std::fgetc(file.get())) {
        if (c == '\0') {
            arguments.push_back(argument);
            argument.clear();
        } else {
            argument.push_back(static_cast<char>(c));
        }
    }
    return arguments;
}

}  // namespace

bool StartProgram(const std::string& exePath, const std::string& workingDir) {
    const auto program = ToHostPath(exePath);
    const auto directory = ToHostPath(workingDir);
    if (!program || !directory) {
        errno = ENOENT;
        return false;
    }
    FileActions files;
    // A console of its own on Windows; here: no standard streams of the launcher's and none of its
    // other descriptors, in the given directory.
    if (::posix_spawn_file_actions_addchdir_np(&files.actions, directory->c_str()) != 0 ||
        ::posix_spawn_file_actions_addopen(&files.actions, STDIN_FILENO, kNullDevice, O_RDONLY,
                                           0) != 0 ||
        ::posix_spawn_file_actions_addopen(&files.actions, STDOUT_FILENO, kNullDevice, O_WRONLY,
                                           0) != 0 ||
        ::posix_spawn_file_actions_adddup2(&files.actions, STDOUT_FILENO, STDERR_FILENO) != 0 ||
        ::posix_spawn_file_actions_addclosefrom_np(&files.actions, kFirstInheritedDescriptor) !=
            0) {
        return false;
    }
    SpawnAttributes spawn;
    sigset_t noSignals;
    sigset_t allSignals;
    ::sigemptyset(&noSignals);
    ::sigfillset(&allSignals);
    // Detached: a session of its own, the default signal dispositions and an empty mask, whatever
    // the launcher ignores or blocks.
    if (::posix_spawnattr_setflags(&spawn.attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK |
                                                          POSIX_SPAWN_SETSIGDEF) != 0 ||
        ::posix_spawnattr_setsigmask(&spawn.attributes, &noSignals) != 0 ||
        ::posix_spawnattr_setsigdefault(&spawn.attributes, &allSignals) != 0) {
        return false;
    }
    char* const argv[] = {const_cast<char*>(program->c_str()), nullptr};
    pid_t pid = 0;
    // glibc's posix_spawn reports a failed chdir or exec of the child as its own result.
    const int result =
        ::posix_spawn(&pid, program->c_str(), &files.actions, &spawn.attributes, argv, environ);
    if (result != 0) {
        errno = result;
        return false;
    }
    ReapWhenDone(pid);
    return true;
}

void StartHiddenCommand(const std::string& commandLine) {
    // "ie4uinit.exe -show" and "ie4uinit.exe -ClearIconCache" refresh the Windows shell's icons.
    // The POSIX desktops refresh by themselves when a desktop entry appears or changes, and no
    // other command is run without a shell: nothing to start here.
    static_cast<void>(commandLine);
}

void ReportFileSizeLimitAsWriteError() {
    ::signal(SIGXFSZ, SIG_IGN);
}

void KeepSystemErrorBoxesAway() {
    // POSIX shows no box for a drive without a medium: a failed call says so by itself.
}

std::optional<std::string> ProgramRunningFrom(const std::string& windowsDir) {
    const auto hostDir = ToHostPath(windowsDir);
    char resolved[PATH_MAX];
    if (!hostDir || ::realpath(hostDir->c_str(), resolved) == nullptr) {
        return std::nullopt;
    }
    const std::string below = std::string(resolved) + "/";
    const auto isBelow = [&below](const std::string& path) {
        return path.compare(0, below.size(), below) == 0;
    };
    const std::string self = ReadLink("/proc/self/exe");
    const std::unique_ptr<DIR, int (*)(DIR*)> processes(::opendir("/proc"), &::closedir);
    if (!processes) {
        return std::nullopt;
    }
    const std::string ownPid = std::to_string(::getpid());
    while (const dirent* entry = ::readdir(processes.get())) {
        const std::string pid = entry->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == ownPid) {
            continue;
        }
        const std::string exe = ReadLink("/proc/" + pid + "/exe");
        if (isBelow(exe)) {
            return exe;
        }
        // A script runs as its interpreter with the script's path after the interpreter's own;
        // a relative path is the process's own, below its working directory.
        const std::string cwd = ReadLink("/proc/" + pid + "/cwd");
        for (const std::string& argument : FirstArgumentsOf(pid, 2)) {
            if (argument.empty() || (argument[0] != '/' && cwd.empty())) {
                continue;
            }
            const std::string named = argument[0] == '/' ? argument : cwd + "/" + argument;
            char path[PATH_MAX];
            if (::realpath(named.c_str(), path) != nullptr && isBelow(path) && path != self) {
                return std::string(path);
            }
        }
    }
    return std::nullopt;
}

}  // namespace platform

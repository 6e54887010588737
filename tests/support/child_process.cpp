#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "platform/posix_io.h"

extern char** environ;

namespace tolbe_test {
namespace {

using platform::Descriptor;

constexpr char kNullDevice[] = "/dev/null";
// Descriptors prepared for the child are first moved this high, out of the way of 0 to 3.
constexpr int kHighDescriptor = 10;
constexpr int kChildDescriptor3 = 3;
constexpr auto kGracePeriod = std::chrono::seconds(5);
constexpr auto kPollInterval = std::chrono::milliseconds(10);
constexpr int kSignalStatusBase = 128;
constexpr int kChildFailed = 127;  // the status of a child that never became the program

// A close-on-exec copy of `fd` at kHighDescriptor or above (-1 stays -1).
int HighCopy(int fd) {
    if (fd < 0) {
        return -1;
    }
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, kHighDescriptor);
    if (copy < 0) {
        throw std::runtime_error(std::string("cannot copy a descriptor: ") + std::strerror(errno));
    }
    return copy;
}

// The program file: argv[0] itself when it names a path, else the first executable match in
// PATH.
std::string ProgramPath(const std::string& name) {
    if (name.find('/') != std::string::npos) {
        return name;
    }
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) {
            end = folders.size();
        }
        const std::string folder = folders.substr(start, end - start);
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    throw std::runtime_error(name + " not found in PATH");
}

// The test's environment with the options' changes applied, as NAME=value lines.
std::vector<std::string> ChildEnvironment(const ChildOptions& options) {
    std::vector<std::string> lines;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string line = *entry;
        const std::string name = line.substr(0, line.find('='));
        if (options.environment.count(name) == 0) {
            lines.push_back(line);
        }
    }
    for (const auto& [name, value] : options.environment) {
        if (value) {
            lines.push_back(name + "=" + *value);
        }
    }
    return lines;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) {
        pointers.push_back(s.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// In the child: sends errno through `report` and ends.
[[noreturn]] void ReportFailure(int report) {
    const int error = errno;
    const ssize_t written = ::write(report, &error, sizeof error);
    static_cast<void>(written);
    ::_exit(kChildFailed);
}

// In the child between fork and exec: only async-signal-safe calls. Reports the errno of a
// failed step through `report` and ends.
[[noreturn]] void BecomeProgram(const char* program, char* const* argv, char* const* envp,
                                const char* workingDir, int input, int output, int descriptor3,
                                int report, pid_t parent) {
    ::setpgid(0, 0);
    // Should the test process die, its programs go with it.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) {
        ::_exit(kChildFailed);
    }
    // The test may have set signals aside (SIGPIPE ignored, for one); the program starts clean.
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    if (::dup2(input, STDIN_FILENO) < 0 || ::dup2(output, STDOUT_FILENO) < 0 ||
        ::dup2(output, STDERR_FILENO) < 0) {
        ReportFailure(report);
    }
    if (descriptor3 >= 0 && ::dup2(descriptor3, kChildDescriptor3) < 0) {
        ReportFailure(report);
    }
    // Nothing else of the test's (its servers' sockets, say) reaches the program.
    ::close_range(descriptor3 >= 0 ? kChildDescriptor3 + 1 : kChildDescriptor3, ~0U,
                  CLOSE_RANGE_CLOEXEC);
    if (workingDir[0] != '\0' && ::chdir(workingDir) != 0) {
        ReportFailure(report);
    }
    ::execve(program, argv, envp);
    ReportFailure(report);
}

}  // namespace

ChildProcess::ChildProcess(const ChildOptions& options) {
    if (options.argv.empty()) {
        throw std::invalid_argument("no program to start");
    }
    const std::string program = ProgramPath(options.argv[0]);
    std::vector<std::string> arguments = options.argv;
    std::vector<std::string> environment = ChildEnvironment(options);
    const std::vector<char*> argv = Pointers(arguments);
    const std::vector<char*> envp = Pointers(environment);

    const Descriptor input(::open(kNullDevice, O_RDONLY | O_CLOEXEC));
    const std::string outputPath = options.outputFile.empty() ? kNullDevice : options.outputFile;
    const Descriptor output(
        ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (input.get() < 0 || output.get() < 0) {
        throw std::runtime_error("cannot open " + outputPath + ": " + std::strerror(errno));
    }
    int reportPipe[2];
    if (::pipe2(reportPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("pipe failed: ") + std::strerror(errno));
    }
    const Descriptor reportRead(reportPipe[0]);
    Descriptor reportWrite(HighCopy(reportPipe[1]));
    ::close(reportPipe[1]);
    const Descriptor highInput(HighCopy(input.get()));
    const Descriptor highOutput(HighCopy(output.get()));
    const Descriptor highDescriptor3(HighCopy(options.descriptor3));

    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error(std::string("fork failed: ") + std::strerror(errno));
    }
    if (pid == 0) {
        BecomeProgram(program.c_str(), argv.data(), envp.data(), options.workingDir.c_str(),
                      highInput.get(), highOutput.get(), highDescriptor3.get(), reportWrite.get(),
                      parent);
    }
    m_pid = pid;
    ::setpgid(pid, pid);  // also here, so that the group exists before anyone signals it

    // The report pipe closes unread when the exec succeeds; otherwise it carries the errno.
    reportWrite.Close();
    int error = 0;
    ssize_t got = 0;
    do {
        got = ::read(reportRead.get(), &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    if (got > 0) {
        WaitForExit(kGracePeriod);
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(error));
    }
}

ChildProcess::~ChildProcess() {
    if (m_pid <= 0 || m_status) {
        return;
    }
    ::kill(-m_pid, SIGTERM);
    if (WaitForExit(kGracePeriod)) {
        return;
    }
    ::kill(-m_pid, SIGKILL);
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!m_status) {
        int status = 0;
        const pid_t ended = ::waitpid(m_pid, &status, WNOHANG);
        if (ended == m_pid) {
            m_status =
                WIFEXITED(status) ? WEXITSTATUS(status) : kSignalStatusBase + WTERMSIG(status);
            break;
        }
        if (ended < 0 && errno != EINTR) {
            m_status = -1;  // not ours to collect any more: nothing left to wait for
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return m_status;
}

}  // namespace tolbe_test

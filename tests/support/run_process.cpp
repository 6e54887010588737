#include "tests/support/run_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

extern char** environ;

namespace tolbe_test {

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input) {
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
        ::pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) {
        ::close(in[1]);
        ::close(out[0]);
        ::close(err[0]);
        throw std::runtime_error("cannot start " + argv[0]);
    }

    ProcessResult result;
    size_t inputSent = 0;
    int inFd = in[1];
    if (input.empty()) {
        ::close(inFd);
        inFd = -1;
    }
    ::signal(SIGPIPE, SIG_IGN);
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {inFd, POLLOUT, 0}};
        if (::poll(fds, inFd >= 0 ? 3 : 2, -1) < 0 && errno != EINTR) {
            break;
        }
        char buffer[4096];
        const auto drain = [&](pollfd& fd, std::string& sink, bool& open) {
            if (open && (fd.revents & (POLLIN | POLLHUP))) {
                const ssize_t n = ::read(fd.fd, buffer, sizeof buffer);
                if (n > 0) {
                    sink.append(buffer, static_cast<size_t>(n));
                } else {
                    open = false;
                }
            }
        };
        drain(fds[0], result.out, outOpen);
        drain(fds[1], result.err, errOpen);
        if (inFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t n = ::write(inFd, input.data() + inputSent, input.size() - inputSent);
            if (n > 0) {
                inputSent += static_cast<size_t>(n);
            }
            if (n <= 0 || inputSent == input.size()) {
                ::close(inFd);
                inFd = -1;
            }
        }
    }
    if (inFd >= 0) {
        ::close(inFd);
    }
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.peakMemoryKiB = usage.ru_maxrss;
    return result;
}

}  // namespace tolbe_test

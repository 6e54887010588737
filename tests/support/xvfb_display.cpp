#include "tests/support/xvfb_display.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

#include "tests/support/temp_dir.h"

namespace tolbe_test {
namespace {

constexpr auto kStartTimeout = std::chrono::seconds(30);
constexpr char kScreen[] = "1280x800x24";

// Both ends of a pipe, closed when the object goes.
struct Pipe {
    Pipe() {
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe failed");
        }
    }
    ~Pipe() {
        CloseWriteEnd();
        ::close(fds[0]);
    }
    void CloseWriteEnd() {
        if (fds[1] >= 0) {
            ::close(fds[1]);
            fds[1] = -1;
        }
    }
    int fds[2] = {-1, -1};
};

// Reads the line Xvfb writes to its -displayfd descriptor when it is ready. Empty when the
// server ended first (the pipe closed) or the timeout passed.
std::string ReadDisplayNumber(int fd) {
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    std::string text;
    while (text.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return "";
        }
        pollfd ready = {fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled <= 0) {
            return "";
        }
        char buffer[32];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return "";
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    return text.substr(0, text.find('\n'));
}

}  // namespace

XvfbDisplay::XvfbDisplay(const std::string& logFile) {
    Pipe ready;
    ChildOptions options;
    // -displayfd: Xvfb picks a free display itself and writes its number here once it listens.
    // -noreset: by default the server resets whenever its last client leaves, and a client
    // connecting during that reset (the launcher starting while xdotool polls for its window)
    // is dropped and cannot open the display.
    options.argv = {"Xvfb", "-displayfd", "3",         "-noreset", "-screen",
                    "0",    kScreen,      "-nolisten", "tcp"};
    options.outputFile = logFile;
    options.descriptor3 = ready.fds[1];
    m_server = std::make_unique<ChildProcess>(options);
    ready.CloseWriteEnd();
    const std::string number = ReadDisplayNumber(ready.fds[0]);
    if (number.empty()) {
        const std::string log = HostPathExists(logFile) ? ReadHostFile(logFile) : "";
        throw std::runtime_error("Xvfb did not get ready; its log:\n" + log);
    }
    m_name = ":" + number;
}

}  // namespace tolbe_test

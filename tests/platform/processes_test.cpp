#include "platform/processes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <thread>

#include "tests/support/child_process.h"
#include "tests/support/sandbox.h"

namespace {

namespace fs = std::filesystem;
using tolbe_test::HostPathExists;
using tolbe_test::ReadHostFile;
using tolbe_test::WriteHostFile;

constexpr auto kStartDeadline = std::chrono::seconds(60);

void WriteProgram(const std::string& hostPath, const std::string& text, mode_t mode = 0755) {
    WriteHostFile(hostPath, text);
    ASSERT_EQ(::chmod(hostPath.c_str(), mode), 0);
}

// Polls for a file that a started program writes (renamed into place once complete).
std::string AwaitFile(const std::string& hostPath) {
    const auto deadline = std::chrono::steady_clock::now() + kStartDeadline;
    while (!HostPathExists(hostPath)) {
        if (std::chrono::steady_clock::now() > deadline) {
            return "<never written>";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return ReadHostFile(hostPath);
}

TEST(Processes, StartedProgramRunsWholeInItsWorkingDirectoryWithoutTheLaunchersDescriptors) {
    tolbe_test::SandboxDrives sandbox("D");
    // A descriptor the launcher holds without close-on-exec must not reach the game.
    const int held = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(held, 0);
    const std::string exe = sandbox.Host(R"(D:\My Games\Tolbe\game.exe)");
    WriteProgram(exe,
                 "#!/bin/sh\n"
                 "{ pwd -P; echo \"$#\"; echo \"$0\"; readlink /proc/$$/fd/0\n"
                 "  if [ -e /proc/$$/fd/" +
                     std::to_string(held) +
                     " ]; then echo held;"
                     " else echo closed; fi\n"
                     "} > started.tmp && mv started.tmp started.txt\n");

    ASSERT_TRUE(platform::StartProgram(R"(D:\My Games\Tolbe\game.exe)", R"(D:\My Games\Tolbe\)"));
    ::close(held);
    const std::string directory = fs::canonical(sandbox.Host(R"(D:\My Games\Tolbe)")).string();
    EXPECT_EQ(AwaitFile(directory + "/started.txt"),
              directory + "\n0\n" + exe + "\n/dev/null\nclosed\n");
}

TEST(Processes, AProgramThatCannotBeExecutedIsReportedAsNotStarted) {
    tolbe_test::SandboxDrives sandbox("D");
    fs::create_directories(sandbox.Host(R"(D:\Tolbe)"));
    WriteProgram(sandbox.Host(R"(D:\Tolbe\plain.exe)"), "#!/bin/sh\ntouch ran\n", 0644);
    WriteProgram(sandbox.Host(R"(D:\Tolbe\garbage.exe)"), "MZ\x90\x00 not a program here\n");
    WriteProgram(sandbox.Host(R"(D:\Tolbe\game.exe)"), "#!/bin/sh\ntouch ran\n");
    const struct {
        const char* exe;
        const char* directory;
    } cases[] = {
        {R"(D:\Tolbe\missing.exe)", R"(D:\Tolbe\)"},
        {R"(D:\Tolbe\plain.exe)", R"(D:\Tolbe\)"},    // no execute permission
        {R"(D:\Tolbe\garbage.exe)", R"(D:\Tolbe\)"},  // not a format the host runs
        {R"(D:\Tolbe)", R"(D:\Tolbe\)"},              // a folder
        {R"(D:\Tolbe\game.exe)", R"(D:\Missing\)"},   // no working directory
        {R"(Q:\Tolbe\game.exe)", R"(Q:\Tolbe\)"},     // no such drive
        {"", R"(D:\Tolbe\)"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(platform::StartProgram(c.exe, c.directory)) << c.exe << " in " << c.directory;
    }
    EXPECT_FALSE(HostPathExists(sandbox.Host(R"(D:\Tolbe\ran)")));
}

TEST(Processes, WritePastTheFileSizeLimitFailsInsteadOfEndingTheLauncher) {
    tolbe_test::TempDir temp;
    const std::string file = temp.Join("Client.zip");
    // A child process, as the launcher under a file-size limit of 16 bytes: the write that
    // reaches the limit is cut short, the next one fails as on a full disk, and it lives on.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        platform::ReportFileSizeLimitAsWriteError();
        const rlimit limit{16, 16};
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            _exit(2);
        }
        const std::string bytes(64, 'x');
        const ssize_t first = ::write(fd, bytes.data(), bytes.size());
        const ssize_t second = ::write(fd, bytes.data(), bytes.size());
        _exit(first == 16 && second < 0 && errno == EFBIG ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_FALSE(WIFSIGNALED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadHostFile(file), std::string(16, 'x'));
}

TEST(Processes, TheGameDoesNotInheritTheIgnoredFileSizeSignal) {
    tolbe_test::SandboxDrives sandbox("D");
    const std::string exe = sandbox.Host(R"(D:\Tolbe\game.exe)");
    fs::create_directories(fs::path(exe).parent_path());
    // The game writes the set of signals it ignores, as a hexadecimal mask.
    WriteProgram(exe,
                 "#!/bin/sh\n"
                 "sed -n 's/^SigIgn:[[:space:]]*//p' /proc/$$/status > ignored.tmp &&"
                 " mv ignored.tmp ignored.txt\n");
    const auto before = std::signal(SIGXFSZ, SIG_DFL);
    platform::ReportFileSizeLimitAsWriteError();
    const bool started = platform::StartProgram(R"(D:\Tolbe\game.exe)", R"(D:\Tolbe\)");
    std::signal(SIGXFSZ, before);
    ASSERT_TRUE(started);

    const std::string ignored = AwaitFile(sandbox.Host(R"(D:\Tolbe\ignored.txt)"));
    const unsigned long long mask = std::stoull(ignored, nullptr, 16);
    EXPECT_EQ(mask & (1ULL << (SIGXFSZ - 1)), 0u) << "the game ignores SIGXFSZ: " << ignored;
}

}  // namespace

namespace {

// A program counts as running from a folder by its program file, or as the interpreter of a
// script there (a game that is a script); a program that merely works in the folder (a shell, a
// wrapper that started the launcher), the launcher itself, and a folder whose name begins the
// same do not count.
TEST(Processes, ProgramsRunningFromAFolderAreFound) {
    const tolbe_test::SandboxDrives drives("D");
    const std::string folder = drives.Host(R"(D:\Tolbe)");
    fs::create_directories(folder + "/bin");
    fs::create_directories(drives.Host(R"(D:\Tolbe2)"));
    fs::copy_file("/bin/sleep", folder + "/bin/game");
    WriteProgram(folder + "/game.sh", "#!/bin/sh\nsleep 60\n");
    EXPECT_FALSE(platform::ProgramRunningFrom(R"(D:\Tolbe)").has_value());

    const struct {
        const char* name;
        std::vector<std::string> argv;
        std::string workingDir;
        std::optional<std::string> found;
    } cases[] = {
        {"its program file below the folder",
         {folder + "/bin/game", "60"},
         "/",
         fs::canonical(folder + "/bin/game").string()},
        {"a script below the folder",
         {folder + "/game.sh"},
         "/",
         fs::canonical(folder + "/game.sh").string()},
        {"a script named from its own working directory",
         {"sh", "game.sh"},
         folder,
         fs::canonical(folder + "/game.sh").string()},
        {"working in the folder only", {"sleep", "60"}, folder + "/bin", std::nullopt},
        {"a folder whose name begins the same",
         {"sleep", "60"},
         drives.Host(R"(D:\Tolbe2)"),
         std::nullopt},
    };
    for (const auto& c : cases) {
        tolbe_test::ChildOptions options;
        options.argv = c.argv;
        options.workingDir = c.workingDir;
        tolbe_test::ChildProcess program(options);
        // The child has its program once it runs: wait for the answer.
        std::optional<std::string> found;
        for (int i = 0; i < 200 && !found; ++i) {
            found = platform::ProgramRunningFrom(R"(D:\Tolbe)");
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_EQ(found, c.found) << c.name;
    }
}

}  // namespace

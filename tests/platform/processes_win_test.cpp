// The game started on Windows: a real program in a folder whose name holds a blank.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/processes.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/support/win_programs.h"

namespace {

namespace fs = std::filesystem;
using tolbe_test::HostPathExists;
using tolbe_test::ReadHostFile;

constexpr auto kStartDeadline = std::chrono::seconds(60);
constexpr char kFakeGame[] = "tolbe_platform_fake_game.exe";

void CopyFakeGameTo(const std::string& hostPath) {
    fs::create_directories(fs::path(hostPath).parent_path());
    ASSERT_TRUE(
        ::CopyFileW(platform::NarrowToWide(tolbe_test::ProgramBesideTest(kFakeGame)).c_str(),
                    platform::NarrowToWide(hostPath).c_str(), FALSE))
        << hostPath;
}

// What the fake game wrote once it ran, or nothing when it never did within the deadline.
std::string AwaitReport(const std::string& hostPath) {
    if (!tolbe_test::WaitUntil([&] { return HostPathExists(hostPath); }, kStartDeadline)) {
        return "<never written>";
    }
    return ReadHostFile(hostPath);
}

std::string WithoutProcessId(const std::string& report) {
    const size_t end = report.rfind('\n', report.size() - 2);
    return end == std::string::npos ? report : report.substr(0, end + 1);
}

// An environment variable of the test process, which started programs inherit.
class ScopedWideVariable {
public:
    ScopedWideVariable(const wchar_t* name, const std::wstring& value) : m_name(name) {
        ::SetEnvironmentVariableW(name, value.c_str());
    }
    ~ScopedWideVariable() { ::SetEnvironmentVariableW(m_name, nullptr); }

private:
    const wchar_t* m_name;
};

TEST(ProcessesOnWindows, GameStartsFromItsQuotedPathInItsFolderWithoutTheLaunchersHandles) {
    tolbe_test::TempDir temp;
    const std::string top = temp.path();
    const std::string folder = top + R"(\My Games\Tolbe)";
    CopyFakeGameTo(folder + R"(\game.exe)");
    // Unquoted, "...\My Games\Tolbe\game.exe" would start this one: the path up to the blank.
    CopyFakeGameTo(top + R"(\My.exe)");
    // A handle the launcher holds that may be inherited must not reach the game all the same.
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    const HANDLE held = ::CreateEventW(&inheritable, TRUE, FALSE, nullptr);
    ASSERT_NE(held, nullptr);
    wchar_t number[32];
    std::swprintf(number, 32, L"%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(held)));
    const ScopedWideVariable handleVariable(L"TOLBE_TEST_HANDLE", number);
    // The launcher keeps the system's error boxes away from itself, not from the game, which
    // starts with the system's default mode, 0: every box shown. (The test process itself may
    // run with boxes off already; the game must not inherit that either.)
    const UINT testMode = ::GetErrorMode();
    platform::KeepSystemErrorBoxesAway();
    const UINT launcherMode = ::GetErrorMode();

    const bool started = platform::StartProgram(folder + R"(\game.exe)", folder + "\\");
    ::CloseHandle(held);
    ::SetErrorMode(testMode);
    ASSERT_TRUE(started);
    EXPECT_EQ(launcherMode & (SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX),
              static_cast<UINT>(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX));
    EXPECT_EQ(WithoutProcessId(AwaitReport(folder + R"(\game.exe.started)")),
              folder + "\n\"" + folder + "\\game.exe\"\nclosed\nerror mode 0\n");
    EXPECT_FALSE(HostPathExists(folder + R"(\My.exe.started)"));
    EXPECT_FALSE(HostPathExists(top + R"(\My.exe.started)"));
}

TEST(ProcessesOnWindows, AProgramThatCannotBeStartedIsReportedAsNotStarted) {
    tolbe_test::TempDir temp;
    const std::string folder = temp.path() + R"(\Tolbe)";
    CopyFakeGameTo(folder + R"(\game.exe)");
    tolbe_test::WriteHostFile(folder + R"(\garbage.exe)", "MZ\x90 not a program at all\n");
    const struct {
        std::string exe;
        std::string directory;
    } cases[] = {
        {folder + R"(\missing.exe)", folder + "\\"},
        {folder + R"(\garbage.exe)", folder + "\\"},              // no format Windows runs
        {folder, folder + "\\"},                                  // a folder
        {folder + R"(\game.exe)", temp.path() + R"(\Missing\)"},  // no working directory
        {"", folder + "\\"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(platform::StartProgram(c.exe, c.directory)) << c.exe << " in " << c.directory;
    }
    // None of them ran the game after all.
    EXPECT_FALSE(HostPathExists(folder + R"(\game.exe.started)"));
}

// A program counts as running from a folder when its program file lies below it (in any letter
// case); the launcher itself never counts, nor does a folder whose name begins the same.
TEST(ProcessesOnWindows, ProgramsRunningFromAFolderAreFound) {
    tolbe_test::TempDir temp;
    const std::string folder = temp.path() + R"(\Tolbe)";
    CopyFakeGameTo(folder + R"(\bin\game.exe)");
    fs::create_directories(temp.path() + R"(\Tolbe2)");
    EXPECT_FALSE(platform::ProgramRunningFrom(folder).has_value());

    const ScopedWideVariable wait(L"TOLBE_TEST_GAME_WAIT_MS", L"60000");
    ASSERT_TRUE(platform::StartProgram(folder + R"(\bin\game.exe)", temp.path() + "\\"));
    const std::string report = AwaitReport(temp.path() + R"(\game.exe.started)");
    const DWORD pid = std::stoul(report.substr(report.rfind('\n', report.size() - 2) + 1));
    EXPECT_EQ(platform::ProgramRunningFrom(folder), folder + R"(\bin\game.exe)");
    EXPECT_TRUE(platform::ProgramRunningFrom(temp.path() + R"(\TOLBE\)").has_value());
    EXPECT_FALSE(platform::ProgramRunningFrom(temp.path() + R"(\Tolbe2)").has_value());

    const HANDLE running = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    ASSERT_NE(running, nullptr);
    ::TerminateProcess(running, 0);
    ::WaitForSingleObject(running, INFINITE);
    ::CloseHandle(running);
    EXPECT_FALSE(platform::ProgramRunningFrom(folder).has_value());
}

}  // namespace

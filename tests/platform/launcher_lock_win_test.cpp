// The one-launcher lock on Windows: a named mutex, held by this process or by a second one.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/launcher_lock.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/support/win_programs.h"

namespace {

namespace fs = std::filesystem;
using platform::LauncherLock;
using platform::LauncherLockPlace;
using tolbe_test::TempDir;

constexpr auto kHolderTimeout = std::chrono::seconds(30);
constexpr char kLockHolder[] = "tolbe_platform_lock_holder.exe";
constexpr char kFakeGame[] = "tolbe_platform_fake_game.exe";

// A mutex of this test process's own, so that tests running side by side do not meet.
LauncherLockPlace PlaceOfThisTest() {
    LauncherLockPlace place;
    place.file = R"(Local\TolbeLauncherTest-)" + std::to_string(::GetCurrentProcessId()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
    return place;
}

// A second launcher holding the lock; returns once it holds it (or has failed to).
class Holder {
public:
    Holder(const TempDir& temp, const LauncherLockPlace& place, const std::string& program = "")
        : m_report(temp.path() + R"(\holder.txt)"),
          m_process(platform::NarrowToWide("\"" + tolbe_test::ProgramBesideTest(kLockHolder) +
                                           "\" " + place.file + " \"" + m_report + "\"" +
                                           (program.empty() ? "" : " \"" + program + "\""))) {
        tolbe_test::WaitUntil([this] { return !Report().empty(); }, kHolderTimeout);
    }
    std::string Report() const {
        return tolbe_test::HostPathExists(m_report) ? tolbe_test::ReadHostFile(m_report) : "";
    }
    tolbe_test::WinProcess& process() { return m_process; }

private:
    std::string m_report;
    tolbe_test::WinProcess m_process;
};

TEST(LauncherLockOnWindows, SecondTakerIsRefusedWhileTheFirstHoldsIt) {
    const LauncherLockPlace place = PlaceOfThisTest();
    {
        const LauncherLock first(place);
        ASSERT_EQ(first.state(), LauncherLock::State::Held) << first.problem();
        const LauncherLock second(place);
        EXPECT_EQ(second.state(), LauncherLock::State::HeldByAnother);
        EXPECT_EQ(second.problem(), "");
    }
    const LauncherLock again(place);
    EXPECT_EQ(again.state(), LauncherLock::State::Held) << again.problem();
}

TEST(LauncherLockOnWindows, HolderThatIsKilledLeavesTheLockFree) {
    TempDir temp;
    const LauncherLockPlace place = PlaceOfThisTest();
    Holder holder(temp, place);
    ASSERT_EQ(holder.Report(), "held\n");
    EXPECT_EQ(LauncherLock(place).state(), LauncherLock::State::HeldByAnother);

    ASSERT_TRUE(::TerminateProcess(holder.process().handle(), 9));
    ASSERT_TRUE(holder.process().WaitForExit(30000));
    EXPECT_EQ(LauncherLock(place).state(), LauncherLock::State::Held);
}

TEST(LauncherLockOnWindows, GameTheHolderStartsDoesNotKeepTheLock) {
    TempDir temp;
    const LauncherLockPlace place = PlaceOfThisTest();
    const std::string game = temp.path() + R"(\Tolbe\game.exe)";
    fs::create_directories(temp.path() + R"(\Tolbe)");
    ASSERT_TRUE(
        ::CopyFileW(platform::NarrowToWide(tolbe_test::ProgramBesideTest(kFakeGame)).c_str(),
                    platform::NarrowToWide(game).c_str(), FALSE));
    ::SetEnvironmentVariableW(L"TOLBE_TEST_GAME_WAIT_MS", L"60000");
    Holder holder(temp, place, game);
    ::SetEnvironmentVariableW(L"TOLBE_TEST_GAME_WAIT_MS", nullptr);
    ASSERT_EQ(holder.Report(), "held\n");
    ASSERT_TRUE(holder.process().WaitForExit(30000));
    DWORD status = 0;
    ASSERT_TRUE(::GetExitCodeProcess(holder.process().handle(), &status));
    ASSERT_EQ(status, 0u) << "the holder could not start the game";

    // The game runs on after the holder has ended; the lock is free all the same.
    const std::string report = game + ".started";
    ASSERT_TRUE(
        tolbe_test::WaitUntil([&] { return tolbe_test::HostPathExists(report); }, kHolderTimeout));
    const std::string text = tolbe_test::ReadHostFile(report);
    const DWORD pid = std::stoul(text.substr(text.rfind('\n', text.size() - 2) + 1));
    const HANDLE running = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    ASSERT_NE(running, nullptr);
    EXPECT_EQ(::WaitForSingleObject(running, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(LauncherLock(place).state(), LauncherLock::State::Held);
    ::TerminateProcess(running, 0);
    ::WaitForSingleObject(running, INFINITE);
    ::CloseHandle(running);
}

TEST(LauncherLockOnWindows, LaunchersOfOneSandboxShareTheMutexHoweverTheProfileIsNamed) {
    TempDir temp;
    const std::string profile = temp.path() + R"(\profile.txt)";
    const std::string other = temp.path() + R"(\other.txt)";
    tolbe_test::WriteHostFile(profile, "drive D: Z:\\tmp fixed\n");
    tolbe_test::WriteHostFile(other, "drive D: Z:\\tmp fixed\n");
    platform::LauncherLockSetting setting;
    const auto placeFor = [&setting](const std::string& file) {
        setting.sandboxProfile = file;
        return platform::ChooseLauncherLockPlace(setting);
    };
    const LauncherLockPlace place = placeFor(profile);
    ASSERT_NE(place.file, "") << place.problem;
    std::string upper = profile;
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(placeFor(upper).file, place.file);
    EXPECT_EQ(placeFor(temp.path() + R"(\sub\..\.\profile.txt)").file, place.file);
    EXPECT_NE(placeFor(other).file, place.file);
    EXPECT_NE(place.file, platform::ChooseLauncherLockPlace({}).file);

    // A profile that is not there gives no place: the launcher runs without the lock.
    const LauncherLockPlace missing = placeFor(temp.path() + R"(\missing.txt)");
    EXPECT_EQ(missing.file, "");
    const LauncherLock lock(missing);
    EXPECT_EQ(lock.state(), LauncherLock::State::Unavailable);
    EXPECT_NE(lock.problem().find("missing.txt"), std::string::npos) << lock.problem();
}

}  // namespace

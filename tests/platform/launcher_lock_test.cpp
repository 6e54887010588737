#include "platform/launcher_lock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace {

namespace fs = std::filesystem;
using platform::LauncherLock;
using platform::LauncherLockPlace;
using platform::LauncherLockSetting;
using tolbe_test::TempDir;

constexpr char kLockHolder[] = TOLBE_LOCK_HOLDER;
constexpr auto kHolderTimeout = std::chrono::seconds(30);
constexpr unsigned kNobody = 65534;

LauncherLockPlace LockFileIn(const TempDir& temp) {
    LauncherLockPlace place;
    place.file = temp.Join("tolbe-launcher.lock");
    place.mayCreate = true;
    return place;
}

mode_t ModeOf(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// A holder process; returns once it holds the lock (or has failed to).
class Holder {
public:
    Holder(const TempDir& temp, const std::string& lockFile,
           const std::vector<std::string>& program = {})
        : m_output(temp.Join("holder-" + std::to_string(++s_count) + ".out")) {
        tolbe_test::ChildOptions options;
        options.argv = {kLockHolder, lockFile};
        options.argv.insert(options.argv.end(), program.begin(), program.end());
        options.outputFile = m_output;
        m_process = std::make_unique<tolbe_test::ChildProcess>(options);
        tolbe_test::WaitUntil([this] { return !Output().empty() || !m_process->Running(); },
                              kHolderTimeout);
    }
    std::string Output() const {
        return tolbe_test::HostPathExists(m_output) ? tolbe_test::ReadHostFile(m_output) : "";
    }
    tolbe_test::ChildProcess& process() { return *m_process; }

private:
    static inline int s_count = 0;
    std::string m_output;
    std::unique_ptr<tolbe_test::ChildProcess> m_process;
};

TEST(LauncherLock, SecondTakerIsRefusedWhileTheFirstHoldsIt) {
    TempDir temp;
    const LauncherLockPlace place = LockFileIn(temp);
    {
        const LauncherLock first(place);
        ASSERT_EQ(first.state(), LauncherLock::State::Held) << first.problem();
        EXPECT_EQ(ModeOf(place.file) & 077, 0u);  // the user's own file
        const LauncherLock second(place);
        EXPECT_EQ(second.state(), LauncherLock::State::HeldByAnother);
        EXPECT_EQ(second.problem(), "");
    }
    const LauncherLock again(place);
    EXPECT_EQ(again.state(), LauncherLock::State::Held) << again.problem();
}

TEST(LauncherLock, HolderThatIsKilledLeavesTheLockFree) {
    TempDir temp;
    const LauncherLockPlace place = LockFileIn(temp);
    Holder holder(temp, place.file);
    ASSERT_EQ(holder.Output(), "held\n");
    EXPECT_EQ(LauncherLock(place).state(), LauncherLock::State::HeldByAnother);

    ASSERT_EQ(::kill(holder.process().pid(), SIGKILL), 0);
    ASSERT_TRUE(holder.process().WaitForExit(kHolderTimeout));
    EXPECT_EQ(LauncherLock(place).state(), LauncherLock::State::Held);
}

TEST(LauncherLock, ASecondLauncherAsksTheHolderToShowItselfButNoOtherProgram) {
    TempDir temp;
    const LauncherLockPlace place = LockFileIn(temp);
    {
        Holder holder(temp, place.file);
        ASSERT_EQ(holder.Output(), "held\n");
        const LauncherLock second(place);
        ASSERT_EQ(second.state(), LauncherLock::State::HeldByAnother);
        EXPECT_TRUE(second.AskHolderToShowItself());
        EXPECT_TRUE(tolbe_test::WaitUntil(
            [&] { return holder.Output() == "held\nasked to show\n"; }, kHolderTimeout))
            << holder.Output();
        EXPECT_TRUE(holder.process().Running());
    }
    // A holder that does not listen (here a program that took the lock over without a handler)
    // is never sent the request, which would end it.
    Holder holder(temp, place.file, {"/bin/sleep", "60"});
    const std::string comm = "/proc/" + std::to_string(holder.process().pid()) + "/comm";
    ASSERT_TRUE(tolbe_test::WaitUntil([&] { return tolbe_test::ReadHostFile(comm) == "sleep\n"; },
                                      kHolderTimeout));
    const LauncherLock mine(place);  // the lock went with the exec: this process holds it
    ASSERT_EQ(mine.state(), LauncherLock::State::Held);
    EXPECT_FALSE(mine.AskHolderToShowItself());
    const LauncherLock second(place);
    ASSERT_EQ(second.state(), LauncherLock::State::HeldByAnother);
    EXPECT_FALSE(second.AskHolderToShowItself());  // the holder is this process itself
    EXPECT_TRUE(holder.process().Running());
}

TEST(LauncherLock, ProgramTheHolderBecomesDoesNotKeepTheLock) {
    TempDir temp;
    const LauncherLockPlace place = LockFileIn(temp);
    Holder holder(temp, place.file, {"/bin/sleep", "60"});
    ASSERT_EQ(holder.Output(), "held\n");
    const std::string comm = "/proc/" + std::to_string(holder.process().pid()) + "/comm";
    ASSERT_TRUE(tolbe_test::WaitUntil([&] { return tolbe_test::ReadHostFile(comm) == "sleep\n"; },
                                      kHolderTimeout));
    ASSERT_TRUE(holder.process().Running());
    EXPECT_EQ(LauncherLock(place).state(), LauncherLock::State::Held);
}

TEST(LauncherLock, LockFileIsNeverALinkOrAnotherKindOfFile) {
    TempDir temp;
    const std::string target = temp.Join("target");
    tolbe_test::WriteHostFile(target, "somebody's file");
    LauncherLockPlace place = LockFileIn(temp);
    fs::create_symlink(target, place.file);
    const LauncherLock throughLink(place);
    EXPECT_EQ(throughLink.state(), LauncherLock::State::Unavailable);
    EXPECT_NE(throughLink.problem(), "");
    EXPECT_EQ(tolbe_test::ReadHostFile(target), "somebody's file");

    fs::remove(place.file);
    ASSERT_EQ(::mkfifo(place.file.c_str(), 0600), 0);
    EXPECT_EQ(LauncherLock(place).state(), LauncherLock::State::Unavailable);  // and no wait
}

TEST(LauncherLock, SandboxProfileIsTheLockAndIsNeverMade) {
    TempDir temp;
    LauncherLockSetting setting;
    setting.sandboxProfile = temp.Join("profile.txt");
    setting.runtimeFolder = temp.path();
    setting.tempRoot = temp.path();
    const LauncherLockPlace place = platform::ChooseLauncherLockPlace(setting);
    EXPECT_EQ(place.file, setting.sandboxProfile);
    EXPECT_FALSE(place.mayCreate);
    EXPECT_EQ(LauncherLock(place).state(), LauncherLock::State::Unavailable);
    EXPECT_FALSE(tolbe_test::HostPathExists(setting.sandboxProfile));
    EXPECT_TRUE(fs::is_empty(temp.path()));

    // An existing profile is locked read-only and left as it is; another sandbox's is free.
    tolbe_test::WriteHostFile(setting.sandboxProfile, "drive D: /tmp/d fixed\n");
    ::chmod(setting.sandboxProfile.c_str(), 0444);
    const LauncherLock held(place);
    EXPECT_EQ(held.state(), LauncherLock::State::Held) << held.problem();
    EXPECT_EQ(LauncherLock(place).state(), LauncherLock::State::HeldByAnother);
    TempDir other;
    tolbe_test::WriteHostFile(other.Join("profile.txt"), "");
    setting.sandboxProfile = other.Join("profile.txt");
    EXPECT_EQ(LauncherLock(platform::ChooseLauncherLockPlace(setting)).state(),
              LauncherLock::State::Held);
    EXPECT_EQ(tolbe_test::ReadHostFile(place.file), "drive D: /tmp/d fixed\n");
}

TEST(LauncherLockPlace, RuntimeFolderWhenItIsTheUsersOwnElseAPrivateFolderInTmp) {
    const std::string fallbackName = "tmp/tolbe-launcher-" + std::to_string(::geteuid());
    const struct {
        const char* name;
        const char* runtimeFolder;  // relative to the test's folder unless absolute-looking
        std::function<void(const TempDir&)> setUp;
        std::string file;  // relative to the test's folder; empty: no place at all
    } cases[] = {
        {"runtime folder", "run", {}, "run/tolbe-launcher.lock"},
        {"no runtime folder", "", {}, fallbackName + "/tolbe-launcher.lock"},
        {"relative runtime folder", "=run", {}, fallbackName + "/tolbe-launcher.lock"},
        {"missing runtime folder", "gone", {}, fallbackName + "/tolbe-launcher.lock"},
        {"runtime folder others may write", "run",
         [](const TempDir& t) { ::chmod(t.Join("run").c_str(), 0777); },
         fallbackName + "/tolbe-launcher.lock"},
        {"runtime folder is a link", "link",
         [](const TempDir& t) { fs::create_directory_symlink(t.Join("run"), t.Join("link")); },
         fallbackName + "/tolbe-launcher.lock"},
        {"fallback is a link", "",
         [fallbackName](const TempDir& t) {
             fs::create_directory_symlink(t.Join("run"), t.Join(fallbackName));
         },
         ""},
        {"fallback others may write", "",
         [fallbackName](const TempDir& t) {
             fs::create_directory(t.Join(fallbackName));
             ::chmod(t.Join(fallbackName).c_str(), 0777);
         },
         ""},
        {"fallback is a file", "",
         [fallbackName](const TempDir& t) { tolbe_test::WriteHostFile(t.Join(fallbackName), ""); },
         ""},
        {"no temporary folder", "", [](const TempDir& t) { fs::remove(t.Join("tmp")); }, ""},
    };
    for (const auto& c : cases) {
        TempDir temp;
        fs::create_directories(temp.Join("run"));
        ::chmod(temp.Join("run").c_str(), 0700);
        fs::create_directories(temp.Join("tmp"));
        if (c.setUp) {
            c.setUp(temp);
        }
        LauncherLockSetting setting;
        const std::string runtime = c.runtimeFolder;
        setting.runtimeFolder = runtime.empty()     ? ""
                                : runtime[0] == '=' ? runtime.substr(1)
                                                    : temp.Join(runtime);
        setting.tempRoot = temp.Join("tmp");
        const LauncherLockPlace place = platform::ChooseLauncherLockPlace(setting);
        if (c.file.empty()) {
            EXPECT_EQ(place.file, "") << c.name;
            EXPECT_NE(place.problem, "") << c.name;
            EXPECT_EQ(LauncherLock(place).state(), LauncherLock::State::Unavailable) << c.name;
            continue;
        }
        EXPECT_EQ(place.file, temp.Join(c.file)) << c.name << ": " << place.problem;
        EXPECT_TRUE(place.mayCreate) << c.name;
        EXPECT_EQ(ModeOf(fs::path(place.file).parent_path().string()) & 077, 0u) << c.name;
    }
}

TEST(LauncherLockPlace, FallbackFolderOfAnotherUserIsRefused) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can give a folder to another user";
    }
    TempDir temp;
    const std::string fallback = temp.Join("tolbe-launcher-0");
    fs::create_directory(fallback);
    ::chmod(fallback.c_str(), 0700);
    ASSERT_EQ(::chown(fallback.c_str(), kNobody, kNobody), 0);
    LauncherLockSetting setting;
    setting.tempRoot = temp.path();
    const LauncherLockPlace place = platform::ChooseLauncherLockPlace(setting);
    EXPECT_EQ(place.file, "");
    EXPECT_NE(place.problem.find("another user"), std::string::npos) << place.problem;
}

}  // namespace

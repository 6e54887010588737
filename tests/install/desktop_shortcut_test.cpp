#include "install/desktop_shortcut.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <climits>
#include <filesystem>
#include <map>

#include "platform/desktop_folder.h"
#include "platform/host_facts.h"
#include "platform/text.h"
#include "tests/support/debug_capture.h"
#include "tests/support/host_files.h"
#include "tests/support/profile_sandbox.h"
#include "tests/support/scoped_variable.h"
#ifdef _WIN32
#include "tests/support/shell_links_win.h"
#endif

namespace {

namespace fs = std::filesystem;
using tolbe_test::HostPathExists;
using tolbe_test::ReadHostFile;
using tolbe_test::WriteHostFile;

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(tolbe_test::HostPathOf(dir))) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class DesktopShortcutTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_drive = m_sandbox.Folder("d");
        m_desktop = m_sandbox.Folder("desktop");
        ASSERT_EQ(m_sandbox.Load("drive D: " + m_drive + " fixed\ndesktop " + m_desktop + "\n"),
                  "");
    }
    std::string Entry() const { return ReadHostFile(m_desktop + "/Tolbe.desktop"); }
    // The host path of a Windows-form path on the sandbox's drive, as a link holds it.
    std::wstring Host(const std::string& windowsPath) const {
        return platform::NarrowToWide(m_sandbox.Host(windowsPath));
    }

    tolbe_test::ProfileSandbox m_sandbox;
    std::string m_drive;
    std::string m_desktop;
};

#ifdef _WIN32
// On Windows a .lnk file, read back through the shell link object: the host paths of the target,
// its folder and its icon, each as it is (no character means anything else in a link).
TEST_F(DesktopShortcutTest, LinkStartsTheTargetInItsDirectoryWithItsIcon) {
    for (const std::string folder : {R"(D:\Tolbe)", R"(D:\100% $HOME`x)"}) {
        SCOPED_TRACE(folder);
        CreateDesktopShortcut(platform::NarrowToWide(folder + R"(\vasktolbe.exe)"), L"Tolbe.lnk",
                              platform::NarrowToWide(folder + R"(\vasktolbe.png)"));
        const auto link = tolbe_test::ReadShellLinkFile(m_desktop + R"(\Tolbe.lnk)");
        ASSERT_TRUE(link);
        EXPECT_EQ(link->path, Host(folder + R"(\vasktolbe.exe)"));
        EXPECT_EQ(link->workingDirectory, Host(folder));
        EXPECT_EQ(link->iconPath, link->path);  // Windows draws the program's own icon
        EXPECT_EQ(link->iconIndex, 0);
        EXPECT_EQ(Names(m_desktop), std::vector<std::string>{"Tolbe.lnk"});
    }
}

TEST_F(DesktopShortcutTest, AnEarlierLinkToAnotherTargetIsReplaced) {
    CreateDesktopShortcut(LR"(D:\Old Place\vasktolbe.exe)", L"Tolbe.lnk");
    CreateDesktopShortcut(LR"(D:\New Place\vasktolbe.exe)", L"Tolbe.lnk");
    const auto link = tolbe_test::ReadShellLinkFile(m_desktop + R"(\Tolbe.lnk)");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->path, Host(R"(D:\New Place\vasktolbe.exe)"));
    EXPECT_EQ(link->workingDirectory, Host(R"(D:\New Place)"));
    EXPECT_EQ(Names(m_desktop), std::vector<std::string>{"Tolbe.lnk"});
}

TEST_F(DesktopShortcutTest, ATargetWithoutABackslashGetsNoWorkingDirectory) {
    wchar_t previous[MAX_PATH] = {};
    ASSERT_NE(::GetCurrentDirectoryW(MAX_PATH, previous), 0u);
    // The bare name is then on drive D.
    ASSERT_TRUE(::SetCurrentDirectoryW(platform::NarrowToWide(m_drive).c_str()));
    CreateDesktopShortcut(L"vasktolbe.exe", L"Tolbe.lnk");
    ASSERT_TRUE(::SetCurrentDirectoryW(previous));
    const auto link = tolbe_test::ReadShellLinkFile(m_desktop + R"(\Tolbe.lnk)");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->path, Host(R"(D:\vasktolbe.exe)"));
    EXPECT_EQ(link->workingDirectory, L"");
}
#else
TEST_F(DesktopShortcutTest, LinkStartsTheTargetInItsDirectoryWithItsIcon) {
    CreateDesktopShortcut(LR"(D:\Tolbe\vasktolbe.exe)", L"Tolbe.lnk");  // the target is not there

    EXPECT_EQ(Entry(),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=Tolbe\n"
              "Exec=\"" +
                  m_drive +
                  "/Tolbe/vasktolbe.exe\"\n"
                  "Path=" +
                  m_drive +
                  "/Tolbe\n"
                  "Icon=" +
                  m_drive + "/Tolbe/vasktolbe.exe\n");
    struct stat info;
    ASSERT_EQ(::stat((m_desktop + "/Tolbe.desktop").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0100, 0100u) << "desktops start only executable entries";
    EXPECT_EQ(Names(m_desktop), std::vector<std::string>{"Tolbe.desktop"});
}

TEST_F(DesktopShortcutTest, AnIconPictureIsTheIconThatTheEntryNames) {
    CreateDesktopShortcut(LR"(D:\Tolbe\vasktolbe.exe)", L"Tolbe.lnk", LR"(D:\Tolbe\vasktolbe.png)");
    const std::string entry = Entry();
    EXPECT_NE(entry.find("\nIcon=" + m_drive + "/Tolbe/vasktolbe.png\n"), std::string::npos)
        << entry;
    EXPECT_NE(entry.find("Exec=\"" + m_drive + "/Tolbe/vasktolbe.exe\"\n"), std::string::npos)
        << entry;
}

TEST_F(DesktopShortcutTest, AnEarlierLinkToAnotherTargetIsReplaced) {
    WriteHostFile(m_desktop + "/Tolbe.desktop",
                  "[Desktop Entry]\nType=Application\nName=Tolbe\nExec=/old/place/vasktolbe.exe\n");
    CreateDesktopShortcut(LR"(D:\New Place\vasktolbe.exe)", L"Tolbe.lnk");
    const std::string entry = Entry();
    EXPECT_EQ(entry.find("/old/place"), std::string::npos) << entry;
    EXPECT_NE(entry.find("Exec=\"" + m_drive + "/New Place/vasktolbe.exe\"\n"), std::string::npos)
        << entry;
    EXPECT_EQ(Names(m_desktop), std::vector<std::string>{"Tolbe.desktop"});
}

TEST_F(DesktopShortcutTest, CharactersThatMeanSomethingToTheDesktopAreQuoted) {
    CreateDesktopShortcut(LR"(D:\100% $HOME`x\v.exe)", L"Tolbe.lnk");
    const std::string entry = Entry();
    // Inside the quotes '$' and '`' get a backslash, '%' is doubled, and every backslash is
    // doubled once more by the string escapes of the entry's values.
    EXPECT_NE(entry.find("Exec=\"" + m_drive + "/100%% \\\\$HOME\\\\`x/v.exe\"\n"),
              std::string::npos)
        << entry;
    EXPECT_NE(entry.find("Path=" + m_drive + "/100% $HOME`x\n"), std::string::npos) << entry;
}

TEST_F(DesktopShortcutTest, ATargetWithoutABackslashGetsNoWorkingDirectory) {
    char previous[PATH_MAX];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(m_drive.c_str()), 0);  // the bare name is then on drive D
    CreateDesktopShortcut(L"vasktolbe.exe", L"Tolbe.lnk");
    ASSERT_EQ(::chdir(previous), 0);
    const std::string entry = Entry();
    EXPECT_NE(entry.find("Exec=\"" + m_drive + "/vasktolbe.exe\"\n"), std::string::npos) << entry;
    EXPECT_EQ(entry.find("Path="), std::string::npos) << entry;
}
#endif

TEST(DesktopShortcut, AMissingDesktopFolderFailsSilently) {
    tolbe_test::ProfileSandbox sandbox;
    const std::string drive = sandbox.Folder("d");
    ASSERT_EQ(sandbox.Load("drive D: " + drive + " fixed\ndesktop " + sandbox.base() +
                           "/no-desktop-here\n"),
              "");
    CreateDesktopShortcut(LR"(D:\Tolbe\vasktolbe.exe)", L"Tolbe.lnk");
    EXPECT_FALSE(HostPathExists(sandbox.base() + "/no-desktop-here"));
    EXPECT_TRUE(fs::is_empty(tolbe_test::HostPathOf(drive)));
}

using tolbe_test::TreeBelow;

// HOME and XDG_CONFIG_HOME in a temporary folder whose user-dirs.dirs names an existing desktop
// there: a shortcut meant for the user's desktop lands in it, never on the real one.
class DesktopShortcutUserDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        WriteHostFile(m_home + "/config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n");
        fs::create_directories(m_home + "/Desktop");
    }

    // The host's own facts, not sandboxed, with drive D on the sandbox's folder.
    void UseTheHostWithDriveD() {
        platform::HostFacts facts;
        platform::DriveFacts drive;
        drive.letter = 'D';
        drive.hostRoot = m_drive;
        facts.drives.push_back(drive);
        platform::SetHostFacts(facts);
    }

    tolbe_test::ProfileSandbox m_sandbox;
    const std::string m_drive = m_sandbox.Folder("d");
    const std::string m_home = m_sandbox.Folder("home");
    tolbe_test::ScopedVariable m_homeVariable{"HOME", m_home};
    tolbe_test::ScopedVariable m_configVariable{"XDG_CONFIG_HOME", m_home + "/config"};
    tolbe_test::DebugCapture m_diagnostics;
};

// A sandbox promises that nothing outside it is touched: without a desktop line in its profile
// the user's desktop is off limits, so no shortcut is made at all, and a diagnostic says why.
TEST_F(DesktopShortcutUserDesktop, ASandboxWithoutADesktopLineGetsNoShortcut) {
    ASSERT_EQ(m_sandbox.Load("drive D: " + m_drive + " fixed\n"), "");
    const auto before = TreeBelow(m_sandbox.base());
    CreateDesktopShortcut(LR"(D:\Tolbe\vasktolbe.exe)", L"Tolbe.lnk");
    EXPECT_EQ(TreeBelow(m_sandbox.base()), before);
    const std::vector<std::string> lines = m_diagnostics.pieces();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("no desktop shortcut"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("desktop line"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[0].substr(lines[0].size() - 2), "\r\n");
}

#ifdef _WIN32
// On the host itself the user's desktop is where the shortcut goes: the folder the shell names
// (under Wine the desktop of the test prefix's own home folder).
TEST_F(DesktopShortcutUserDesktop, OutsideASandboxTheShortcutGoesToTheUsersDesktop) {
    UseTheHostWithDriveD();
    const std::string desktop = platform::WideToNarrow(platform::DesktopFolderPath());
    ASSERT_FALSE(desktop.empty());
    const std::string linkFile = desktop + R"(\Tolbe.lnk)";
    ASSERT_FALSE(HostPathExists(linkFile)) << "left from another run";
    CreateDesktopShortcut(LR"(D:\Tolbe\vasktolbe.exe)", L"Tolbe.lnk");
    const auto link = tolbe_test::ReadShellLinkFile(linkFile);
    ::DeleteFileW(platform::NarrowToWide(linkFile).c_str());
    ASSERT_TRUE(link);
    EXPECT_EQ(link->path, platform::NarrowToWide(m_sandbox.Host(R"(D:\Tolbe\vasktolbe.exe)")));
    EXPECT_TRUE(m_diagnostics.pieces().empty());
}
#else
// On the host itself the user's desktop is where the shortcut goes.
TEST_F(DesktopShortcutUserDesktop, OutsideASandboxTheShortcutGoesToTheUsersDesktop) {
    UseTheHostWithDriveD();
    CreateDesktopShortcut(LR"(D:\Tolbe\vasktolbe.exe)", L"Tolbe.lnk");
    EXPECT_EQ(Names(m_home + "/Desktop"), std::vector<std::string>{"Tolbe.desktop"});
    EXPECT_NE(ReadHostFile(m_home + "/Desktop/Tolbe.desktop")
                  .find("Exec=\"" + m_drive + "/Tolbe/vasktolbe.exe\"\n"),
              std::string::npos);
    EXPECT_TRUE(m_diagnostics.pieces().empty());
}
#endif

}  // namespace

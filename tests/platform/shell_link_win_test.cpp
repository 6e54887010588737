// Shell links on Windows, read back through the shell link object itself.

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "platform/desktop_folder.h"
#include "platform/host_facts.h"
#include "platform/shell_link.h"
#include "platform/text.h"
#include "tests/support/shell_links_win.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::NarrowToWide;

using tolbe_test::ReadShellLinkFile;

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

class ShellLinkOnWindows : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetHostFacts({});  // no profile: every path is the host's own
        m_client = m_temp.path() + R"(\Tolbe Client)";
        m_desktop = m_temp.path() + R"(\Desktop)";
        fs::create_directories(m_client);
        fs::create_directories(m_desktop);
        tolbe_test::WriteHostFile(m_client + R"(\vasktolbe.exe)", "the launcher's copy");
    }
    tolbe_test::TempDir m_temp;
    std::string m_client;
    std::string m_desktop;
};

TEST_F(ShellLinkOnWindows, SavedLinkReadsBackWithTargetFolderAndIcon) {
    platform::ShellLink link;
    link.path = NarrowToWide(m_client + R"(\vasktolbe.exe)");
    link.workingDirectory = NarrowToWide(m_client);
    link.iconPath = link.path;
    link.iconIndex = 0;
    link.iconPicture = NarrowToWide(m_client + R"(\vasktolbe.png)");  // not for Windows
    ASSERT_TRUE(platform::SaveShellLink(link, NarrowToWide(m_desktop + R"(\Tolbe.lnk)")));

    const auto onDisk = ReadShellLinkFile(m_desktop + R"(\Tolbe.lnk)");
    ASSERT_TRUE(onDisk);
    EXPECT_EQ(onDisk->path, link.path);
    EXPECT_EQ(onDisk->workingDirectory, *link.workingDirectory);
    EXPECT_EQ(onDisk->iconPath, link.path);
    EXPECT_EQ(onDisk->iconIndex, 0);
    EXPECT_EQ(NamesIn(m_desktop), std::vector<std::string>{"Tolbe.lnk"});  // no temporary left
}

TEST_F(ShellLinkOnWindows, LinkToAnotherTargetIsReplacedAndALinkWithoutFolderSetsNone) {
    const std::wstring linkFile = NarrowToWide(m_desktop + R"(\Tolbe.lnk)");
    platform::ShellLink old;
    old.path = NarrowToWide(m_temp.path() + R"(\old\vasktolbe.exe)");
    old.workingDirectory = NarrowToWide(m_temp.path() + R"(\old)");
    old.iconPath = old.path;
    ASSERT_TRUE(platform::SaveShellLink(old, linkFile));

    platform::ShellLink noFolder;
    noFolder.path = NarrowToWide(m_client + R"(\vasktolbe.exe)");
    noFolder.iconPath = noFolder.path;
    ASSERT_TRUE(platform::SaveShellLink(noFolder, linkFile));
    const auto onDisk = ReadShellLinkFile(m_desktop + R"(\Tolbe.lnk)");
    ASSERT_TRUE(onDisk);
    EXPECT_EQ(onDisk->path, noFolder.path);
    EXPECT_EQ(onDisk->workingDirectory, L"");

    EXPECT_TRUE(platform::DeleteShellLink(linkFile));
    EXPECT_TRUE(fs::is_empty(m_desktop));
    EXPECT_FALSE(platform::DeleteShellLink(linkFile));
}

TEST_F(ShellLinkOnWindows, LinkThatCannotBeWrittenLeavesNothing) {
    platform::ShellLink link;
    link.path = NarrowToWide(m_client + R"(\vasktolbe.exe)");
    link.iconPath = link.path;
    EXPECT_FALSE(
        platform::SaveShellLink(link, NarrowToWide(m_temp.path() + R"(\Missing\Tolbe.lnk)")));
    EXPECT_FALSE(fs::exists(m_temp.path() + R"(\Missing)"));
    EXPECT_FALSE(platform::SaveShellLink(link, L""));
}

TEST(DesktopFolderOnWindows, TheUsersDesktopOrTheProfilesDesktopLine) {
    tolbe_test::TempDir temp;
    platform::SetHostFacts({});
    // Without a profile: the user's desktop folder as Windows gives it, a folder that is there.
    const std::wstring desktop = platform::DesktopFolderPath();
    ASSERT_FALSE(desktop.empty());
    const DWORD attributes = ::GetFileAttributesW(desktop.c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_FALSE(platform::SandboxHasNoDesktop());

    // In a sandbox, the desktop line's host folder in the launcher's own form.
    platform::HostFacts facts;
    facts.sandboxed = true;
    platform::DriveFacts drive;
    drive.letter = 'D';
    drive.hostRoot = temp.path();
    facts.drives = {drive};
    facts.desktop = temp.path() + R"(\desk)";
    platform::SetHostFacts(facts);
    EXPECT_EQ(platform::DesktopFolderPath(), LR"(D:\desk)");
    facts.desktop.reset();
    platform::SetHostFacts(facts);
    EXPECT_TRUE(platform::SandboxHasNoDesktop());
    platform::SetHostFacts({});
}

}  // namespace

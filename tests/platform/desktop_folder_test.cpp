#include "platform/desktop_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/paths.h"
#include "platform/text.h"
#include "tests/support/profile_sandbox.h"
#include "tests/support/scoped_variable.h"

namespace {

using tolbe_test::ScopedVariable;
using tolbe_test::WriteHostFile;

TEST(DesktopFolder, XdgUserDirsNameTheDesktop) {
    const struct {
        const char* text;
        const char* folder;  // nullptr: none named
    } cases[] = {
        {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n", "/home/me/Desktop"},
        {"# comment\nXDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\nXDG_DESKTOP_DIR=\"$HOME/桌面\"\n",
         "/home/me/桌面"},
        {"XDG_DESKTOP_DIR=\"/srv/shared desk\"", "/srv/shared desk"},
        {"XDG_DESKTOP_DIR=\"$HOME/a \\\"b\\\"\"\n", "/home/me/a \"b\""},
        {"XDG_DESKTOP_DIR=\"$HOME/\"\n", "/home/me/"},
        {"XDG_DESKTOP_DIR=\"$HOME/one\"\nXDG_DESKTOP_DIR=\"$HOME/two\"\n", "/home/me/two"},
        {"XDG_DESKTOP_DIR=\"$HOMEWORK/x\"\n", nullptr},
        {"XDG_DESKTOP_DIR=\"relative/x\"\n", nullptr},
        {"XDG_DESKTOP_DIR=$HOME/unquoted\n", nullptr},
        {"XDG_DESKTOP_DIR=\"$HOME/unclosed\n", nullptr},
        {"#XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        const auto folder = platform::XdgDesktopFolder(c.text, "/home/me");
        if (c.folder == nullptr) {
            EXPECT_FALSE(folder) << c.text << " gave " << folder.value_or("");
        } else {
            EXPECT_EQ(folder.value_or("<none>"), c.folder) << c.text;
        }
    }
}

TEST(DesktopFolder, ProfileLineThenXdgThenHomeDesktop) {
    tolbe_test::ProfileSandbox sandbox;
    const std::string drive = sandbox.Folder("d");
    const std::string home = sandbox.Folder("home");
    ScopedVariable homeVariable("HOME", home);
    ScopedVariable configVariable("XDG_CONFIG_HOME", home + "/config");

    ASSERT_EQ(sandbox.Load("drive D: " + drive + " fixed\ndesktop " + drive + "/desk\n"), "");
    EXPECT_EQ(platform::DesktopFolderPath(), LR"(D:\desk)");

    ASSERT_EQ(sandbox.Load("drive D: " + drive + " fixed\n"), "");
    EXPECT_EQ(platform::DesktopFolderPath(),
              platform::NarrowToWide(platform::ToWindowsPath(home + "/Desktop")));
    WriteHostFile(home + "/config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    EXPECT_EQ(platform::DesktopFolderPath(),
              platform::NarrowToWide(platform::ToWindowsPath(home + "/Schreibtisch")));
    EXPECT_EQ(platform::ToHostPath(platform::WideToNarrow(platform::DesktopFolderPath())),
              home + "/Schreibtisch");
}

}  // namespace

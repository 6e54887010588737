// Host paths on Windows are Windows paths: a sandbox drive maps to a host folder in Windows
// form, and without a profile every drive is itself.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/host_facts.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tests/support/sandbox.h"

namespace {

std::vector<platform::DriveFacts> Drives() {
    std::vector<platform::DriveFacts> drives(3);
    drives[0].letter = 'C', drives[0].hostRoot = R"(C:\)";
    drives[1].letter = 'D', drives[1].hostRoot = R"(Z:\srv\d)";
    drives[2].letter = 'E', drives[2].hostRoot = R"(z:\srv\d\nested\e)";
    return drives;
}

TEST(WindowsHostPaths, WindowsFormMapsToHostFolders) {
    const struct {
        const char* windows;
        const char* cwd;
        const char* host;  // nullptr: cannot be mapped
    } cases[] = {
        {R"(D:\Tolbe\game.exe)", R"(C:\)", R"(Z:\srv\d\Tolbe\game.exe)"},
        {"d:/Tolbe//a", R"(C:\)", R"(Z:\srv\d\Tolbe\a)"},
        {R"(D:\)", R"(C:\)", R"(Z:\srv\d)"},
        {R"(D:\..\..\Windows\x)", R"(C:\)", R"(Z:\srv\d\Windows\x)"},  // never above the root
        {R"(E:\x)", R"(C:\)", R"(Z:\srv\d\nested\e\x)"},
        {R"(C:\Users\me)", R"(C:\)", R"(C:\Users\me)"},
        {R"(\Client.zip)", R"(Z:\SRV\D\work)", R"(Z:\srv\d\Client.zip)"},  // any letter case
        {R"(sub\f)", R"(Z:\srv\d\work)", R"(Z:\srv\d\work\sub\f)"},
        {R"(\\?\host\Z:\work\x.exe)", R"(C:\)", R"(Z:\work\x.exe)"},
        {R"(\\?\host\work\x.exe)", R"(C:\)", nullptr},       // no drive after the prefix
        {R"(D:\Tolbe\game.exe:stream)", R"(C:\)", nullptr},  // an alternate data stream
        {R"(D:\a:b\c)", R"(C:\)", nullptr},
        {R"(F:\Tolbe)", R"(C:\)", nullptr},
        {R"(\\server\share\x)", R"(C:\)", nullptr},
        {R"(\\.\D:)", R"(C:\)", nullptr},
    };
    for (const auto& c : cases) {
        const auto host = platform::MapToHostPath(c.windows, Drives(), c.cwd);
        if (c.host == nullptr) {
            EXPECT_FALSE(host.has_value()) << c.windows << " gave " << host.value_or("");
        } else {
            EXPECT_EQ(host.value_or("<none>"), c.host) << c.windows;
        }
    }
}

TEST(WindowsHostPaths, HostFoldersMapToWindowsFormAndBack) {
    const struct {
        const char* host;
        const char* windows;
    } cases[] = {
        {R"(Z:\srv\d\Tolbe\game.exe)", R"(D:\Tolbe\game.exe)"},
        {R"(z:\SRV\D)", R"(D:\)"},
        {R"(Z:\srv\d\nested\e\f)", R"(E:\f)"},               // the deepest root wins
        {R"(Z:\srv\dx\y)", R"(\\?\host\Z:\srv\dx\y)"},       // whole components only
        {R"(C:\Program Files\x)", R"(C:\Program Files\x)"},  // C: is itself here
    };
    for (const auto& c : cases) {
        const std::string windows = platform::MapToWindowsPath(c.host, Drives());
        EXPECT_EQ(windows, c.windows) << c.host;
        EXPECT_TRUE(platform::EqualsNoCase(
            platform::MapToHostPath(windows, Drives(), R"(C:\)").value_or(""), c.host))
            << c.host;
    }
}

TEST(WindowsHostPaths, ProfileFoldersAreAbsoluteWindowsPaths) {
    EXPECT_EQ(platform::NormalizeHostRoot(R"(Z:\tmp\\sb\.\d\)"), R"(Z:\tmp\sb\d)");
    EXPECT_EQ(platform::NormalizeHostRoot("z:/tmp/sb"), R"(Z:\tmp\sb)");
    EXPECT_EQ(platform::NormalizeHostRoot(R"(D:\)"), R"(D:\)");
    for (const char* refused : {"/tmp/sb/d", "Z:", R"(Z:tmp)", R"(Z:\a\..\b)", R"(\tmp)", ""}) {
        EXPECT_FALSE(platform::NormalizeHostRoot(refused)) << refused;
    }
}

std::string RunningModule() {
    wchar_t module[MAX_PATH * 4] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH * 4);
    return platform::WideToNarrow(module);
}

TEST(WindowsHostPaths, WithoutAProfileEveryDriveIsItself) {
    platform::SetHostFacts({});
    EXPECT_EQ(platform::ToHostPath(R"(q:\Tolbe\\game.exe)"), R"(Q:\Tolbe\game.exe)");
    EXPECT_EQ(platform::ToWindowsPath(R"(C:\Tolbe\.\x)"), R"(C:\Tolbe\x)");
    EXPECT_TRUE(platform::EqualsNoCase(platform::GetModuleFileName(), RunningModule()));
}

TEST(WindowsHostPaths, ModuleFileNameMapsBackUnderAProfile) {
    tolbe_test::SandboxDrives sandbox("D");  // the test program lies on none of its drives
    const std::string module = platform::GetModuleFileName();
    EXPECT_EQ(module.rfind(platform::kHostPathPrefix, 0), 0u) << module;
    EXPECT_TRUE(platform::EqualsNoCase(platform::ToHostPath(module).value_or(""), RunningModule()))
        << module;
}

}  // namespace

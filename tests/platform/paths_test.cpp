#include "platform/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>

#include "platform/host_facts.h"

namespace {

std::vector<platform::DriveFacts> Drives() {
    std::vector<platform::DriveFacts> drives(3);
    drives[0].letter = 'C', drives[0].hostRoot = "/";
    drives[1].letter = 'D', drives[1].hostRoot = "/srv/d";
    drives[2].letter = 'E', drives[2].hostRoot = "/srv/d/nested/e";
    return drives;
}

TEST(Paths, WindowsFormMapsToHostPaths) {
    const struct {
        const char* windows;
        const char* cwd;
        const char* host;  // nullptr: cannot be mapped
    } cases[] = {
        {R"(D:\Tolbe\game.exe)", "/", "/srv/d/Tolbe/game.exe"},
        {R"(d:\Tolbe\)", "/", "/srv/d/Tolbe"},
        {R"(D:\\Tolbe\\\config.zorv)", "/", "/srv/d/Tolbe/config.zorv"},
        {"D:/Tolbe/a/b.txt", "/", "/srv/d/Tolbe/a/b.txt"},
        {"D:", "/", "/srv/d"},
        {R"(D:\)", "/", "/srv/d"},
        {R"(C:\Users\me)", "/", "/Users/me"},
        {R"(D:\..\..\etc\passwd)", "/", "/srv/d/etc/passwd"},  // never above the root
        {R"(D:\a\.\b\..\c)", "/", "/srv/d/a/c"},
        {R"(E:\x)", "/", "/srv/d/nested/e/x"},
        {R"(\Client.zip)", "/srv/d/work", "/srv/d/Client.zip"},
        {R"(\Client.zip)", "/srv/d/nested/e/w", "/srv/d/nested/e/Client.zip"},
        {R"(\Client.zip)", "/home/me", "/Client.zip"},
        {R"(sub\file)", "/srv/d/work", "/srv/d/work/sub/file"},
        {R"(..\..\..\up)", "/srv/d/work", "/srv/d/up"},
        {R"(\\?\unix\home\me\x)", "/", "/home/me/x"},
        {R"(\\?\UNIX\home\..\..\me)", "/", "/me"},
        {R"(\\?\unix\)", "/", "/"},
        {R"(F:\Tolbe)", "/", nullptr},
        {R"(\\server\share\x)", "/", nullptr},
        {R"(\\.\D:)", "/", nullptr},
        {"", "/", nullptr},
    };
    for (const auto& c : cases) {
        const auto host = platform::MapToHostPath(c.windows, Drives(), c.cwd);
        if (c.host == nullptr) {
            EXPECT_FALSE(host.has_value()) << c.windows << " gave " << host.value_or("");
        } else {
            EXPECT_EQ(host.value_or("<none>"), c.host) << c.windows;
        }
    }
    EXPECT_FALSE(platform::MapToHostPath(std::string("D:\\a\0b", 6), Drives(), "/"));
}

TEST(Paths, DriveLessPathNeedsACurrentDriveInTheSandbox) {
    auto drives = Drives();
    drives.erase(drives.begin());  // no C: holding "/"
    EXPECT_FALSE(platform::MapToHostPath(R"(\Client.zip)", drives, "/home/me"));
    EXPECT_FALSE(platform::MapToHostPath("rel", drives, "/home/me"));
}

TEST(Paths, HostPathsMapToWindowsFormAndBack) {
    const struct {
        const char* host;
        const char* windows;
    } cases[] = {
        {"/srv/d/Tolbe/game.exe", R"(D:\Tolbe\game.exe)"},
        {"/srv/d", R"(D:\)"},
        {"/srv/dx/y", R"(C:\srv\dx\y)"},   // a root covers whole components only
        {"/srv/d/nested/e/f", R"(E:\f)"},  // the deepest root wins
        {"//srv//d/./a/", R"(D:\a)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::MapToWindowsPath(c.host, Drives()), c.windows) << c.host;
    }
    auto noSystemDrive = Drives();
    noSystemDrive.erase(noSystemDrive.begin());
    const std::string outside = platform::MapToWindowsPath("/home/me/vasktolbe", noSystemDrive);
    EXPECT_EQ(outside, R"(\\?\unix\home\me\vasktolbe)");
    EXPECT_EQ(platform::MapToHostPath(outside, noSystemDrive, "/"), "/home/me/vasktolbe");
}

TEST(Paths, ModuleFileNameMapsBackToTheRunningExecutable) {
    platform::SetHostFacts({});  // no drives: the path is written under \\?\unix\ .
    const std::string module = platform::GetModuleFileName();
    EXPECT_EQ(module.rfind(platform::kHostPathPrefix, 0), 0u) << module;
    char exe[PATH_MAX] = {};
    ASSERT_GT(::readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    EXPECT_EQ(platform::ToHostPath(module), std::string(exe));
}

}  // namespace

// The sandbox profile on Windows: host folders in Windows form, and volume answers taken from the
// profile alone, none from the drives of the host.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/host_facts.h"
#include "platform/sandbox_profile.h"
#include "platform/volumes.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::DriveType;

TEST(SandboxOnWindows, ProfileFoldersAreWindowsPaths) {
    const auto parse = platform::ParseSandboxProfile(
        "drive d: z:/tmp//sb/d/ fixed\n"
        "drive E: Z:\\tmp\\sb\\e removable usb\n"
        "desktop Z:\\tmp\\sb\\desktop\n",
        "p.txt");
    ASSERT_EQ(parse.error, "");
    ASSERT_EQ(parse.profile.drives.size(), 2u);
    EXPECT_EQ(parse.profile.drives[0].hostRoot, R"(Z:\tmp\sb\d)");
    EXPECT_EQ(parse.profile.drives[1].hostRoot, R"(Z:\tmp\sb\e)");
    EXPECT_EQ(parse.profile.desktop, R"(Z:\tmp\sb\desktop)");

    for (const char* root : {"/tmp/sb/d", "tmp\\sb", "Z:tmp", "Z:\\tmp\\..\\windows"}) {
        const auto bad =
            platform::ParseSandboxProfile(std::string("drive D: ") + root + " fixed", "p.txt");
        EXPECT_NE(bad.error.find("must be an absolute host path"), std::string::npos)
            << root << ": " << bad.error;
    }
}

TEST(SandboxOnWindows, VolumeAnswersComeFromTheProfileOnly) {
    tolbe_test::TempDir temp;
    for (const char* name : {"c", "d", "e", "g", "h"}) {
        fs::create_directories(temp.path() + "\\" + name);
    }
    const std::string base = temp.path();
    const auto parse = platform::ParseSandboxProfile(
        "drive C: " + base + "\\c fixed\n" + "drive D: " + base + "\\d fixed free=123456789\n" +
            "drive E: " + base + "\\e removable usb\n" + "drive G: " + base +
            "\\g remote free=fail\n" + "drive H: " + base + "\\h cdrom noquery\n",
        "p.txt");
    ASSERT_EQ(parse.error, "");
    platform::SetHostFacts(platform::FactsFromProfile(parse.profile, "p.txt"));

    const std::wstring expected(L"C:\\\0D:\\\0E:\\\0G:\\\0H:\\\0\0", 21);
    wchar_t buffer[32];
    EXPECT_EQ(platform::LogicalDriveStrings(32, buffer), 20u);
    EXPECT_EQ(std::wstring(buffer, 21), expected);  // the host's own Z: is not among them

    EXPECT_EQ(platform::DriveTypeOf(L"E:"), DriveType::Removable);
    EXPECT_EQ(platform::DriveTypeOf(L"g:\\"), DriveType::Remote);
    EXPECT_EQ(platform::DriveTypeOf(L"Z:"), DriveType::NoRootDir);
    EXPECT_EQ(platform::TotalFreeBytes(L"D:"), 123456789u);
    EXPECT_FALSE(platform::TotalFreeBytes(L"G:"));
    EXPECT_FALSE(platform::TotalFreeBytes(L"Z:"));
    // Without free=, the folder's filesystem is measured.
    const auto measured = platform::TotalFreeBytes(L"C:");
    ASSERT_TRUE(measured);
    const auto space = fs::space(base + "\\c");
    const uint64_t slack = uint64_t{1} << 30;  // others write to the same disk meanwhile
    EXPECT_LT(*measured > space.free ? *measured - space.free : space.free - *measured, slack);

    EXPECT_EQ(platform::StorageBusTypeOf(LR"(\\.\E:)"), platform::kBusTypeUsb);
    EXPECT_EQ(platform::StorageBusTypeOf(LR"(\\.\D:)"), platform::kBusTypeUnknown);
    EXPECT_FALSE(platform::StorageBusTypeOf(LR"(\\.\H:)"));  // noquery
    EXPECT_FALSE(platform::StorageBusTypeOf(LR"(\\.\Z:)"));  // a drive of the host, not ours
    platform::SetHostFacts({});
}

}  // namespace

#include "install/drive_selection.h"

#include <gtest/gtest.h>

#include "tests/support/profile_sandbox.h"

namespace {

constexpr unsigned long long kGiB = 1024ull * 1024 * 1024;

// A profile whose drive lines name a root folder as "@": each becomes a fresh folder.
std::string Profile(tolbe_test::ProfileSandbox& sandbox, const std::string& lines) {
    std::string text;
    int folder = 0;
    for (const char c : lines) {
        if (c == '@') {
            text += sandbox.Folder("root" + std::to_string(folder++));
        } else {
            text += c;
        }
    }
    return text;
}

std::string Free(unsigned long long bytes) {
    return " free=" + std::to_string(bytes);
}

TEST(DriveSelection, ChoosesTheFixedNonUsbDriveWithTheMostFreeSpace) {
    const struct {
        const char* what;
        std::string drives;
        const wchar_t* expected;
    } cases[] = {
        {"largest free wins",
         "drive C: @ fixed" + Free(500 * kGiB) + "\ndrive D: @ fixed" + Free(50 * kGiB) +
             "\ndrive E: @ fixed" + Free(120 * kGiB),
         L"E:"},
        {"C is never chosen", "drive C: @ fixed" + Free(900 * kGiB), L""},
        {"a drive reported as lower-case c is C",
         "drive c: @ fixed" + Free(900 * kGiB) + "\ndrive d: @ fixed" + Free(1), L"D:"},
        {"the only other fixed drive is on USB",
         "drive C: @ fixed\ndrive D: @ fixed usb" + Free(100 * kGiB), L""},
        {"a USB disk with more room is passed over",
         "drive D: @ fixed" + Free(10 * kGiB) + "\ndrive E: @ fixed usb" + Free(900 * kGiB), L"D:"},
        {"a tie goes to the earlier letter",
         "drive D: @ fixed" + Free(7 * kGiB) + "\ndrive E: @ fixed" + Free(7 * kGiB), L"D:"},
        {"one byte more is more",
         "drive D: @ fixed" + Free(kGiB) + "\ndrive E: @ fixed" + Free(kGiB + 1), L"E:"},
        {"zero free bytes is never chosen", "drive D: @ fixed" + Free(0), L""},
        {"an unqueryable volume is still a candidate",
         "drive D: @ fixed noquery" + Free(3 * kGiB) + "\ndrive E: @ fixed" + Free(2 * kGiB),
         L"D:"},
        {"a failed free-space query passes the drive over",
         "drive D: @ fixed free=fail\ndrive E: @ fixed" + Free(1), L"E:"},
        {"only fixed drives count",
         "drive D: @ removable" + Free(900 * kGiB) + "\ndrive E: @ remote" + Free(900 * kGiB) +
             "\ndrive F: @ cdrom" + Free(900 * kGiB) + "\ndrive G: @ ramdisk" + Free(900 * kGiB) +
             "\ndrive H: @ unknown" + Free(900 * kGiB),
         L""},
        {"the free space of a real folder is measured",
         "drive D: @ fixed" + Free(1) + "\ndrive E: @ fixed", L"E:"},
        {"no drives at all", "", L""},
    };
    for (const auto& c : cases) {
        tolbe_test::ProfileSandbox sandbox;
        ASSERT_EQ(sandbox.Load(Profile(sandbox, c.drives)), "") << c.what;
        std::wstring drive;
        SelectInstallDrive(drive);
        EXPECT_EQ(drive, c.expected) << c.what;
    }
}

TEST(DriveSelection, UsbTestAsksTheDeviceAndCountsFailuresAsNotUsb) {
    tolbe_test::ProfileSandbox sandbox;
    ASSERT_EQ(sandbox.Load(Profile(sandbox,
                                   "drive D: @ fixed usb\n"
                                   "drive E: @ fixed\n"
                                   "drive F: @ fixed usb noquery\n"
                                   "drive G: @ removable usb\n")),
              "");
    EXPECT_TRUE(IsUsbVolume(L"D:"));
    EXPECT_TRUE(IsUsbVolume(L"d:"));
    EXPECT_TRUE(IsUsbVolume(L"G:"));
    EXPECT_FALSE(IsUsbVolume(L"E:"));
    EXPECT_FALSE(IsUsbVolume(L"F:"));  // the volume cannot be opened
    EXPECT_FALSE(IsUsbVolume(L"Q:"));  // no such drive
    EXPECT_FALSE(IsUsbVolume(L""));
}

}  // namespace

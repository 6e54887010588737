#include "platform/mount_table.h"

#include <gtest/gtest.h>

namespace {

// Captured from a machine with a container root, a data disk, an NFS share, a DVD, a USB stick
// and the usual virtual filesystems; one mount point holds a blank (escaped as \040).
constexpr char kMountInfo[] =
    "22 1 0:21 / / rw,relatime - overlay overlay rw,lowerdir=/a\n"
    "23 22 0:22 / /proc rw,nosuid - proc proc rw\n"
    "24 22 0:23 / /sys ro - sysfs sysfs ro\n"
    "25 22 8:17 / /data rw,relatime shared:1 - ext4 /dev/sdb1 rw\n"
    "26 22 8:1 /containers/abc/hosts /etc/hosts rw - ext4 /dev/sda1 rw\n"
    "27 22 0:40 / /mnt/share rw - nfs4 fileserver:/export rw\n"
    "28 22 11:0 / /media/dvd ro - iso9660 /dev/sr0 ro\n"
    "29 22 8:33 / /media/My\\040Stick rw - vfat /dev/sdc1 rw\n"
    "30 22 0:50 / /dev/shm rw - tmpfs tmpfs rw\n"
    "31 22 8:17 / /data rw - ext4 /dev/sdb1 rw\n"
    "garbage line\n";

TEST(MountTable, MountsBecomeDrivesInMountOrder) {
    const auto mounts = platform::ParseMountInfo(kMountInfo);
    ASSERT_EQ(mounts.size(), 10u);
    EXPECT_EQ(mounts[7].mountPoint, "/media/My Stick");
    EXPECT_EQ(mounts[3].fsType, "ext4");
    EXPECT_EQ(mounts[3].source, "/dev/sdb1");

    const auto drives = platform::DrivesFromMounts(mounts);
    const struct {
        char letter;
        const char* root;
        platform::DriveType type;
    } expected[] = {
        {'C', "/", platform::DriveType::Fixed},
        {'D', "/data", platform::DriveType::Fixed},
        {'E', "/mnt/share", platform::DriveType::Remote},
        {'F', "/media/dvd", platform::DriveType::Cdrom},
        {'G', "/media/My Stick", platform::DriveType::Fixed},
    };
    ASSERT_EQ(drives.size(), std::size(expected));
    for (size_t i = 0; i < drives.size(); ++i) {
        EXPECT_EQ(drives[i].letter, expected[i].letter);
        EXPECT_EQ(drives[i].hostRoot, expected[i].root);
        EXPECT_EQ(drives[i].type, expected[i].type) << expected[i].root;
    }
}

TEST(MountTable, LettersStopAtZ) {
    std::string text;
    for (int i = 0; i < 30; ++i) {
        text +=
            "1 1 8:1 / /m" + std::to_string(i) + " rw - ext4 /dev/sd" + std::to_string(i) + " rw\n";
    }
    const auto drives = platform::DrivesFromMounts(platform::ParseMountInfo(text));
    ASSERT_EQ(drives.size(), 24u);  // C, then D to Z
    EXPECT_EQ(drives.back().letter, 'Z');
    EXPECT_EQ(drives.back().hostRoot, "/m22");
}

}  // namespace

#include "platform/mount_table.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using platform::DriveType;
using platform::FolderUse;

// Captured /proc/self/mountinfo texts (trimmed of some of their virtual filesystems).

// Ubuntu 22.04 on a laptop: one NVMe disk with an EFI partition, snaps as loop-mounted squashfs
// images, the session's runtime folder with its FUSE helpers.
constexpr char kUbuntuDesktop[] =
    "24 29 0:22 / /sys rw,nosuid,nodev,noexec,relatime shared:7 - sysfs sysfs rw\n"
    "25 29 0:23 / /proc rw,nosuid,nodev,noexec,relatime shared:13 - proc proc rw\n"
    "26 29 0:5 / /dev rw,nosuid,relatime shared:2 - devtmpfs udev "
    "rw,size=8119432k,nr_inodes=2029858,mode=755,inode64\n"
    "27 26 0:24 / /dev/pts rw,nosuid,noexec,relatime shared:3 - devpts devpts "
    "rw,gid=5,mode=620,ptmxmode=000\n"
    "28 29 0:25 / /run rw,nosuid,nodev,noexec,relatime shared:5 - tmpfs tmpfs "
    "rw,size=1631344k,mode=755,inode64\n"
    "29 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw,errors=remount-ro\n"
    "31 26 0:26 / /dev/shm rw,nosuid,nodev shared:4 - tmpfs tmpfs rw,inode64\n"
    "40 29 7:0 / /snap/bare/5 ro,nodev,relatime shared:21 - squashfs /dev/loop0 "
    "ro,errors=continue\n"
    "41 29 7:1 / /snap/core22/1033 ro,nodev,relatime shared:22 - squashfs /dev/loop1 "
    "ro,errors=continue\n"
    "42 29 7:2 / /snap/firefox/3600 ro,nodev,relatime shared:23 - squashfs /dev/loop2 "
    "ro,errors=continue\n"
    "43 29 7:3 / /snap/gnome-42-2204/141 ro,nodev,relatime shared:24 - squashfs /dev/loop3 "
    "ro,errors=continue\n"
    "45 29 259:1 / /boot/efi rw,relatime shared:26 - vfat /dev/nvme0n1p1 "
    "rw,fmask=0077,dmask=0077,codepage=437,iocharset=iso8859-1,shortname=mixed,"
    "errors=remount-ro\n"
    "580 28 0:4 mnt:[4026532558] /run/snapd/ns/firefox.mnt rw - nsfs nsfs rw\n"
    "60 28 0:48 / /run/user/1000 rw,nosuid,nodev,relatime shared:400 - tmpfs tmpfs "
    "rw,size=1631340k,nr_inodes=407835,mode=700,uid=1000,gid=1000,inode64\n"
    "61 60 0:49 / /run/user/1000/gvfs rw,nosuid,nodev,relatime shared:410 - fuse.gvfsd-fuse "
    "gvfsd-fuse rw,user_id=1000,group_id=1000\n"
    "62 60 0:50 / /run/user/1000/doc rw,nosuid,nodev,relatime shared:420 - fuse.portal portal "
    "rw,user_id=1000,group_id=1000\n";

// A small cloud machine or an old laptop: everything on one partition.
constexpr char kOnePartition[] =
    "21 26 0:20 / /sys rw,nosuid,nodev,noexec,relatime shared:7 - sysfs sysfs rw\n"
    "22 26 0:21 / /proc rw,nosuid,nodev,noexec,relatime shared:12 - proc proc rw\n"
    "23 26 0:5 / /dev rw,nosuid,relatime shared:2 - devtmpfs udev rw,size=989384k,mode=755\n"
    "25 26 0:23 / /run rw,nosuid,nodev,noexec,relatime shared:5 - tmpfs tmpfs rw,mode=755\n"
    "26 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,discard,errors=remount-ro\n"
    "27 26 0:24 / /tmp rw,nosuid,nodev shared:13 - tmpfs tmpfs rw\n";

// A desktop with /home and /boot of their own, a second data disk under /mnt (root's, with a
// folder for the player), a USB stick and an exFAT disk with a blank in its label, a DVD, and
// mounts that must get no letter.
constexpr char kDataDiskAndStick[] =
    "29 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
    "30 29 8:3 / /home rw,relatime shared:2 - ext4 /dev/sda3 rw\n"
    "31 29 8:1 / /boot rw,relatime shared:3 - ext4 /dev/sda1 rw\n"
    "32 31 8:4 / /boot/efi rw,relatime shared:4 - vfat /dev/sda4 rw,fmask=0077,dmask=0077\n"
    "28 29 0:25 / /run rw,nosuid,nodev shared:5 - tmpfs tmpfs rw,mode=755\n"
    "33 29 8:17 / /mnt/data rw,relatime shared:6 - ext4 /dev/sdb1 rw,errors=remount-ro\n"
    "34 28 8:33 / /run/media/me/BACKUP rw,nosuid,nodev,relatime shared:300 - ext4 /dev/sdc1 "
    "rw\n"
    "35 28 8:49 / /run/media/me/KINGSTON rw,nosuid,nodev,relatime shared:301 - vfat /dev/sdd1 "
    "rw,uid=1000,gid=1000,fmask=0022,dmask=0022,codepage=437,iocharset=iso8859-1,"
    "shortname=mixed,showexec,utf8,flush,errors=remount-ro\n"
    "36 28 11:0 / /run/media/me/Ubuntu\\04022.04 ro,nosuid,nodev,relatime shared:302 - "
    "iso9660 /dev/sr0 ro,nojoliet,check=relaxed,map=n,blocksize=2048,iocharset=utf8\n"
    "37 28 8:65 / /run/media/me/My\\040Photos rw,nosuid,nodev,relatime shared:303 - exfat "
    "/dev/sde1 rw,uid=1000,gid=1000,fmask=0022,dmask=0022,iocharset=utf8\n"
    "38 29 8:17 / /srv/games rw,relatime shared:6 - ext4 /dev/sdb1 rw\n"
    "39 29 8:17 / /mnt/data-again rw,relatime shared:6 - ext4 /dev/sdb1 rw\n"
    "40 29 8:2 / /mnt/sysroot rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
    "41 29 8:81 / /mnt/archive rw,relatime - ext4 /dev/sdf1 ro\n"
    "42 29 7:5 / /mnt/image rw,relatime - ext4 /dev/loop5 rw\n"
    "43 29 8:97 / /mnt/hidden rw,relatime - ext4 /dev/sdg1 rw\n"
    "44 29 0:60 / /mnt/hidden rw,relatime - tmpfs tmpfs rw\n"
    "45 29 8:113 /games /mnt/part rw,relatime - ext4 /dev/sdh1 rw\n";

// A server with its disks on LVM, network shares under /mnt and a local scratch disk.
constexpr char kServerWithShares[] =
    "25 1 253:0 / / rw,relatime shared:1 - xfs /dev/mapper/rl-root rw,attr2,inode64\n"
    "26 25 253:2 / /home rw,relatime shared:2 - xfs /dev/mapper/rl-home rw,attr2,inode64\n"
    "27 25 8:1 / /boot rw,relatime shared:3 - xfs /dev/sda1 rw\n"
    "40 25 0:50 / /mnt/nfs rw,relatime shared:60 - nfs4 fileserver:/export/games "
    "rw,vers=4.2,rsize=1048576,wsize=1048576,hard,proto=tcp,addr=10.0.0.5\n"
    "41 25 0:51 / /mnt/share rw,relatime shared:61 - cifs //winserver/games "
    "rw,vers=3.1.1,uid=1000,forceuid,gid=1000,forcegid,addr=10.0.0.6\n"
    "42 25 0:52 / /mnt/remote rw,nosuid,nodev,relatime shared:62 - fuse.sshfs "
    "me@backup:/data rw,user_id=1000,group_id=1000\n"
    "43 25 8:16 / /mnt/scratch rw,relatime shared:63 - xfs /dev/sdb rw,attr2,inode64\n";

struct ExpectedDrive {
    char letter;
    std::string root;
    DriveType type;
    bool madeOnFirstUse;
};

struct Machine {
    const char* name;
    const char* mountInfo;
    std::map<std::string, FolderUse> folders;  // anything else exists and is not writable
    std::vector<ExpectedDrive> drives;
};

platform::MountTableUser UserWith(const std::map<std::string, FolderUse>& folders) {
    platform::MountTableUser user;
    user.home = "/home/me";
    user.loginName = "me";
    user.folderUse = [folders](const std::string& path) {
        const auto found = folders.find(path);
        return found == folders.end() ? FolderUse::Unusable : found->second;
    };
    return user;
}

void ExpectDrives(const std::vector<platform::DriveFacts>& drives,
                  const std::vector<ExpectedDrive>& expected, const std::string& name) {
    ASSERT_EQ(drives.size(), expected.size()) << name;
    for (size_t i = 0; i < drives.size(); ++i) {
        EXPECT_EQ(drives[i].letter, expected[i].letter) << name;
        EXPECT_EQ(drives[i].hostRoot, expected[i].root) << name;
        EXPECT_EQ(drives[i].type, expected[i].type) << name << " " << expected[i].root;
        EXPECT_EQ(drives[i].rootMadeOnFirstUse, expected[i].madeOnFirstUse)
            << name << " " << expected[i].root;
    }
}

TEST(MountTable, CapturedMachinesGetTheirDrives) {
    const Machine machines[] = {
        // Neither the EFI partition nor a snap image is a drive; D: is ~/Games, made later.
        {"ubuntu desktop",
         kUbuntuDesktop,
         {{"/home/me", FolderUse::Owned}, {"/home/me/Games", FolderUse::Missing}},
         {{'C', "/", DriveType::Fixed, false}, {'D', "/home/me/Games", DriveType::Fixed, true}}},
        {"one partition",
         kOnePartition,
         {{"/home/me", FolderUse::Owned}, {"/home/me/Games", FolderUse::Owned}},
         {{'C', "/", DriveType::Fixed, false}, {'D', "/home/me/Games", DriveType::Fixed, false}}},
        // The data disk lends its folder for the player; the stick and the exFAT disk are the
        // player's own; the backup disk, the DVD, /srv, a second mount of a lettered disk or of
        // the system disk, a read-only, a loop, an over-mounted and a bind mount get nothing.
        {"data disk and stick",
         kDataDiskAndStick,
         {{"/home/me", FolderUse::Owned},
          {"/home/me/Games", FolderUse::Owned},
          {"/mnt/data/me", FolderUse::Owned},
          {"/run/media/me/KINGSTON", FolderUse::Owned},
          {"/run/media/me/My Photos", FolderUse::Owned},
          {"/srv/games", FolderUse::Owned},
          {"/mnt/data-again", FolderUse::Owned},
          {"/mnt/sysroot", FolderUse::Writable},
          {"/mnt/archive", FolderUse::Owned},
          {"/mnt/image", FolderUse::Owned},
          {"/mnt/hidden", FolderUse::Writable},
          {"/mnt/part", FolderUse::Writable}},
         {{'C', "/", DriveType::Fixed, false},
          {'D', "/home/me/Games", DriveType::Fixed, false},
          {'E', "/mnt/data/me", DriveType::Fixed, false},
          {'F', "/run/media/me/KINGSTON", DriveType::Fixed, false},
          {'G', "/run/media/me/My Photos", DriveType::Fixed, false}}},
        // Network shares get no letter, writable or not: a share whose server has gone would
        // hold up every search for an installation. The scratch disk is open to everyone.
        {"server with shares",
         kServerWithShares,
         {{"/home/me", FolderUse::Owned},
          {"/home/me/Games", FolderUse::Missing},
          {"/mnt/nfs", FolderUse::Writable},
          {"/mnt/share", FolderUse::Owned},
          {"/mnt/remote", FolderUse::Owned},
          {"/mnt/scratch", FolderUse::Writable}},
         {{'C', "/", DriveType::Fixed, false},
          {'D', "/home/me/Games", DriveType::Fixed, true},
          {'E', "/mnt/scratch", DriveType::Fixed, false}}},
    };
    for (const Machine& machine : machines) {
        const auto drives = platform::DrivesFromMounts(platform::ParseMountInfo(machine.mountInfo),
                                                       UserWith(machine.folders));
        ExpectDrives(drives, machine.drives, machine.name);
    }
}

TEST(MountTable, DiskDrivesCarryTheirBlockDeviceForTheTypeQuery) {
    const auto drives =
        platform::DrivesFromMounts(platform::ParseMountInfo(kDataDiskAndStick),
                                   UserWith({{"/home/me/Games", FolderUse::Owned},
                                             {"/run/media/me/KINGSTON", FolderUse::Owned}}));
    ASSERT_EQ(drives.size(), 3u);
    ASSERT_TRUE(drives[0].blockDevice);  // C: the system disk, as before
    EXPECT_EQ(drives[0].blockDevice->major, 8u);
    EXPECT_EQ(drives[0].blockDevice->minor, 2u);
    EXPECT_FALSE(drives[1].blockDevice);  // D: fixed, whatever disk holds the home folder
    ASSERT_TRUE(drives[2].blockDevice);
    EXPECT_EQ(drives[2].blockDevice->major, 8u);
    EXPECT_EQ(drives[2].blockDevice->minor, 49u);
}

TEST(MountTable, HomeGamesFolderIsDriveDOnlyWhenTheUserOwnsItOrMayMakeIt) {
    const struct {
        FolderUse home;
        FolderUse games;
        bool drive;
        bool madeOnFirstUse;
    } cases[] = {
        {FolderUse::Owned, FolderUse::Owned, true, false},
        {FolderUse::Owned, FolderUse::Missing, true, true},
        {FolderUse::Writable, FolderUse::Missing, true, true},
        {FolderUse::Unusable, FolderUse::Missing, false, false},  // a home that cannot be written
        {FolderUse::Owned, FolderUse::Unusable, false, false},    // a link, a file, not writable
        {FolderUse::Owned, FolderUse::Writable, false, false},    // somebody else's folder
    };
    // With no D:, the scratch disk of the server takes the letter.
    for (const auto& c : cases) {
        const auto drives =
            platform::DrivesFromMounts(platform::ParseMountInfo(kServerWithShares),
                                       UserWith({{"/home/me", c.home},
                                                 {"/home/me/Games", c.games},
                                                 {"/mnt/scratch", FolderUse::Writable}}));
        const std::string name = "home " + std::to_string(static_cast<int>(c.home)) + ", games " +
                                 std::to_string(static_cast<int>(c.games));
        std::vector<ExpectedDrive> expected = {{'C', "/", DriveType::Fixed, false}};
        if (c.drive) {
            expected.push_back({'D', "/home/me/Games", DriveType::Fixed, c.madeOnFirstUse});
        }
        expected.push_back({c.drive ? 'E' : 'D', "/mnt/scratch", DriveType::Fixed, false});
        ExpectDrives(drives, expected, name);
    }
}

TEST(MountTable, UnknownUserGetsNoHomeDriveAndNoFolderOnSharedDisks) {
    platform::MountTableUser user = UserWith({{"/mnt/data/me", FolderUse::Owned}});
    user.home = "";
    user.loginName = "";
    const auto nobody =
        platform::DrivesFromMounts(platform::ParseMountInfo(kDataDiskAndStick), user);
    ExpectDrives(nobody, {{'C', "/", DriveType::Fixed, false}}, "no user");

    // A login name that is no plain folder name never leads anywhere else.
    user = UserWith({{"/mnt/data", FolderUse::Owned}, {"/mnt/data/..", FolderUse::Owned}});
    user.home = "relative/home";
    user.loginName = "..";
    ExpectDrives(platform::DrivesFromMounts(platform::ParseMountInfo(kDataDiskAndStick), user),
                 {{'C', "/", DriveType::Fixed, false}, {'D', "/mnt/data", DriveType::Fixed, false}},
                 "odd user");
}

TEST(MountTable, MountPointsAreUnescapedAndHostileOnesGetNoLetter) {
    const auto mounts = platform::ParseMountInfo(
        "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "2 1 8:17 / /media/me/tab\\011new\\012line\\134 rw - ext4 /dev/sdb1 rw\n"
        "3 1 8:33 / /mnt/a/../../etc rw - ext4 /dev/sdc1 rw\n"
        "4 1 8:49 / /mnt/cut\\000/etc rw - ext4 /dev/sdd1 rw\n"
        "5 1 8:65 / mnt/relative rw - ext4 /dev/sde1 rw\n"
        "6 1 8:81 / /mnt/ok rw - ext4 /dev/sdf1 rw\n"
        "garbage line\n"
        "7 1 8 / /mnt/bad rw - ext4 /dev/sdg1 rw\n");
    ASSERT_EQ(mounts.size(), 6u);
    EXPECT_EQ(mounts[1].mountPoint, "/media/me/tab\tnew\nline\\");
    EXPECT_EQ(mounts[3].mountPoint, std::string("/mnt/cut\0/etc", 13));

    // Every mount point is writable here: only their names decide.
    platform::MountTableUser user;
    user.folderUse = [](const std::string&) { return FolderUse::Owned; };
    ExpectDrives(platform::DrivesFromMounts(mounts, user),
                 {{'C', "/", DriveType::Fixed, false},
                  {'D', "/media/me/tab\tnew\nline\\", DriveType::Fixed, false},
                  {'E', "/mnt/ok", DriveType::Fixed, false}},
                 "hostile names");
}

TEST(MountTable, ReadOnlyIsTheMountsOrTheFilesystemsOption) {
    const auto mounts = platform::ParseMountInfo(
        "1 0 8:1 / /mnt/a ro,relatime - ext4 /dev/sda1 rw\n"
        "2 0 8:2 / /mnt/b rw,relatime - ext4 /dev/sdb1 ro,errors=continue\n"
        "3 0 8:3 / /mnt/c rw,relatime - ext4 /dev/sdc1 rw,errors=remount-ro\n"
        "4 0 8:4 / /mnt/d rw,relatime - ext4 /dev/sdd1\n");
    ASSERT_EQ(mounts.size(), 4u);
    EXPECT_TRUE(mounts[0].readOnly);
    EXPECT_TRUE(mounts[1].readOnly);
    EXPECT_FALSE(mounts[2].readOnly);
    EXPECT_FALSE(mounts[3].readOnly);
}

TEST(MountTable, OpticalDiscsThatCanBeWrittenAreCdromDrives) {
    platform::MountTableUser user;
    user.folderUse = [](const std::string&) { return FolderUse::Owned; };
    const auto drives = platform::DrivesFromMounts(
        platform::ParseMountInfo("1 0 11:0 / /media/me/DISC rw - udf /dev/sr0 rw\n"), user);
    ExpectDrives(
        drives,
        {{'C', "/", DriveType::Fixed, false}, {'D', "/media/me/DISC", DriveType::Cdrom, false}},
        "rewritable disc");
}

TEST(MountTable, LettersStopAtZ) {
    std::string text;
    for (int i = 0; i < 30; ++i) {
        text += "1 1 8:" + std::to_string(i) + " / /mnt/m" + std::to_string(i) +
                " rw - ext4 /dev/sd" + std::to_string(i) + " rw\n";
    }
    const auto drives = platform::DrivesFromMounts(
        platform::ParseMountInfo(text),
        UserWith({{"/home/me/Games", FolderUse::Owned}, {"/mnt/m0", FolderUse::Writable}}));
    ASSERT_EQ(drives.size(), 3u);  // C, D and the one disk that can be written
    std::map<std::string, FolderUse> all;
    for (int i = 0; i < 30; ++i) {
        all["/mnt/m" + std::to_string(i)] = FolderUse::Writable;
    }
    const auto full = platform::DrivesFromMounts(platform::ParseMountInfo(text), UserWith(all));
    ASSERT_EQ(full.size(), 24u);  // C, then D to Z
    EXPECT_EQ(full.back().letter, 'Z');
    EXPECT_EQ(full.back().hostRoot, "/mnt/m22");
}

}  // namespace

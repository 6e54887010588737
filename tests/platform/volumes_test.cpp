#include "platform/volumes.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/block_device.h"
#include "platform/host_facts.h"
#include "platform/mount_table.h"
#include "tests/support/profile_sandbox.h"

namespace {

namespace fs = std::filesystem;
using platform::DriveType;

class VolumesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m_sandbox.Load("drive C: " + m_sandbox.Folder("c") + " fixed\n" +
                                 "drive d: " + m_sandbox.Folder("d") + " fixed free=123456789\n" +
                                 "drive E: " + m_sandbox.Folder("e") + " removable usb\n" +
                                 "drive G: " + m_sandbox.Folder("g") + " remote free=fail\n" +
                                 "drive H: " + m_sandbox.Folder("h") + " cdrom noquery\n"),
                  "");
    }
    tolbe_test::ProfileSandbox m_sandbox;
};

TEST_F(VolumesTest, DriveListHoldsTheRootPathsInLetterOrder) {
    const std::wstring expected(L"C:\\\0D:\\\0E:\\\0G:\\\0H:\\\0\0", 21);
    wchar_t buffer[32];
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    EXPECT_EQ(platform::LogicalDriveStrings(32, buffer), 20u);
    EXPECT_EQ(std::wstring(buffer, 21), expected);

    // Exactly enough room, then one character short: nothing is written, the need is told.
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    EXPECT_EQ(platform::LogicalDriveStrings(21, buffer), 20u);
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    EXPECT_EQ(platform::LogicalDriveStrings(20, buffer), 21u);
    EXPECT_EQ(buffer[0], L'#');
}

TEST_F(VolumesTest, DriveTypeFreeSpaceAndBusComeFromTheProfile) {
    const struct {
        const wchar_t* drive;
        DriveType type;
    } types[] = {
        {L"C:", DriveType::Fixed},     {L"D:", DriveType::Fixed},
        {L"d:\\", DriveType::Fixed},   {L"E:", DriveType::Removable},
        {L"G:", DriveType::Remote},    {L"H:", DriveType::Cdrom},
        {L"F:", DriveType::NoRootDir}, {L"D:\\Tolbe", DriveType::NoRootDir},
        {L"", DriveType::NoRootDir},   {L"1:", DriveType::NoRootDir},
    };
    for (const auto& t : types) {
        EXPECT_EQ(platform::DriveTypeOf(t.drive), t.type) << t.drive;
    }

    EXPECT_EQ(platform::TotalFreeBytes(L"D:"), 123456789u);
    EXPECT_FALSE(platform::TotalFreeBytes(L"G:"));
    EXPECT_FALSE(platform::TotalFreeBytes(L"F:"));
    // Without free=, the folder's filesystem is measured: its total free bytes.
    const auto measured = platform::TotalFreeBytes(L"C:");
    ASSERT_TRUE(measured);
    const auto space = fs::space(m_sandbox.Folder("c"));
    const uint64_t slack = uint64_t{1} << 30;  // others write to the same disk meanwhile
    EXPECT_LT(*measured > space.free ? *measured - space.free : space.free - *measured, slack);

    EXPECT_EQ(platform::StorageBusTypeOf(LR"(\\.\E:)"), platform::kBusTypeUsb);
    EXPECT_EQ(platform::StorageBusTypeOf(LR"(\\.\D:)"), platform::kBusTypeUnknown);
    EXPECT_FALSE(platform::StorageBusTypeOf(LR"(\\.\H:)"));  // noquery
    EXPECT_FALSE(platform::StorageBusTypeOf(LR"(\\.\F:)"));  // no such drive
    EXPECT_FALSE(platform::StorageBusTypeOf(L"E:"));         // not a device path
}

TEST(Volumes, NoDrivesMeansAnEmptyList) {
    platform::SetHostFacts({});
    wchar_t buffer[8] = {};
    EXPECT_EQ(platform::LogicalDriveStrings(8, buffer), 0u);
    EXPECT_EQ(buffer[0], L'\0');
}

// A sysfs tree as the kernel lays it out: /sys/dev/block/MAJ:MIN links to the device's place
// in the device tree, partitions sit inside their disk.
class BlockDeviceTest : public ::testing::Test {
protected:
    void Device(const std::string& number, const std::string& place, const char* removable,
                bool partition) {
        const std::string device = m_temp.Join("sys/devices/" + place);
        fs::create_directories(device);
        const std::string disk = partition ? device.substr(0, device.rfind('/')) : device;
        if (partition) {
            tolbe_test::WriteHostFile(device + "/partition", "1\n");
        }
        if (removable != nullptr) {
            tolbe_test::WriteHostFile(disk + "/removable", removable);
        }
        fs::create_directories(m_temp.Join("sys/dev/block"));
        fs::create_directory_symlink("../../devices/" + place,
                                     m_temp.Join("sys/dev/block/" + number));
    }
    std::string Sys() const { return m_temp.Join("sys"); }
    tolbe_test::TempDir m_temp;
};

TEST_F(BlockDeviceTest, RemovableFlagAndUsbBusAreReadFromTheDeviceTree) {
    Device("8:1", "pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda/sda1", "0\n",
           true);
    Device("8:17",
           "pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb/sdb1",
           "1\n", true);
    Device("8:32", "pci0000:00/0000:00:14.0/usb3/3-2/3-2:1.0/host7/target7:0:0/7:0:0:0/block/sdc",
           "0\n", false);
    Device("179:0", "platform/fe320000.mmc/mmc_host/mmc0/mmc0:0001/block/mmcblk0", "1\n", false);
    Device("259:1", "pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0/nvme0n1/nvme0n1p1", nullptr,
           true);

    const struct {
        unsigned major, minor;
        bool removable, usb;
    } cases[] = {
        {8, 1, false, false},    // SATA partition
        {8, 17, true, true},     // USB stick partition
        {8, 32, false, true},    // USB disk that says it is not removable
        {179, 0, true, false},   // SD card reader
        {259, 1, false, false},  // NVMe partition, no removable flag at all
    };
    for (const auto& c : cases) {
        const auto facts = platform::ReadBlockDeviceFacts(Sys(), c.major, c.minor);
        ASSERT_TRUE(facts) << c.major << ":" << c.minor;
        EXPECT_EQ(facts->removable, c.removable) << c.major << ":" << c.minor;
        EXPECT_EQ(facts->usb, c.usb) << c.major << ":" << c.minor;
    }
    // Anonymous devices (overlay, tmpfs, network filesystems) have no entry.
    EXPECT_FALSE(platform::ReadBlockDeviceFacts(Sys(), 0, 21));
}

TEST(MountInfo, EachMountCarriesItsDeviceNumber) {
    const auto mounts = platform::ParseMountInfo(
        "22 1 0:21 / / rw,relatime - overlay overlay rw\n"
        "25 22 8:17 / /data rw,relatime shared:1 - ext4 /dev/sdb1 rw\n"
        "28 22 259:65536 / /media/dvd ro - iso9660 /dev/sr0 ro\n"
        "29 22 8 / /bad rw - ext4 /dev/sdc1 rw\n"
        "30 22 8:x / /bad rw - ext4 /dev/sdc1 rw\n");
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].deviceMajor, 0u);
    EXPECT_EQ(mounts[0].deviceMinor, 21u);
    EXPECT_EQ(mounts[1].deviceMajor, 8u);
    EXPECT_EQ(mounts[1].deviceMinor, 17u);
    EXPECT_EQ(mounts[2].deviceMajor, 259u);
    EXPECT_EQ(mounts[2].deviceMinor, 65536u);
}

}  // namespace

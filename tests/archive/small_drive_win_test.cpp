// A full disk on Windows: the target lies on a small drive of Wine, filled but for a little room,
// while the sandbox reports plenty of free space, so that the room check lets the run start and
// a write comes up short as on a disk that fills meanwhile. Run through wine_drives.sh, which
// makes the drive (see tests/archive/CMakeLists.txt).
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/archive/extraction_workers.h"
#include "tests/archive/wait_for_end.h"
#include "tests/support/host_files.h"
#include "tests/support/random_bytes.h"
#include "tests/support/sandbox.h"
#include "tests/support/small_drive_win.h"
#include "tests/support/zip_writer.h"

namespace {

// The run fails; the file before stays whole, the cut one keeps what fitted, and the entry after
// it leaves nothing. The entries go one at a time in the archive's order (a progress hook), so
// that the small file before is written before the big one fills the drive.
TEST(OnASmallDrive, AShortWriteFailsTheRun) {
    const std::optional<std::string> drive = tolbe_test::SmallDriveRoot();
    if (!drive) {
        GTEST_SKIP() << "run through wine_drives.sh, which makes the small drive";
    }
    constexpr size_t kRoom = 64 * 1024;
    constexpr size_t kBig = 4 * kRoom;
    tolbe_test::SandboxDrives drives("D", *drive);
    drives.SetFreeBytes('D', uint64_t{1} << 30);
    const std::string small = tolbe_test::RandomBytes(1000, 7);
    tolbe_test::WriteZip(
        drives.Host(R"(D:\Client.zip)"),
        {{"small.bin", small}, {"big.bin", tolbe_test::RandomBytes(kBig, 8)}, {"z.txt", "z"}});
    const tolbe_test::DriveFiller filler(drives.Root('D'), kRoom);

    tolbe_test::Extractor zip;
    zip.SetProgressHook([](uint64_t) {});
    ASSERT_TRUE(zip.StartUnzip(LR"(D:\Client.zip)", LR"(D:\Tolbe)"));
    EXPECT_EQ(tolbe_test::WaitForEnd(zip), CZipImplement::kFailed);
    EXPECT_EQ(tolbe_test::ReadHostFile(drives.Host(R"(D:\Tolbe\small.bin)")), small);
    const uint64_t cut =
        std::filesystem::file_size(tolbe_test::HostPathOf(drives.Host(R"(D:\Tolbe\big.bin)")));
    EXPECT_GT(cut, 0u);
    EXPECT_LT(cut, kBig);
    EXPECT_FALSE(tolbe_test::HostPathExists(drives.Host(R"(D:\Tolbe\z.txt)")));
}

}  // namespace

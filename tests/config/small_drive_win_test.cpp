// A full disk on Windows: the client directory lies on a small drive of Wine, filled up, so that
// the write of a new record fails. Run through wine_drives.sh, which makes the drive (see
// tests/config/CMakeLists.txt).
#include <gtest/gtest.h>

#include <filesystem>

#include "config/config_store.h"
#include "config/diagnostics.h"
#include "tests/support/debug_capture.h"
#include "tests/support/host_files.h"
#include "tests/support/sandbox.h"
#include "tests/support/small_drive_win.h"

namespace {

TEST(OnASmallDrive, AFailedSaveKeepsTheOldFile) {
    const std::optional<std::string> drive = tolbe_test::SmallDriveRoot();
    if (!drive) {
        GTEST_SKIP() << "run through wine_drives.sh, which makes the small drive";
    }
    const tolbe_test::SandboxDrives sandbox("D", *drive);
    const std::string dir = R"(D:\Tolbe\)";
    std::filesystem::create_directories(tolbe_test::HostPathOf(sandbox.Host(dir)));
    zorv_VersionCheck old;
    old.set_version("1.0");
    ASSERT_TRUE(SaveConfigTo(dir, old));
    const std::string oldBytes = tolbe_test::ReadHostFile(sandbox.Host(dir + kConfigFileName));
    zorv_VersionCheck bigger;
    bigger.set_version("2.0");
    bigger.set_spare_text_9(std::string(64 * 1024, 'n'));

    const tolbe_test::DriveFiller filler(sandbox.Root('D'), 0);
    tolbe_test::DebugCapture diagnostics;
    EXPECT_FALSE(SaveConfigTo(dir, bigger));
    EXPECT_EQ(diagnostics.pieces(),
              std::vector<std::string>{std::string(kDiagConfigSaveFailed) + "\r\n"});
    EXPECT_EQ(tolbe_test::ReadHostFile(sandbox.Host(dir + kConfigFileName)), oldBytes);
    // Nothing but config.zorv: no temporary file was left behind.
    EXPECT_EQ(tolbe_test::TreeBelow(sandbox.Host(dir)),
              (tolbe_test::HostTree{{kConfigFileName, oldBytes}}));
}

}  // namespace

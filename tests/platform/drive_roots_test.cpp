// A drive whose root is made on first use (~/Games on a Linux desktop): listed and measured like
// any fixed drive while it does not exist, made only when the launcher writes onto it.

#include "platform/drive_roots.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/host_facts.h"
#include "platform/volumes.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class FirstUseRootTest : public ::testing::Test {
protected:
    // D: <temp>/home/Games, made on first use; E: a plain drive whose root is missing.
    void SetUp() override {
        fs::create_directories(Home());
        platform::HostFacts facts;
        platform::DriveFacts games;
        games.letter = 'D';
        games.hostRoot = Games();
        games.rootMadeOnFirstUse = true;
        platform::DriveFacts plain;
        plain.letter = 'E';
        plain.hostRoot = m_temp.Join("plain");
        facts.drives = {games, plain};
        platform::SetHostFacts(facts);
    }
    void TearDown() override { platform::SetHostFacts({}); }

    std::string Home() const { return m_temp.Join("home"); }
    std::string Games() const { return m_temp.Join("home/Games"); }

    tolbe_test::TempDir m_temp;
};

TEST_F(FirstUseRootTest, ListingAndMeasuringMakeNothing) {
    wchar_t list[16] = {};
    EXPECT_EQ(platform::LogicalDriveStrings(16, list), 8u);
    EXPECT_EQ(platform::DriveTypeOf(L"D:"), platform::DriveType::Fixed);
    EXPECT_EQ(platform::StorageBusTypeOf(LR"(\\.\D:)"), std::nullopt);  // no device: not USB
    // The home folder's filesystem answers for the root that is not there yet; a plain drive
    // without its root has no free space to tell.
    EXPECT_TRUE(platform::TotalFreeBytes(L"D:"));
    EXPECT_FALSE(platform::TotalFreeBytes(L"E:"));
    EXPECT_FALSE(platform::ReachesDriveRoot(R"(D:\Tolbe)"));
    EXPECT_FALSE(tolbe_test::HostPathExists(Games()));
}

TEST_F(FirstUseRootTest, RootIsMadeOnceWhenTheLauncherWritesOntoTheDrive) {
    EXPECT_TRUE(platform::MakeDriveRootOnFirstUse("D:"));
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(Games())));
    tolbe_test::WriteHostFile(Games() + "/kept.txt", "already here");
    EXPECT_TRUE(platform::MakeDriveRootOnFirstUse("d:\\"));
    EXPECT_EQ(tolbe_test::ReadHostFile(Games() + "/kept.txt"), "already here");

    // Drives whose roots are not made on first use, and unknown drives, are left as they are.
    EXPECT_TRUE(platform::MakeDriveRootOnFirstUse("E:"));
    EXPECT_TRUE(platform::MakeDriveRootOnFirstUse("Q:"));
    EXPECT_TRUE(platform::MakeDriveRootOnFirstUse(""));
    EXPECT_FALSE(tolbe_test::HostPathExists(m_temp.Join("plain")));
}

TEST_F(FirstUseRootTest, SomethingElseInTheRootsPlaceIsNeitherReplacedNorFollowed) {
    const std::string elsewhere = m_temp.Join("elsewhere");
    fs::create_directories(elsewhere);
    fs::create_directory_symlink(elsewhere, Games());
    EXPECT_FALSE(platform::MakeDriveRootOnFirstUse("D:"));
    EXPECT_TRUE(fs::is_symlink(Games()));
    EXPECT_TRUE(fs::is_empty(elsewhere));

    fs::remove(Games());
    tolbe_test::WriteHostFile(Games(), "a file named Games");
    EXPECT_FALSE(platform::MakeDriveRootOnFirstUse("D:"));
    EXPECT_EQ(tolbe_test::ReadHostFile(Games()), "a file named Games");
}

TEST_F(FirstUseRootTest, RootThatCannotBeMadeIsReported) {
    fs::remove_all(Home());
    EXPECT_FALSE(platform::MakeDriveRootOnFirstUse("D:"));
    EXPECT_FALSE(tolbe_test::HostPathExists(Games()));
}

}  // namespace

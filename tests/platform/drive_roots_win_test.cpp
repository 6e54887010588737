// Windows: which paths reach up to a drive's root, so that no tree removal may empty one.

#include <gtest/gtest.h>

#include "platform/drive_roots.h"
#include "platform/host_facts.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(DriveRootsOnWindows, RootsOfTheProfileAndOfTheHostAreReached) {
    tolbe_test::TempDir temp;
    platform::HostFacts facts;
    facts.sandboxed = true;
    facts.drives.resize(2);
    facts.drives[0].letter = 'D', facts.drives[0].hostRoot = temp.path() + R"(\d)";
    facts.drives[1].letter = 'E', facts.drives[1].hostRoot = temp.path() + R"(\d\mnt\e)";
    platform::SetHostFacts(facts);
    const struct {
        const char* path;
        bool reaches;
    } cases[] = {
        {R"(D:\)", true},
        {R"(D:\.\)", true},
        {R"(D:\Tolbe\..)", true},
        {R"(D:\mnt)", true},
        {R"(d:\MNT\)", true},
        {R"(E:\)", true},
        {R"(D:\Tolbe)", false},
        {R"(D:\mnt\f)", false},
        {R"(E:\Tolbe\)", false},
        {R"(Q:\Tolbe)", true},  // no drive of the profile: no host path at all
        {R"(\\server\share\Tolbe)", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::ReachesDriveRoot(c.path), c.reaches) << c.path;
    }

    // Without a profile every drive is its own root.
    platform::SetHostFacts({});
    EXPECT_TRUE(platform::ReachesDriveRoot(R"(C:\)"));
    EXPECT_TRUE(platform::ReachesDriveRoot(R"(c:\windows\..)"));
    EXPECT_FALSE(platform::ReachesDriveRoot(R"(C:\Tolbe)"));
}

}  // namespace

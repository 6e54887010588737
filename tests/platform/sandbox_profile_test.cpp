#include "platform/sandbox_profile.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/host_facts.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::DriveType;

TEST(SandboxProfile, ReadsEveryKindOfLine) {
    const auto parse = platform::ParseSandboxProfile(
        "# drives of the test machine\n"
        "drive E: /tmp/sb/e fixed usb\n"
        "  drive d: //tmp/sb/d/ fixed free=53687091200   # comment after a fact\n"
        "\n"
        "drive F: /tmp/sb/f removable\n"
        "drive G: /tmp/sb/g fixed noquery free=fail\n"
        "drive H: /mnt/h cdrom\n"
        "host notice.tolbe.example:80 127.0.0.1:39123\n"
        "host cdn.example:443 [::1]:8443\n"
        "desktop /tmp/sb/desktop\n"
        "proxy host\n",
        "p.txt");
    ASSERT_EQ(parse.error, "");
    EXPECT_TRUE(parse.profile.hostProxy);
    const auto& drives = parse.profile.drives;
    ASSERT_EQ(drives.size(), 5u);
    EXPECT_EQ(drives[0].letter, 'D');  // ordered by letter, upper case
    EXPECT_EQ(drives[0].hostRoot, "/tmp/sb/d");
    EXPECT_EQ(drives[0].freeBytes, 53687091200u);
    EXPECT_FALSE(drives[0].usb);
    EXPECT_TRUE(drives[1].usb);
    EXPECT_FALSE(drives[1].freeBytes.has_value());
    EXPECT_EQ(drives[2].type, DriveType::Removable);
    EXPECT_TRUE(drives[3].deviceQueryFails);
    EXPECT_TRUE(drives[3].freeQueryFails);
    EXPECT_EQ(drives[4].type, DriveType::Cdrom);
    ASSERT_EQ(parse.profile.hosts.size(), 2u);
    EXPECT_EQ(parse.profile.hosts[0].fromHost, "notice.tolbe.example");
    EXPECT_EQ(parse.profile.hosts[0].fromPort, 80);
    EXPECT_EQ(parse.profile.hosts[0].toHost, "127.0.0.1");
    EXPECT_EQ(parse.profile.hosts[0].toPort, 39123);
    EXPECT_EQ(parse.profile.hosts[1].toHost, "[::1]");
    EXPECT_EQ(parse.profile.desktop, "/tmp/sb/desktop");
}

TEST(SandboxProfile, MalformedLinesNameFileAndLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"volume D: /x fixed", "p.txt:1: unknown fact 'volume'"},
        {"drive D: /x", "p.txt:1: a drive line needs"},
        {"\n\ndrive DD: /x fixed", "p.txt:3: bad drive letter 'DD:'"},
        {"drive 4: /x fixed", "p.txt:1: bad drive letter '4:'"},
        {"drive D: /x fixed\ndrive d: /y fixed", "p.txt:2: drive D: is declared twice"},
        {"drive D: relative/x fixed", "p.txt:1: drive root 'relative/x' must be an absolute"},
        {"drive D: /x/../etc fixed", "p.txt:1: drive root '/x/../etc'"},
        {"drive D: /x floppy", "p.txt:1: unknown drive type 'floppy'"},
        {"drive D: /x fixed free=12GB", "p.txt:1: bad free space 'free=12GB'"},
        {"drive D: /x fixed free=-1", "p.txt:1: bad free space"},
        {"drive D: /x fixed free=99999999999999999999", "p.txt:1: bad free space"},
        {"drive D: /x fixed fast", "p.txt:1: unknown drive option 'fast'"},
        {"host notice.tolbe.example 127.0.0.1:1", "p.txt:1: a host line is"},
        {"host a:80 b:0", "p.txt:1: a host line is"},
        {"host a:80 b:65536", "p.txt:1: a host line is"},
        {"host a:80 b:1 c", "p.txt:1: a host line is"},
        {"host a:80 b:1\nhost a:80 c:2", "p.txt:2: host a:80 is redirected twice"},
        {"desktop", "p.txt:1: a desktop line is"},
        {"desktop ~/Desktop", "p.txt:1: desktop folder '~/Desktop'"},
        {"desktop /a\ndesktop /b", "p.txt:2: the desktop is declared twice"},
        {"proxy", "p.txt:1: a proxy line is: proxy host"},
        {"proxy http://10.0.0.1:3128", "p.txt:1: a proxy line is: proxy host"},
    };
    for (const auto& c : cases) {
        const auto parse = platform::ParseSandboxProfile(c.text, "p.txt");
        EXPECT_EQ(parse.error.rfind(c.error, 0), 0u)
            << "profile: " << c.text << "\nerror:   " << parse.error;
    }
}

TEST(SandboxProfile, EnvironmentVariableSelectsTheProfile) {
    tolbe_test::TempDir dir;
    const std::string good = dir.Join("good.txt");
    const std::string bad = dir.Join("bad.txt");
    tolbe_test::WriteHostFile(good, "drive D: " + dir.path() + " fixed\n");
    tolbe_test::WriteHostFile(bad, "drive D: " + dir.path() + " fixed\nbogus\n");

    ::setenv("TOLBE_SANDBOX", good.c_str(), 1);
    EXPECT_EQ(platform::InitHostFacts(), "");
    EXPECT_TRUE(platform::Host()->sandboxed);
    ASSERT_EQ(platform::Host()->drives.size(), 1u);
    EXPECT_EQ(platform::Host()->drives[0].hostRoot, dir.path());

    // A malformed profile leaves no drive at all, so nothing on the host is touched.
    ::setenv("TOLBE_SANDBOX", bad.c_str(), 1);
    EXPECT_EQ(platform::InitHostFacts(),
              bad + ":2: unknown fact 'bogus' (expected drive, host, desktop or proxy)");
    EXPECT_TRUE(platform::Host()->drives.empty());

    ::setenv("TOLBE_SANDBOX", dir.Join("missing.txt").c_str(), 1);
    EXPECT_NE(platform::InitHostFacts().find("missing.txt: cannot read the sandbox profile"),
              std::string::npos);

    ::unsetenv("TOLBE_SANDBOX");
    EXPECT_EQ(platform::InitHostFacts(), "");
    EXPECT_FALSE(platform::Host()->sandboxed);
    ASSERT_FALSE(platform::Host()->drives.empty());
    EXPECT_EQ(platform::Host()->drives[0].letter, 'C');
    EXPECT_EQ(platform::Host()->drives[0].hostRoot, "/");
    platform::SetHostFacts({});
}

}  // namespace

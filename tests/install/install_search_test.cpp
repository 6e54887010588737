#include "install/install_search.h"

#include <gtest/gtest.h>

#include "tests/support/profile_sandbox.h"

namespace {

using tolbe_test::WriteHostFile;

TEST(InstallSearch, ReplaceAllReplacesEveryOccurrenceWithoutSearchingTheReplacement) {
    const struct {
        std::string text, from, to, expected;
    } cases[] = {
        {"D:\\", "\\", "", "D:"},     {"\\a\\\\b\\", "\\", "", "ab"},
        {"aaa", "a", "aa", "aaaaaa"},  // the inserted text is not searched again
        {"abab", "ab", "b", "bb"},    {"xyz", "q", "r", "xyz"},
        {"", "\\", "", ""},           {"abc", "", "x", "abc"},  // an empty pattern matches nothing
        {"abc", "", "", "abc"},                                 // and does not loop for ever
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        ReplaceAll(text, c.from, c.to);
        EXPECT_EQ(text, c.expected) << "'" << c.text << "' '" << c.from << "' -> '" << c.to << "'";
    }
}

TEST(InstallSearch, ProbePathJoinsRootDirectoryAndExecutable) {
    EXPECT_EQ(ProbePath("D:\\", "Tolbe", "t.exe"), "D:\\Tolbe\\t.exe");
    EXPECT_EQ(ProbePath("C:\\", "My Game", "game.exe"), "C:\\My Game\\game.exe");
    EXPECT_EQ(ProbePath("E:\\", "", ""), "E:\\\\");
}

class FindInstalledDriveTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m_sandbox.Load("drive C: " + m_sandbox.Folder("c") + " fixed\n" +
                                 "drive D: " + m_sandbox.Folder("d") + " fixed\n" +
                                 "drive E: " + m_sandbox.Folder("e") + " fixed\n" +
                                 "drive F: " + m_sandbox.Folder("f") + " removable\n" +
                                 "drive G: " + m_sandbox.Folder("g") + " remote\n" +
                                 "drive H: " + m_sandbox.Folder("h") + " cdrom\n"),
                  "");
    }
    void Put(const std::string& windowsPath) { WriteHostFile(m_sandbox.Host(windowsPath), "x"); }

    tolbe_test::ProfileSandbox m_sandbox;
};

TEST_F(FindInstalledDriveTest, FirstDriveInListOrderThatHoldsTheExecutableWins) {
    EXPECT_EQ(FindInstalledDrive("Tolbe", "tolbe.exe"), "");
    Put(R"(E:\Tolbe\tolbe.exe)");
    EXPECT_EQ(FindInstalledDrive("Tolbe", "tolbe.exe"), "E:\\");
    Put(R"(D:\Tolbe\tolbe.exe)");
    EXPECT_EQ(FindInstalledDrive("Tolbe", "tolbe.exe"), "D:\\");
}

TEST_F(FindInstalledDriveTest, EveryDriveTypeIsSearched) {
    for (const char* exe :
         {R"(F:\Tolbe\a.exe)", R"(G:\Tolbe\b.exe)", R"(H:\Tolbe\c.exe)", R"(C:\Tolbe\d.exe)"}) {
        Put(exe);
    }
    EXPECT_EQ(FindInstalledDrive("Tolbe", "a.exe"), "F:\\");
    EXPECT_EQ(FindInstalledDrive("Tolbe", "b.exe"), "G:\\");
    EXPECT_EQ(FindInstalledDrive("Tolbe", "c.exe"), "H:\\");
    EXPECT_EQ(FindInstalledDrive("Tolbe", "d.exe"), "C:\\");
}

TEST_F(FindInstalledDriveTest, OnlyTheNamedExecutableMarksAnInstallation) {
    Put(R"(D:\Tolbe\config.zorv)");
    Put(R"(D:\Tolbe\other.exe)");
    EXPECT_EQ(FindInstalledDrive("Tolbe", "tolbe.exe"), "");
    // Names are taken literally: no wildcards.
    EXPECT_EQ(FindInstalledDrive("Tolbe", "*"), "");
    EXPECT_EQ(FindInstalledDrive("Tolbe", "?????.exe"), "");
    // An empty server record probes "X:\\", which names no file on any drive.
    EXPECT_EQ(FindInstalledDrive("", ""), "");
    EXPECT_EQ(FindInstalledDrive("Tolbe", ""), "");
}

TEST(InstallSearch, AllTwentySixDrivesAreSearched) {
    // 26 drives need 105 characters, more than the first 100-character read holds.
    tolbe_test::ProfileSandbox sandbox;
    std::string profile;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        profile += std::string("drive ") + letter + ": " + sandbox.Folder(std::string(1, letter)) +
                   " fixed\n";
    }
    ASSERT_EQ(sandbox.Load(profile), "");
    WriteHostFile(sandbox.Host(R"(Z:\Tolbe\tolbe.exe)"), "x");
    EXPECT_EQ(FindInstalledDrive("Tolbe", "tolbe.exe"), "Z:\\");
    WriteHostFile(sandbox.Host(R"(A:\Tolbe\tolbe.exe)"), "x");
    EXPECT_EQ(FindInstalledDrive("Tolbe", "tolbe.exe"), "A:\\");
}

TEST(InstallSearch, VersionsCompareByteForByte) {
    const struct {
        std::string installed, server;
        bool same;
    } cases[] = {
        {"1.2.0", "1.2.0", true},
        {"", "", true},
        {"1.2.0", "1.2.0 ", false},
        {" 1.2.0", "1.2.0", false},
        {"v1.2", "V1.2", false},
        {"1.10", "1.1", false},
        {"1.0", "1", false},
        {std::string("1\0a", 3), std::string("1\0b", 3), false},
        {std::string("1\0", 2), "1", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SameVersion(c.installed, c.server), c.same)
            << "'" << c.installed << "' vs '" << c.server << "'";
    }
}

}  // namespace

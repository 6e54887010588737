#include "install/install_search.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "config/config_store.h"
#include "tests/support/host_files.h"
#include "tests/support/profile_sandbox.h"

namespace {

using tolbe_test::WriteHostFile;

// The bytes of an installation's config.zorv.
std::string InstalledConfig() {
    zorv_VersionCheck record;
    record.set_version("1.0");
    return ConfigFileBytes(record);
}

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
public:  // reached from the planting functions of the table below
    void SetUp() override {
        ASSERT_EQ(m_sandbox.Load("drive C: " + m_sandbox.Folder("c") + " fixed\n" +
                                 "drive D: " + m_sandbox.Folder("d") + " fixed\n" +
                                 "drive E: " + m_sandbox.Folder("e") + " fixed\n" +
                                 "drive F: " + m_sandbox.Folder("f") + " removable\n" +
                                 "drive G: " + m_sandbox.Folder("g") + " remote\n" +
                                 "drive H: " + m_sandbox.Folder("h") + " cdrom\n"),
                  "");
    }
    void Put(const std::string& windowsPath, const std::string& bytes = "x") {
        WriteHostFile(m_sandbox.Host(windowsPath), bytes);
    }
    // An installation as the launcher leaves it: the game beside a config.zorv.
    void Install(const std::string& exePath) {
        Put(exePath);
        Put(exePath.substr(0, exePath.rfind('\\') + 1) + "config.zorv", InstalledConfig());
    }

    tolbe_test::ProfileSandbox m_sandbox;
};

TEST_F(FindInstalledDriveTest, FirstDriveInListOrderThatHoldsTheExecutableWins) {
    EXPECT_EQ(FindInstalledDrive("Tolbe", "tolbe.exe"), "");
    Install(R"(E:\Tolbe\tolbe.exe)");
    EXPECT_EQ(FindInstalledDrive("Tolbe", "tolbe.exe"), "E:\\");
    Install(R"(D:\Tolbe\tolbe.exe)");
    EXPECT_EQ(FindInstalledDrive("Tolbe", "tolbe.exe"), "D:\\");
}

TEST_F(FindInstalledDriveTest, EveryDriveTypeIsSearched) {
    for (const char* exe :
         {R"(F:\Tolbe\a.exe)", R"(G:\Tolbe\b.exe)", R"(H:\Tolbe\c.exe)", R"(C:\Tolbe\d.exe)"}) {
        Install(exe);
    }
    EXPECT_EQ(FindInstalledDrive("Tolbe", "a.exe"), "F:\\");
    EXPECT_EQ(FindInstalledDrive("Tolbe", "b.exe"), "G:\\");
    EXPECT_EQ(FindInstalledDrive("Tolbe", "c.exe"), "H:\\");
    EXPECT_EQ(FindInstalledDrive("Tolbe", "d.exe"), "C:\\");
}

TEST_F(FindInstalledDriveTest, OnlyTheNamedExecutableMarksAnInstallation) {
    Put(R"(D:\Tolbe\config.zorv)", InstalledConfig());
    Put(R"(D:\Tolbe\other.exe)");
    EXPECT_EQ(FindInstalledDrive("Tolbe", "tolbe.exe"), "");
    // Names are taken literally: no wildcards.
    EXPECT_EQ(FindInstalledDrive("Tolbe", "*"), "");
    EXPECT_EQ(FindInstalledDrive("Tolbe", "?????.exe"), "");
    // An empty server record probes "X:\\", which names no file on any drive.
    EXPECT_EQ(FindInstalledDrive("", ""), "");
    EXPECT_EQ(FindInstalledDrive("Tolbe", ""), "");
}

// Folders that carry the names but are not the launcher's: none is taken for an installation, so
// none is ever replaced or written into.
TEST_F(FindInstalledDriveTest, OnlyAFolderWithTheGameAndTheLaunchersConfigIsAnInstallation) {
    namespace fs = std::filesystem;
    const struct {
        const char* name;
        std::function<void(FindInstalledDriveTest&)> plant;
    } cases[] = {
        {"the game without config.zorv", [](auto& t) { t.Put(R"(D:\Users\desktop.ini)"); }},
        {"a config.zorv that is a folder",
         [](auto& t) {
             t.Put(R"(D:\Users\desktop.ini)");
             fs::create_directories(t.m_sandbox.Host(R"(D:\Users\config.zorv)"));
         }},
        {"the game is a folder",
         [](auto& t) {
             fs::create_directories(t.m_sandbox.Host(R"(D:\Users\desktop.ini)"));
             t.Put(R"(D:\Users\config.zorv)", InstalledConfig());
         }},
        {"the client directory is a link to an installation",
         [](auto& t) {
             t.Install(R"(D:\elsewhere\desktop.ini)");
             tolbe_test::MakeHostFolderLink(t.m_sandbox.Host(R"(D:\Users)"),
                                            t.m_sandbox.Host(R"(D:\elsewhere)"));
         }},
    };
    for (const auto& c : cases) {
        tolbe_test::RemoveHostTree(tolbe_test::HostPathOf(m_sandbox.Host(R"(D:\)")));
        fs::create_directories(m_sandbox.Host(R"(D:\)"));
        c.plant(*this);
        EXPECT_EQ(FindInstalledDrive("Users", "desktop.ini"), "") << c.name;
    }
    // The same folder with the launcher's config.zorv beside the game is one.
    tolbe_test::RemoveHostTree(tolbe_test::HostPathOf(m_sandbox.Host(R"(D:\)")));
    Install(R"(D:\Users\desktop.ini)");
    EXPECT_EQ(FindInstalledDrive("Users", "desktop.ini"), "D:\\");
}

// The same for links to files in the place of the game or of config.zorv.
TEST_F(FindInstalledDriveTest, ALinkToAFileIsNeitherTheGameNorTheLaunchersConfig) {
    if (!tolbe_test::HostShowsFileLinks()) {
        GTEST_SKIP() << tolbe_test::kFileLinksUnseen;
    }
    Put(R"(D:\Users\desktop.ini)");
    Put(R"(D:\record.zorv)", InstalledConfig());
    tolbe_test::MakeHostFileLink(m_sandbox.Host(R"(D:\Users\config.zorv)"),
                                 m_sandbox.Host(R"(D:\record.zorv)"));
    EXPECT_EQ(FindInstalledDrive("Users", "desktop.ini"), "") << "config.zorv a link";
    Put(R"(D:\Other\config.zorv)", InstalledConfig());
    Put(R"(D:\other.exe)");
    tolbe_test::MakeHostFileLink(m_sandbox.Host(R"(D:\Other\desktop.ini)"),
                                 m_sandbox.Host(R"(D:\other.exe)"));
    EXPECT_EQ(FindInstalledDrive("Other", "desktop.ini"), "") << "the game a link";
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
    for (const char* path : {R"(Z:\Tolbe\tolbe.exe)", R"(Z:\Tolbe\config.zorv)"}) {
        WriteHostFile(sandbox.Host(path), InstalledConfig());
    }
    EXPECT_EQ(FindInstalledDrive("Tolbe", "tolbe.exe"), "Z:\\");
    for (const char* path : {R"(A:\Tolbe\tolbe.exe)", R"(A:\Tolbe\config.zorv)"}) {
        WriteHostFile(sandbox.Host(path), InstalledConfig());
    }
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

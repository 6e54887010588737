// zorvtool as an operator runs it: the built program, its output, its exit status.

#include <gtest/gtest.h>

#include "config/config_store.h"
#include "tests/support/run_process.h"
#include "tests/support/temp_dir.h"

namespace {

using tolbe_test::RunProcess;

tolbe_test::ProcessResult Zorvtool(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), ZORVTOOL_PATH);
    return RunProcess(args, input);
}

zorv_VersionCheck Published() {
    zorv_VersionCheck record;
    record.set_version("1.2.0");
    record.set_download_url("http://cdn.tolbe.example/Client.zip");
    record.set_client_dir("Tolbe");
    record.set_client_exe("tolbe.exe");
    record.add_spare_list_11("first");
    record.add_spare_list_11("second");
    return record;
}

const std::vector<std::string> kPublishedArgs = {
    "encode",          "--version",
    "1.2.0",           "--download-url=http://cdn.tolbe.example/Client.zip",
    "--spare-list-11", "first",
    "--client-dir",    "Tolbe",
    "--client-exe",    "tolbe.exe",
    "--spare-list-11", "second"};

TEST(Zorvtool, EncodeWritesTheLaunchersText) {
    const auto result = Zorvtool(kPublishedArgs);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, RecordToText(Published()));

    // Long records keep the encoder's CR LF lines on standard output.
    const auto long_ = Zorvtool({"encode", "--spare-text-9", std::string(200, 'x')});
    zorv_VersionCheck longRecord;
    longRecord.set_spare_text_9(std::string(200, 'x'));
    EXPECT_EQ(long_.out, RecordToText(longRecord));
    EXPECT_NE(long_.out.find("\r\n"), std::string::npos);
}

TEST(Zorvtool, EncodeToFileWritesConfigBytes) {
    tolbe_test::TempDir dir;
    std::vector<std::string> args = kPublishedArgs;
    args.insert(args.end(), {"-o", dir.Join("config.zorv")});
    args.insert(args.end(), {"--spare-text-6", std::string(120, '6')});
    const auto result = Zorvtool(args);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, "");
    zorv_VersionCheck expected = Published();
    expected.set_spare_text_6(std::string(120, '6'));
    EXPECT_EQ(tolbe_test::ReadHostFile(dir.Join("config.zorv")), ConfigFileBytes(expected));

    const auto failed = Zorvtool({"encode", "-o", dir.Join("no/such/dir/config.zorv")});
    EXPECT_EQ(failed.exitStatus, 1);
    EXPECT_NE(failed.err.find("cannot write"), std::string::npos) << failed.err;
}

TEST(Zorvtool, DecodePrintsFieldsInNumberOrderWithEscapes) {
    zorv_VersionCheck record = Published();
    record.set_spare_text_2(std::string("tab\there\nnul\0\xFF\\ \xE6\xB8\xB8", 19));
    record.add_spare_list_10("");
    tolbe_test::TempDir dir;
    tolbe_test::WriteHostFile(dir.Join("vaskpc.txt"), ConfigFileBytes(record));
    const std::string expected =
        "version=1.2.0\n"
        "spare_text_2=tab\\there\\nnul\\x00\\xFF\\\\ \xE6\xB8\xB8\n"
        "download_url=http://cdn.tolbe.example/Client.zip\n"
        "client_dir=Tolbe\n"
        "client_exe=tolbe.exe\n"
        "spare_list_10=\n"
        "spare_list_11=first\n"
        "spare_list_11=second\n";
    for (const auto& args :
         {std::vector<std::string>{"decode", dir.Join("vaskpc.txt")},
          std::vector<std::string>{"decode", "-"}, std::vector<std::string>{"decode"}}) {
        const auto result = Zorvtool(args, ConfigFileBytes(record));
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        EXPECT_EQ(result.out, expected);
        EXPECT_EQ(result.err, "");
    }
}

TEST(Zorvtool, FaultsAndUsageErrors) {
    const struct {
        std::vector<std::string> args;
        std::string input;
        int exitStatus;
        const char* message;  // expected in standard error
    } cases[] = {
        {{"decode"}, "<html>Not Found</html>", 1, "are not a version record"},
        {{"decode", "/no/such/file"}, "", 1, "cannot read /no/such/file"},
        {{"decode", "/"}, "", 1, "cannot read /: Is a directory"},
        {{"decode", "a", "b"}, "", 2, "at most one FILE"},
        {{"decode", "--strict"}, "", 2, "unknown option '--strict'"},
        {{"encode", "--versoin", "1"}, "", 2, "unknown option '--versoin'"},
        {{"encode", "--version"}, "", 2, "needs a value"},
        {{"publish"}, "", 2, "unknown command 'publish'"},
        {{}, "", 2, "missing command"},
    };
    for (const auto& c : cases) {
        const auto result = Zorvtool(c.args, c.input);
        EXPECT_EQ(result.exitStatus, c.exitStatus) << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
}

TEST(Zorvtool, WarnsAboutTextTheLauncherWouldMisread) {
    const auto result = Zorvtool({"decode"}, "Cg!x\r\n");  // '!' reads as 'A'
    EXPECT_NE(result.err.find("line 1, column 3: byte 0x21"), std::string::npos) << result.err;
}

TEST(Zorvtool, HelpListsEveryOption) {
    const auto result = Zorvtool({"--help"});
    EXPECT_EQ(result.exitStatus, 0);
    for (const char* option : {"--version", "--spare-text-2", "--download-url", "--client-dir",
                               "--client-exe", "--spare-list-12", "-o FILE", "decode [FILE]"}) {
        EXPECT_NE(result.out.find(option), std::string::npos) << option;
    }
}

}  // namespace

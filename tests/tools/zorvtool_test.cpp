// zorvtool as an operator runs it: the built program, its output, its exit status.

#ifdef _WIN32
#include <windows.h>
// aclapi.h and sddl.h need windows.h first.
#include <aclapi.h>
#include <sddl.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "config/config_store.h"
#include "platform/text.h"
#include "signing/signature.h"
#include "tests/support/host_files.h"
#include "tests/support/run_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_signer.h"

namespace {

namespace fs = std::filesystem;
using tolbe_test::RunProcess;

#ifdef _WIN32
struct LocalFreer {
    void operator()(void* memory) const { ::LocalFree(memory); }
};

std::string SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!::ConvertSidToStringSidW(sid, &text)) {
        return "<unreadable SID>";
    }
    const std::unique_ptr<void, LocalFreer> held(text);
    return platform::WideToNarrow(text);
}

// The user the test runs as, who runs zorvtool too.
std::vector<unsigned char> CurrentUser() {
    HANDLE token = nullptr;
    ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token);
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    ::GetTokenInformation(token, TokenUser, user.data(), size, &size);
    ::CloseHandle(token);
    return user;
}

// The file belongs to the user, and its DACL grants nobody else anything. SYSTEM, the system
// itself, may be granted too: Wine lists it in the DACL of every file.
::testing::AssertionResult OnlyTheOwnerMayOpen(const std::string& hostPath) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(platform::NarrowToWide(hostPath).c_str(), SE_FILE_OBJECT,
                                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return ::testing::AssertionFailure() << "cannot read the security of " << hostPath;
    }
    const std::unique_ptr<void, LocalFreer> held(descriptor);
    const std::vector<unsigned char> user = CurrentUser();
    if (user.empty() ||
        !::EqualSid(owner, reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid)) {
        return ::testing::AssertionFailure() << "owned by " << SidText(owner);
    }
    if (dacl == nullptr) {
        return ::testing::AssertionFailure() << "no DACL: everyone may open it";
    }
    bool ownerGranted = false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        ::GetAce(dacl, i, &entry);
        if (static_cast<ACE_HEADER*>(entry)->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            continue;  // a denial grants nothing
        }
        const PSID granted = &static_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart;
        if (::EqualSid(granted, owner)) {
            ownerGranted = true;
        } else if (!::IsWellKnownSid(granted, WinLocalSystemSid)) {
            return ::testing::AssertionFailure()
                   << "the DACL grants access to " << SidText(granted);
        }
    }
    if (!ownerGranted) {
        return ::testing::AssertionFailure() << "the DACL grants the owner nothing";
    }
    return ::testing::AssertionSuccess();
}

#else
::testing::AssertionResult OnlyTheOwnerMayOpen(const std::string& hostPath) {
    const fs::perms permissions = fs::status(hostPath).permissions() & fs::perms::all;
    if (permissions != (fs::perms::owner_read | fs::perms::owner_write)) {
        return ::testing::AssertionFailure()
               << "mode " << std::oct << static_cast<unsigned>(permissions) << " instead of 600";
    }
    return ::testing::AssertionSuccess();
}
#endif

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
    tolbe_test::TempDir dir;
    const std::string missing = dir.Join("no-such-file");
    const struct {
        std::vector<std::string> args;
        std::string input;
        int exitStatus;
        std::string message;  // expected in standard error
    } cases[] = {
        {{"decode"}, "<html>Not Found</html>", 1, "are not a version record"},
        {{"decode", missing}, "", 1, "cannot read " + missing + ": No such file"},
        {{"decode", dir.path()}, "", 1, "cannot read " + dir.path() + ": Is a directory"},
        {{"decode", "a", "b"}, "", 2, "at most one FILE"},
        {{"decode", "--strict"}, "", 2, "unknown option '--strict'"},
        {{"encode", "--versoin", "1"}, "", 2, "unknown option '--versoin'"},
        {{"encode", "--version"}, "", 2, "needs a value"},
        {{"publish"}, "", 2, "unknown command 'publish'"},
        {{"keygen"}, "", 2, "exactly one SECRET_FILE"},
        {{"sign", "file"}, "", 2, "needs --key VALUE and one PATH"},
        {{"sign", "--key", "k", "a", "b"}, "", 2, "only one PATH"},
        {{"verify", "--public-key", "not-a-key", "file"}, "", 2, "not the Base64 text"},
        {{"verify", "--key", "k", "file"}, "", 2, "unknown option '--key'"},
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

namespace {

TEST(ZorvtoolKeys, KeygenWritesAnOwnerOnlySecretAndPrintsOnlyThePublicKey) {
    tolbe_test::TempDir dir;
    const std::string secret = dir.Join("publisher.key");
    const auto made = Zorvtool({"keygen", secret});
    ASSERT_EQ(made.exitStatus, 0) << made.err;
    EXPECT_TRUE(OnlyTheOwnerMayOpen(secret));
    // One line of Base64 that is a public key; the secret is in its file and nowhere else.
    ASSERT_FALSE(made.out.empty());
    EXPECT_EQ(made.out.find('\n'), made.out.size() - 1);
    EXPECT_TRUE(signing::ParsePublicKey(made.out));
    const std::string secretText = tolbe_test::ReadHostFile(secret);
    ASSERT_TRUE(signing::ParseSecretKey(secretText));
    const std::string secretLine = secretText.substr(0, secretText.find('\n'));
    EXPECT_EQ(made.out.find(secretLine), std::string::npos);
    EXPECT_EQ(made.err.find(secretLine), std::string::npos);

    // An existing key is never overwritten, nor a file reached through a link.
    const struct {
        const char* name;
        std::string path;
    } taken[] = {{"the key itself", secret}, {"a link to a new file", dir.Join("link.key")}};
    tolbe_test::MakeHostFileLink(dir.Join("link.key"), dir.Join("target"));
    for (const auto& t : taken) {
        SCOPED_TRACE(t.name);
        const auto again = Zorvtool({"keygen", t.path});
        EXPECT_EQ(again.exitStatus, 1);
        EXPECT_NE(again.err.find("cannot write"), std::string::npos) << again.err;
        EXPECT_EQ(again.out, "");
    }
    EXPECT_EQ(tolbe_test::ReadHostFile(secret), secretText);
    EXPECT_FALSE(fs::exists(dir.Join("target")));
}

TEST(ZorvtoolKeys, VerifyTellsAValidSignatureFromEveryOtherFile) {
    tolbe_test::TempDir dir;
    const std::string secret = dir.Join("publisher.key");
    const std::string publicKey = Zorvtool({"keygen", secret}).out;
    const std::string file = dir.Join("Client.zip");
    tolbe_test::WriteHostFile(file, "the archive's bytes");
    const auto signedFile = Zorvtool({"sign", "--key", secret, file});
    ASSERT_EQ(signedFile.exitStatus, 0) << signedFile.err;
    const std::string signature = tolbe_test::ReadHostFile(file + ".sig");
    tolbe_test::TestSigner stranger;

    const struct {
        const char* name;
        std::string bytes;
        std::string signature;  // empty: no signature file
        int exitStatus;
        const char* message;  // on standard output when valid, else on standard error
    } cases[] = {
        {"as signed", "the archive's bytes", signature, 0, "the signature is valid"},
        {"with CR LF", "the archive's bytes", signature.substr(0, signature.size() - 1) + "\r\n", 0,
         "the signature is valid"},
        {"changed by one byte", "the archive's bytez", signature, 1, "does not match"},
        {"signed by another key", "the archive's bytes",
         stranger.SignatureFile("the archive's bytes"), 1, "does not match"},
        {"garbage", "the archive's bytes", "not a signature at all\n", 1, "not the Base64 text"},
        {"a signature cut short", "the archive's bytes", signature.substr(0, 40), 1,
         "not the Base64 text"},
        {"no signature file", "the archive's bytes", "", 1, "no signature"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tolbe_test::WriteHostFile(file, c.bytes);
        fs::remove(file + ".sig");
        if (!c.signature.empty()) {
            tolbe_test::WriteHostFile(file + ".sig", c.signature);
        }
        const auto result = Zorvtool({"verify", "--public-key=" + publicKey, file});
        EXPECT_EQ(result.exitStatus, c.exitStatus);
        EXPECT_NE((c.exitStatus == 0 ? result.out : result.err).find(c.message), std::string::npos)
            << result.out << result.err;
    }

    const std::string notAKey = dir.Join("not.key");
    tolbe_test::WriteHostFile(notAKey, publicKey);  // a public key is no secret key
    const auto refused = Zorvtool({"sign", "--key", notAKey, file});
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_NE(refused.err.find("is not a secret key"), std::string::npos) << refused.err;
}

// Signing and checking stream the file: a gibibyte costs no more memory than a few bytes. The
// file is sparse, so the test needs no gibibyte of disk.
TEST(ZorvtoolKeys, AGibibyteIsSignedAndCheckedInBoundedMemory) {
    constexpr uintmax_t kGiB = uintmax_t{1} << 30;
    constexpr long kMemoryLimitKiB = 64 * 1024;  // far below the file, far above the program
    tolbe_test::TempDir dir;
    const std::string secret = dir.Join("publisher.key");
    const std::string publicKey = Zorvtool({"keygen", secret}).out;
    const std::string file = dir.Join("Client.zip");
    tolbe_test::WriteHostFile(file, "head");
    fs::resize_file(file, kGiB);

    const auto signedFile = Zorvtool({"sign", "--key", secret, file});
    ASSERT_EQ(signedFile.exitStatus, 0) << signedFile.err;
    EXPECT_LT(signedFile.peakMemoryKiB, kMemoryLimitKiB);
    const auto checked = Zorvtool({"verify", "--public-key", publicKey, file});
    EXPECT_EQ(checked.exitStatus, 0) << checked.err;
    EXPECT_LT(checked.peakMemoryKiB, kMemoryLimitKiB);

    // The last byte counts as much as the first.
    {
        std::FILE* stream = std::fopen(file.c_str(), "r+b");
        ASSERT_NE(stream, nullptr);
        std::fseek(stream, static_cast<long>(kGiB - 1), SEEK_SET);
        std::fputc('x', stream);
        std::fclose(stream);
    }
    EXPECT_EQ(Zorvtool({"verify", "--public-key", publicKey, file}).exitStatus, 1);
}

}  // namespace

#include "config/config_store.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <csignal>
#include <filesystem>
#include <future>
#include <thread>

#include "config/base64.h"
#include "config/diagnostics.h"
#include "config/file_helpers.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tests/support/debug_capture.h"
#include "tests/support/sandbox.h"
#ifdef _WIN32
#include "tests/support/win_programs.h"
#endif

namespace {

using tolbe_test::ReadHostFile;
using tolbe_test::WriteHostFile;

const std::string kDir = R"(D:\Tolbe\)";

std::string Line(std::string_view diagnostic) {
    return std::string(diagnostic) + "\r\n";
}

class ConfigStore : public ::testing::Test {
protected:
    ConfigStore() { std::filesystem::create_directories(sandbox.Host(kDir)); }
    std::string HostFile() const { return sandbox.Host(kDir + kConfigFileName); }

    tolbe_test::SandboxDrives sandbox{"D"};
    tolbe_test::DebugCapture diagnostics;
};

zorv_VersionCheck EveryField() {
    zorv_VersionCheck record;
    record.set_version("2.3.1");
    record.set_spare_text_2("channel \xE6\xB8\xB8");
    record.set_spare_text_3("3");
    record.set_spare_text_4("");
    record.set_download_url("http://cdn.tolbe.example/Client.zip");
    record.set_spare_text_6(std::string("six\0six", 7));
    record.set_client_dir("Tolbe Game");
    record.set_client_exe("tolbe.exe");
    record.set_spare_text_9(std::string(300, 'n'));
    record.add_spare_list_10("a");
    record.add_spare_list_10("");
    record.add_spare_list_11("b");
    record.add_spare_list_12("c1");
    record.add_spare_list_12("c2");
    return record;
}

TEST_F(ConfigStore, SavedRecordLoadsBackWithEveryField) {
    const zorv_VersionCheck saved = EveryField();
    ASSERT_TRUE(SaveConfigTo(kDir, saved));
    zorv_VersionCheck loaded;
    loaded.set_spare_text_3("replaced, not merged");
    EXPECT_TRUE(LoadConfigFrom(kDir, loaded));
    EXPECT_EQ(loaded.SerializeAsString(), saved.SerializeAsString());
    EXPECT_TRUE(loaded.has_spare_text_4());
    EXPECT_TRUE(diagnostics.pieces().empty());
}

TEST_F(ConfigStore, FileBytesAreTheWindowsLaunchersBytes) {
    // Each line break on disk is 0D 0D 0A; no final line break is added.
    const struct {
        size_t serialisedBytes;
        size_t fileBytes;
        std::vector<size_t> breaksAt;
        const char* ending;
    } cases[] = {
        {55, 76, {}, "=="},
        {56, 76, {}, "="},
        {57, 79, {76}, "\r\r\n"},
        {58, 83, {76}, "=="},
        {114, 158, {76, 155}, "\r\r\n"},
    };
    for (const auto& c : cases) {
        zorv_VersionCheck record;
        record.set_spare_text_2(std::string(c.serialisedBytes - 2, '\0'));
        ASSERT_EQ(record.ByteSizeLong(), c.serialisedBytes);
        ASSERT_TRUE(SaveConfigTo(kDir, record));
        const std::string bytes = ReadHostFile(HostFile());
        EXPECT_EQ(bytes.size(), c.fileBytes) << c.serialisedBytes;
        std::vector<size_t> breaks;
        for (size_t at = bytes.find('\r'); at != std::string::npos; at = bytes.find('\r', at + 3)) {
            EXPECT_EQ(bytes.substr(at, 3), "\r\r\n");
            breaks.push_back(at);
        }
        EXPECT_EQ(breaks, c.breaksAt) << c.serialisedBytes;
        EXPECT_EQ(bytes.substr(bytes.size() - std::string(c.ending).size()), c.ending);
        EXPECT_EQ(bytes, ConfigFileBytes(record));
    }
    ASSERT_TRUE(SaveConfigTo(kDir, zorv_VersionCheck()));
    EXPECT_EQ(ReadHostFile(HostFile()), "");  // an empty record gives an empty file
}

TEST_F(ConfigStore, LoadWritesTheLaunchersDiagnostics) {
    zorv_VersionCheck good;
    good.set_version("1.0");
    good.set_client_dir("Game");
    const std::string goodText = RecordToText(good);
    const struct {
        const char* name;
        std::optional<std::string> file;  // nullopt: no file
        std::vector<std::string> lines;
        const char* version;
    } cases[] = {
        {"missing file", std::nullopt, {Line(kDiagConfigReadFailed)}, ""},
        {"empty file", "", {Line(kDiagConfigReadFailed)}, ""},
        {"only line breaks", "\r\r\n\r\r\n", {}, ""},
        {"garbled text", "not a record at all!", {Line(kDiagConfigParseFailed)}, ""},
        // Field 1 read, then a length that runs past the end: the read field stays.
        {"damaged after a field",
         Base64Encode(std::string("\x0A\x01v\x3A\x09", 5)),
         {Line(kDiagConfigParseFailed)},
         "v"},
        {"LF line breaks", goodText, {}, "1.0"},
        {"NUL byte cuts the text", goodText + std::string("\0garbage", 8), {}, "1.0"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(HostFile());
        if (c.file) {
            WriteHostFile(HostFile(), *c.file);
        }
        tolbe_test::DebugCapture capture;
        zorv_VersionCheck record;
        record.set_spare_text_9("stale");
        EXPECT_TRUE(LoadConfigFrom(kDir, record)) << c.name;
        EXPECT_EQ(capture.pieces(), c.lines) << c.name;
        EXPECT_EQ(record.version(), c.version) << c.name;
        EXPECT_FALSE(record.has_spare_text_9()) << c.name;
    }
}

TEST_F(ConfigStore, ConfigurationThatIsADirectoryCountsAsUnreadable) {
    std::filesystem::create_directories(HostFile());
    zorv_VersionCheck record;
    EXPECT_TRUE(LoadConfigFrom(kDir, record));
    EXPECT_EQ(diagnostics.pieces(), std::vector<std::string>{Line(kDiagConfigReadFailed)});
    // Saving cannot replace a directory: false, the third diagnostic, the directory intact.
    EXPECT_FALSE(SaveConfigTo(kDir, EveryField()));
    EXPECT_EQ(diagnostics.pieces().back(), Line(kDiagConfigSaveFailed));
    EXPECT_TRUE(std::filesystem::is_directory(HostFile()));
}

// A FIFO named config.zorv (beside the launcher, say) has no writer: opening it as a file would
// wait for one forever, before any window. It is refused at once as unreadable. The load runs on
// a thread of its own, so that a regression fails here instead of hanging the suite.
TEST_F(ConfigStore, ConfigurationThatIsAFifoCountsAsUnreadableAtOnce) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no FIFO that lives in a folder: its named pipes are no files";
#else
    ASSERT_EQ(::mkfifo(HostFile().c_str(), 0600), 0);
    zorv_VersionCheck record;
    record.set_version("stale");
    std::promise<void> done;
    std::future<void> loaded = done.get_future();
    std::thread loader([&] {
        LoadConfigFrom(kDir, record);
        done.set_value();
    });
    const bool returned = loaded.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!returned) {
        // A writer that comes and goes releases an open or a read waiting on the FIFO.
        ::close(::open(HostFile().c_str(), O_WRONLY | O_NONBLOCK));
    }
    loader.join();
    EXPECT_TRUE(returned) << "the load waited for a writer of the FIFO";
    EXPECT_EQ(diagnostics.pieces(), std::vector<std::string>{Line(kDiagConfigReadFailed)});
    EXPECT_FALSE(record.has_version());
#endif
}

#ifndef _WIN32  // On Windows: a small drive (small_drive_win_test.cpp).
TEST_F(ConfigStore, FailedSaveKeepsTheOldFile) {
    zorv_VersionCheck old;
    old.set_version("1.0");
    ASSERT_TRUE(SaveConfigTo(kDir, old));
    const std::string oldBytes = ReadHostFile(HostFile());

    // A child process whose files may not grow past 16 bytes: the write of the new record
    // fails half way, as on a full disk.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16, 16};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        _exit(SaveConfigTo(kDir, EveryField()) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "SaveConfigTo reported success on a short write";
    EXPECT_EQ(ReadHostFile(HostFile()), oldBytes);
    const auto entries = std::distance(std::filesystem::directory_iterator(sandbox.Host(kDir)),
                                       std::filesystem::directory_iterator());
    EXPECT_EQ(entries, 1) << "a temporary file was left behind";
}
#endif

TEST_F(ConfigStore, UnwritableTargetGivesTheDiagnostic) {
    EXPECT_FALSE(SaveConfigTo(R"(D:\NoSuchDir\)", EveryField()));
    EXPECT_EQ(diagnostics.pieces(), std::vector<std::string>{Line(kDiagConfigSaveFailed)});
}

TEST_F(ConfigStore, ServerTextDecodesIntoTheServerRecord) {
    zorv_VersionCheck server;
    server.set_version("stale");
    EXPECT_TRUE(DecodeServerRecord("", server));  // no bytes: an empty record
    EXPECT_FALSE(server.has_version());
    EXPECT_TRUE(DecodeServerRecord(RecordToText(EveryField()), server));
    EXPECT_EQ(server.client_dir(), "Tolbe Game");
    EXPECT_FALSE(DecodeServerRecord("<html>404 Not Found</html>", server));
    EXPECT_TRUE(diagnostics.pieces().empty());
}

TEST_F(ConfigStore, ReadFileTextReadsAsATextModeRead) {
    WriteHostFile(sandbox.Host(R"(D:\t.txt)"), std::string("a\r\nb\r\r\nc\rd\0e", 12));
    EXPECT_EQ(ReadFileText(R"(D:\t.txt)"), "a\nb\r\nc\rd");
    EXPECT_EQ(ReadFileText(R"(D:\none.txt)"), "");
}

TEST(FileHelpers, ModuleDirEndsInABackslashAndMapsToTheExecutablesFolder) {
    platform::SetHostFacts({});
    const std::string dir = GetModuleDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '\\');
#ifdef _WIN32
    EXPECT_EQ(platform::ToHostPath(dir + "x"), tolbe_test::ProgramBesideTest("x"));
#else
    EXPECT_EQ(platform::ToHostPath(dir + "x"),
              std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/x");
#endif
}

TEST(FileHelpers, ToWideKeepsNonAsciiPathsAndUrls) {
    // 游戏 and é: the conversion sizes and converts with the same code page.
#ifdef _WIN32
    // In the ANSI code page, as far as it holds them (1252 holds é, 936 both).
    for (const std::wstring wide : {L"D:\\\u6E38\u620F\\Client.zip", L"http://cdn/\u00E9.zip"}) {
        const std::string narrow = platform::WideToNarrow(wide);
        if (narrow.find('?') == std::string::npos) {
            EXPECT_EQ(ToWide(narrow), wide);
        }
    }
#else
    EXPECT_EQ(ToWide("D:\\\xE6\xB8\xB8\xE6\x88\x8F\\Client.zip"), L"D:\\\u6E38\u620F\\Client.zip");
    EXPECT_EQ(ToWide("http://cdn/\xC3\xA9.zip"), L"http://cdn/\u00E9.zip");
#endif
    EXPECT_EQ(ToWide(""), L"");
}

}  // namespace

// The built launcher killed in the middle of a download and started again: the second run goes
// on from the bytes the first one recorded, and the client it installs is the one published.

#include <gtest/gtest.h>
#include <signal.h>

#include "config/config_store.h"
#include "config/version_record.h"
#include "net/partial_download.h"
#include "tests/e2e/launcher_sandbox.h"
#include "tests/net/range_file_server.h"
#include "tests/support/random_bytes.h"
#include "tests/support/wait_until.h"
#include "tests/support/zip_writer.h"

namespace tolbe_test {
namespace {

constexpr char kMirror[] = "mirror.tolbe.example";
constexpr size_t kPayloadBytes = 4 << 20;
constexpr int64_t kBytesPerSecond = 1 << 20;

TEST(E2eResume, ALauncherKilledMidDownloadGoesOnFromItsRecordInTheNextRun) {
    LauncherSandbox box;
    // A client of a few megabytes that no compressor shrinks, served at 1 MiB/s.
    const std::string payload = RandomBytes(kPayloadBytes, 31);
    const std::string zipPath = box.temp.Join("Client-2.0.zip");
    WriteZip(zipPath, {{kClientExe,
                        "#!/bin/sh\necho \"client 2.0 started in $(pwd -P) as $0\" >> "
                        "game.log\n",
                        0100755},
                       {"data/payload.bin", payload, 0100644, true}});
    const std::string archive = ReadHostFile(zipPath);
    RangeFileServer mirror(archive);
    mirror.Trickle(kBytesPerSecond);
    box.RouteHost(kMirror, mirror.port());
    zorv_VersionCheck record = box.ServerRecord("2.0");
    record.set_download_url(std::string("http://") + kMirror + "/Client.zip");
    box.site.Serve(NoticePath(), 200, RecordToText(record));
    const std::string setup = box.PlaceLauncher(R"(D:\Downloads\TolbeSetup)", {});

    // Killed once the record names at least 40 % of the archive as on the disk.
    const std::string archivePath = R"(E:\Client.zip)";
    const std::string recordFile = box.Host(PartialRecordOf(archivePath));
    const auto total = static_cast<int64_t>(archive.size());
    int64_t recorded = 0;
    {
        auto first = box.StartLauncher(setup);
        ASSERT_TRUE(WaitUntil(
            [&] {
                if (!HostPathExists(recordFile)) {
                    return false;
                }
                const auto partial = ParsePartialRecord(ReadHostFile(recordFile));
                recorded = partial ? partial->goodBytes : 0;
                return recorded >= total * 2 / 5;
            },
            kRunTimeout))
            << box.Output();
        ::kill(first->pid(), SIGKILL);
        ASSERT_TRUE(first->WaitForExit(kRunTimeout));
    }
    ASSERT_LT(recorded, total);
    EXPECT_FALSE(HostPathExists(box.Host(R"(E:\Tolbe)")));

    // The next run, at full speed.
    mirror.Trickle(0);
    auto second = box.StartLauncher(setup);
    ASSERT_EQ(second->WaitForExit(kRunTimeout), 0) << box.Output();
    const std::string dir = box.Host(R"(E:\Tolbe)");
    ASSERT_TRUE(box.WaitForGameStarts(dir, 1)) << box.Output();
    EXPECT_TRUE(ReadHostFile(dir + "/data/payload.bin") == payload);

    const std::vector<std::string> heads = mirror.heads();
    ASSERT_EQ(heads.size(), 2u);
    const std::string range = RequestHeader(heads[1], "Range");
    ASSERT_EQ(range.rfind("bytes=", 0), 0u) << range;
    EXPECT_GE(std::stoll(range.substr(6)), recorded);
    EXPECT_EQ(RequestHeader(heads[1], "If-Range"), "\"v1\"");
    EXPECT_LE(mirror.served(), total + total / 20);
    for (const char* path :
         {R"(E:\Client.zip)", R"(E:\Client.zip.part)", R"(E:\Client.zip.resume)"}) {
        EXPECT_FALSE(HostPathExists(box.Host(path))) << path;
    }
}

}  // namespace
}  // namespace tolbe_test

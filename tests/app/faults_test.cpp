// What the outside world can do wrong during an install, and what the player gets then: the
// launcher's own question or message, never a hang, a crash or lost data.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "net/file_download.h"
#include "tests/app/fixtures.h"
#include "tests/app/flow_harness.h"

namespace tolbe_test {
namespace {

TEST(Faults, MegabytesOfGarbageFromTheNoticeServerGiveTheRetryQuestion) {
    FlowHarness h;
    std::string garbage(8 << 20, '\0');
    std::mt19937 random(7);
    for (char& c : garbage) {
        c = static_cast<char>(random());
    }
    h.server.SetNotice(200, garbage);
    EXPECT_TRUE(h.EndsAtTheRetryQuestion());
}

TEST(Faults, AStalledArchiveServerLeavesTheLauncherTicking) {
    FlowHarness h;
    h.Publish(ServerRecord());
    const std::string archive = ClientArchive();
    h.server.SetArchive(200, archive);
    h.server.StallArchiveAfter(archive.size() / 2);
    h.Open();
    ASSERT_TRUE(h.TickUntil([&] { return h.server.stalledBodies.load() == 1; }));
    // Every tick returns while the body is stalled: the percentage reached so far is shown and
    // the tips go on.
    ASSERT_TRUE(h.TickUntil([&] { return h.flow->GetDownloadPercent() > 0; }));
    const int ticksBefore = h.flow->tickCount;
    for (int i = 0; i < 100; ++i) {
        h.flow->Tick();
    }
    EXPECT_EQ(h.flow->tickCount, ticksBefore + 100);
    EXPECT_EQ(h.flow->m_flowState, Downloading);
    const int percent = h.flow->GetDownloadPercent();
    EXPECT_GT(percent, 0);
    EXPECT_LT(percent, 100);
    EXPECT_EQ(h.view.percentTexts.back(), L" " + std::to_wstring(percent) + L"%");
    EXPECT_NE(std::find(h.view.tips.begin(), h.view.tips.end(), h.view.statusText),
              h.view.tips.end());

    h.server.ReleaseArchive();
    ASSERT_TRUE(h.TickUntil([&] { return h.view.endDialogCalls > 0; }));
    EXPECT_EQ(ReadHostFile(h.Host(R"(E:\Tolbe\data\maps\north.txt)")), kMapData);
}

TEST(Faults, ADriveThatDisappearsBeforeTheExtractionEndsInTheMessage) {
    FlowHarness h;
    h.Publish(ServerRecord());
    h.server.SetArchive(200, ClientArchive());
    h.Open();
    // Let the download finish without ticking (so that no extraction can start), then take the
    // drive away.
    ASSERT_TRUE(h.TickUntilState(Downloading));
    const auto download = h.flow->currentDownload;
    for (int i = 0; i < 30000 && (download->m_finished.load() & 0xFF) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_NE(download->m_finished.load() & 0xFF, 0);
    const std::string root = h.Host(R"(E:\)");
    std::filesystem::rename(root, root + ".unplugged");
    ASSERT_TRUE(h.TickUntilState(Stopped));
    ASSERT_EQ(h.view.boxes.size(), 1u);
    EXPECT_EQ(h.view.boxes[0].text, kTextExtractionFailed);
    EXPECT_FALSE(std::filesystem::exists(root));  // nothing was written where it was
    EXPECT_EQ(h.view.endDialogCalls, 0);
}

TEST(Faults, AFullDiskDuringTheDownloadEndsItWithoutATransfer) {
    FlowHarness h;
    const std::string archive(512 * 1024, 'z');
    h.server.SetArchive(200, archive);
    // In a child whose files may not grow past 64 KiB, as on a disk that fills up.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        bool failureShown = false;
        auto download = CreateDownload("http://cdn.tolbe.example/Client.zip", R"(D:\Client.zip)",
                                       [&](const std::wstring&) { failureShown = true; });
        DownloadProc(download);
        const bool quietEnd = download->m_finished.load() == 0x0001 && !failureShown;
        _exit(quietEnd && !download->m_complete ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a short write was reported as a finished transfer";
    // The part written before the disk filled up is gone, under either name.
    EXPECT_FALSE(HostPathExists(h.Host(R"(D:\Client.zip)")));
    EXPECT_FALSE(HostPathExists(h.Host(R"(D:\Client.zip.part)")));
}

}  // namespace
}  // namespace tolbe_test

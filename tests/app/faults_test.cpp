// What the outside world can do wrong during an install, and what the player gets then: the
// launcher's own question or message, never a hang, a crash or lost data.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "net/file_download.h"
#include "tests/app/fixtures.h"
#include "tests/app/flow_harness.h"
#include "tests/support/random_bytes.h"

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

TEST(Faults, ADriveTooSmallForTheArchiveIsToldBeforeTheDownload) {
    FlowHarness h({{'E', 1000}});  // the one drive that qualifies, with 1000 bytes free
    h.Publish(ServerRecord());
    WriteZip(h.temp.Join("big.zip"), {{"tolbe.exe", GameProgram(), 0100755},
                                      {"data.bin", RandomBytes(64 * 1024, 5), 0, true}});
    const std::string archive = ReadHostFile(h.temp.Join("big.zip"));
    h.server.SetArchive(200, archive);
    h.Open();
    ASSERT_TRUE(h.TickUntilState(Stopped));
    ASSERT_EQ(h.view.boxes.size(), 1u);
    EXPECT_EQ(h.view.boxes[0].caption, kCaptionNoRoom);
    EXPECT_EQ(h.view.boxes[0].text, NoRoomText("E:", static_cast<int64_t>(archive.size())));
    EXPECT_NE(h.view.boxes[0].text.find(L"E:"), std::wstring::npos);
    EXPECT_NE(h.view.boxes[0].text.find(L" 1 GB"), std::wstring::npos);
    EXPECT_EQ(h.view.resets, 0);  // no extraction was tried
    EXPECT_TRUE(h.flow->IsFinished());
    EXPECT_TRUE(std::filesystem::is_empty(h.Host(R"(E:\)")));
}

FULL_DISK_TEST(Faults, AFullDiskDuringTheDownloadEndsItWithoutATransfer) {
    const std::optional<std::string> parent = FullDiskTempParent();
    if (!parent) {
        GTEST_SKIP() << "run through wine_drives.sh, which makes the small drive";
    }
    FlowHarness h({{'D', 100 * FlowHarness::kGiB}, {'E', 200 * FlowHarness::kGiB}}, true, *parent);
    const std::string archive(512 * 1024, 'z');
    h.server.SetArchive(200, archive);
    bool failureShown = false;
    auto download = CreateDownload("http://cdn.tolbe.example/Client.zip", R"(D:\Client.zip)",
                                   [&](const std::wstring&) { failureShown = true; });
    {
        // About 64 KiB more fit on the disk while the download runs.
        const FillingDisk full(64 * 1024);
        ASSERT_TRUE(full.applied());
        DownloadProc(download);
    }
    EXPECT_EQ(download->m_finished.load(), kDownloadEndedWithoutTransfer)
        << "a short write was reported as a finished transfer";
    EXPECT_FALSE(download->m_complete.load());
    EXPECT_FALSE(failureShown);
    // The part written before the disk filled up is gone, under either name.
    EXPECT_FALSE(HostPathExists(h.Host(R"(D:\Client.zip)")));
    EXPECT_FALSE(HostPathExists(h.Host(R"(D:\Client.zip.part)")));
}

}  // namespace
}  // namespace tolbe_test

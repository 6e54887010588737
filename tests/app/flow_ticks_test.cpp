// The flow's ticks while downloading and extracting, with a download object set by hand.

#include <gtest/gtest.h>

#include "net/file_download.h"
#include "tests/app/fixtures.h"
#include "tests/app/flow_harness.h"

namespace tolbe_test {
namespace {

// A flow in Downloading from the given tick on, following a download that runs.
void StartDownloadingAt(FlowHarness& h, int tick, int64_t length, int64_t received) {
    h.flow->Start(h.view);
    h.flow->tickCount = tick - 1;
    h.flow->m_flowState = Downloading;
    h.flow->currentDownload = std::make_shared<FileDownLoad>();
    h.flow->currentDownload->m_contentLength = length;
    h.flow->currentDownload->m_receivedBytes = received;
}

TEST(FlowTicks, TipsChangeEveryFortyTicksAndWrapAround) {
    FlowHarness h;
    StartDownloadingAt(h, 18, 1000, 420);
    for (int tick = 18; tick <= 18 + 2 * 960; ++tick) {
        h.flow->Tick();
        // The index moves on at ticks divisible by 40; the new tip shows from the next tick.
        const int expected = ((tick - 1) / 40) % 24;
        ASSERT_EQ(h.view.statusText, h.view.tips[expected]) << "tick " << tick;
        ASSERT_EQ(h.view.percentTexts.back(), L" 42%");
        ASSERT_EQ(h.view.progressValues.back(), 42);
    }
    // Each change written once: the request text, then 48 tip changes and the first again.
    EXPECT_EQ(h.view.statusChanges.size(), 1u + 49u);
}

TEST(FlowTicks, DownloadPercentage) {
    constexpr int64_t kGiB = 1ll << 30;
    const struct {
        int64_t length;
        int64_t received;
        int percent;
    } cases[] = {
        {0, 5000, 0},
        {-1, 5000, 0},
        {1000, 0, 0},
        {1000, 999, 99},
        {100, 105, 105},                      // more than announced: above 100
        {5 * kGiB, 4 * kGiB + kGiB / 2, 90},  // beyond 4 GiB
    };
    for (const auto& c : cases) {
        FlowHarness h;
        StartDownloadingAt(h, 7, c.length, c.received);
        h.flow->Tick();
        EXPECT_EQ(h.flow->GetDownloadPercent(), c.percent);
        EXPECT_EQ(h.view.progressValues.back(), c.percent);
        EXPECT_EQ(h.view.percentTexts.back(), L" " + std::to_wstring(c.percent) + L"%");
    }
}

TEST(FlowTicks, ExtractionStartsOnTheNextTickDivisibleByFifty) {
    FlowHarness h;
    StartDownloadingAt(h, 61, 100, 100);
    h.flow->m_archivePath = R"(D:\Client.zip)";
    h.flow->m_installDrive = "D:";
    h.flow->currentDownload->m_finished = 0x0101;
    for (int tick = 61; tick < 100; ++tick) {
        h.flow->Tick();
        ASSERT_EQ(h.flow->m_flowState, Downloading) << "tick " << tick;
    }
    EXPECT_EQ(h.view.resets, 0);
    EXPECT_TRUE(h.view.percentTexts.empty());  // the display waits unchanged
    h.flow->Tick();
    EXPECT_EQ(h.flow->m_flowState, Extracting);
    EXPECT_EQ(h.view.resets, 1);
    EXPECT_EQ(h.flow->currentDownload, nullptr);
}

TEST(FlowTicks, LaunchGameActsOnce) {
    FlowHarness h;
    h.flow->Start(h.view);
    h.app.m_serverRecord = ServerRecord("2.0");
    const std::string dir = h.Host(R"(D:\Tolbe)");
    WriteHostFile(dir + "/tolbe.exe", GameProgram());
    MakeRunnable(dir + "/tolbe.exe");
    h.flow->m_installDrive = "D:";
    h.flow->m_flowState = Deciding;
    EXPECT_TRUE(h.flow->LaunchGame());
    EXPECT_EQ(h.view.endDialogCalls, 1);
    const std::string saved = ReadHostFile(dir + "/config.zorv");
    std::filesystem::remove(dir + "/config.zorv");
    EXPECT_FALSE(h.flow->LaunchGame());
    EXPECT_EQ(h.view.endDialogCalls, 1);
    EXPECT_FALSE(HostPathExists(dir + "/config.zorv"));  // no second save
    zorv_VersionCheck record;
    ASSERT_TRUE(RecordFromText(record, saved));
    EXPECT_EQ(record.version(), "2.0");
}

TEST(FlowTicks, GameThatCannotStartIsToldAndLeavesTheWindowOpen) {
    FlowHarness h;
    h.flow->Start(h.view);
    h.app.m_serverRecord = ServerRecord("2.0");
    h.flow->m_installDrive = "D:";
    h.flow->m_flowState = Extracting;
    std::filesystem::create_directories(h.Host(R"(D:\Tolbe)"));
    WriteHostFile(h.Host(R"(D:\Tolbe\tolbe.exe)"), "not a program");  // not executable
    EXPECT_TRUE(h.flow->LaunchGame());
    EXPECT_EQ(h.view.endDialogCalls, 0);
    EXPECT_EQ(h.flow->m_flowState, Launching);
    ASSERT_EQ(h.view.boxes.size(), 1u);
    EXPECT_EQ(h.view.boxes[0].text, kTextGameStartFailed);
    EXPECT_EQ(h.view.boxes[0].caption, kCaptionGameStartFailed);
    EXPECT_EQ(h.view.boxes[0].flags, kMbOk | kMbIconHand);
    EXPECT_TRUE(h.flow->IsFinished());
    EXPECT_FALSE(HostPathExists(h.Host(R"(D:\Tolbe\vasktolbe.exe)")));
    EXPECT_FALSE(HostPathExists(h.temp.Join(kShortcutEntry)));
    // The new version is recorded all the same: the next start tries the game again.
    EXPECT_TRUE(HostPathExists(h.Host(R"(D:\Tolbe\config.zorv)")));
}

}  // namespace
}  // namespace tolbe_test

// The server-information request and the answers the launcher accepts or questions.

#include <gtest/gtest.h>

#include "tests/app/fixtures.h"
#include "tests/app/flow_harness.h"

namespace tolbe_test {
namespace {

zorv_VersionCheck WithClientDir(const std::string& dir) {
    zorv_VersionCheck record = ServerRecord();
    record.set_client_dir(dir);
    return record;
}

TEST(ServerAnswer, UnusableAnswersAskWhetherToRetry) {
    const struct {
        const char* name;
        bool reachable;
        int status;
        std::string body;
    } cases[] = {
        {"unreachable notice server", false, 200, ""},
        {"404 with a page", true, 404, "<html>Not Found</html>"},
        {"500 with a valid record", true, 500, RecordToText(ServerRecord())},
        {"empty body", true, 200, ""},
        {"not a record", true, 200, "maintenance until 18:00"},
        {"client directory climbs out", true, 200, RecordToText(WithClientDir(".."))},
        {"client directory is a path", true, 200, RecordToText(WithClientDir(R"(a\b)"))},
        {"no client directory", true, 200, RecordToText(WithClientDir(""))},
    };
    for (const auto& c : cases) {
        FlowHarness h({{'D', 1 << 30}}, c.reachable);
        h.server.SetNotice(c.status, c.body);
        h.view.answers = {kIdCancel};
        h.Open();
        ASSERT_TRUE(h.TickUntil([&] { return h.view.endDialogCalls > 0; })) << c.name;
        ASSERT_EQ(h.view.boxes.size(), 1u) << c.name;
        EXPECT_EQ(h.view.boxes[0].text, kTextRetryQuestion);
        EXPECT_EQ(h.view.boxes[0].caption, kCaptionRetryQuestion);
        EXPECT_EQ(h.view.boxes[0].flags, kMbOkCancel);
        EXPECT_EQ(h.view.endResult, 0);
        EXPECT_EQ(h.flow->m_flowState, Requesting) << c.name;
        EXPECT_EQ(h.server.archiveRequests.load(), 0) << c.name;
    }
}

TEST(ServerAnswer, RetryQueuesOneNewRequestEachTime) {
    FlowHarness h;
    h.server.SetNotice(200, "garbage");
    h.view.answers = {kIdOk, kIdOk};
    h.view.whileBoxOpen = [&] {
        // Between the OK and the next answer the request is unanswered again.
        if (h.view.boxes.size() == 2) {
            h.Publish(ServerRecord());
        }
    };
    h.server.SetArchive(200, ClientArchive());
    h.Open();
    ASSERT_TRUE(h.TickUntilState(Downloading));
    EXPECT_EQ(h.view.boxes.size(), 2u);
    EXPECT_EQ(h.server.noticeRequests.load(), 3);
    EXPECT_EQ(h.view.endDialogCalls, 0);
}

TEST(ServerAnswer, TicksDuringTheQuestionDoNothingHarmful) {
    FlowHarness h;
    h.server.SetNotice(200, "garbage");
    h.view.answers = {kIdCancel};
    size_t workersAtOpen = 0;
    size_t workersAfterTicks = 0;
    h.view.whileBoxOpen = [&] {
        workersAtOpen = h.webNet.WorkerCount();
        for (int i = 0; i < 350; ++i) {  // past at least three ticks divisible by 100
            h.flow->Tick();
        }
        workersAfterTicks = h.webNet.WorkerCount();
        EXPECT_TRUE(h.flow->serverInfoAnswered);
        EXPECT_EQ(h.flow->m_flowState, Requesting);
    };
    h.Open();
    ASSERT_TRUE(h.TickUntil([&] { return h.view.endDialogCalls > 0; }));
    EXPECT_EQ(workersAfterTicks, workersAtOpen);  // no worker added while the question is open
    EXPECT_EQ(h.view.boxes.size(), 1u);           // and no second question
    EXPECT_EQ(h.server.noticeRequests.load(), 1);
}

TEST(ServerAnswer, RequestGoesOutOnTheFifthTickOnly) {
    FlowHarness h;
    h.Publish(ServerRecord());
    h.server.HoldNotice();  // a silent server: the request stays unanswered
    h.Open(0);              // no worker yet: queued requests stay countable
    for (int tick = 1; tick <= 4; ++tick) {
        h.flow->Tick();
        EXPECT_EQ(h.webNet.PendingCount(), 0u) << "tick " << tick;
    }
    h.flow->Tick();
    EXPECT_EQ(h.webNet.PendingCount(), 1u);
    for (int tick = 6; tick < 100; ++tick) {
        h.flow->Tick();
    }
    EXPECT_EQ(h.webNet.PendingCount(), 1u);
    EXPECT_EQ(h.webNet.WorkerCount(), 0u);
}

TEST(ServerAnswer, WatchdogAddsAWorkerEveryHundredTicksWhileUnanswered) {
    FlowHarness h;
    h.Publish(ServerRecord());
    h.server.SetArchive(200, ClientArchive());
    h.server.HoldNotice();
    h.Open(0);
    for (int tick = 1; tick <= 250; ++tick) {
        h.flow->Tick();
        const size_t expected = static_cast<size_t>(tick / 100);  // ticks 100 and 200
        ASSERT_EQ(h.webNet.WorkerCount(), expected) << "tick " << tick;
    }
    ASSERT_TRUE(h.TickUntil([&] { return h.server.noticeRequests.load() == 1; }, 1000));
    h.server.ReleaseNotice();
    ASSERT_TRUE(h.TickUntilState(Downloading));
    EXPECT_EQ(h.server.noticeRequests.load(), 1);
    // Once answered, the watchdog is done: ticks past further multiples of 100 add no worker.
    const size_t workersAnswered = h.webNet.WorkerCount();
    for (int i = 0; i < 250; ++i) {
        h.flow->Tick();
    }
    EXPECT_EQ(h.webNet.WorkerCount(), workersAnswered);
}

}  // namespace
}  // namespace tolbe_test

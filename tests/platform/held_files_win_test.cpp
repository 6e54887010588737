// Entries that another program holds for a moment on Windows (a scanner reading a fresh file,
// the indexer, a running game): a rename, replacement or removal waits for the hold to end
// within the wait for held files, and fails with nothing changed when it does not end.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <thread>

#include "platform/directories.h"
#include "platform/files.h"
#include "tests/support/host_files.h"
#include "tests/support/sandbox.h"

namespace {

using tolbe_test::HostPathExists;
using tolbe_test::ReadHostFile;
using tolbe_test::WriteHostFile;

struct Case {
    const char* name;
    const char* held;  // the entry held open, a Windows-form path on drive D:
    std::function<bool()> operation;
    // The entries the operation leaves when it succeeds: path and content ("" for a folder).
    std::vector<std::pair<const char*, const char*>> after;
};

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"a download renamed over the archive that a scanner reads",
         R"(D:\Client.zip)",
         [] { return platform::RenameOver(R"(D:\Client.zip.part)", R"(D:\Client.zip)"); },
         {{R"(D:\Client.zip)", "new"}}},
        {"a downloaded file renamed while the scanner still reads it",
         R"(D:\Client.zip.part)",
         [] { return platform::RenameOver(R"(D:\Client.zip.part)", R"(D:\Client.zip)"); },
         {{R"(D:\Client.zip)", "new"}}},
        {"a file the game holds removed",
         R"(D:\Tolbe\data.pak)",
         [] { return platform::DeleteOneFile(std::string_view(R"(D:\Tolbe\data.pak)")); },
         {{R"(D:\Tolbe\game.exe)", "game"}}},
        {"a folder held open moved aside",
         R"(D:\Tolbe)",
         [] { return platform::MoveEntry(R"(D:\Tolbe)", R"(D:\Tolbe.tolbe-old)"); },
         {{R"(D:\Tolbe.tolbe-old\game.exe)", "game"}}},
    };
    return cases;
}

void MakeEntries(const tolbe_test::SandboxDrives& drives) {
    WriteHostFile(drives.Host(R"(D:\Client.zip)"), "old");
    WriteHostFile(drives.Host(R"(D:\Client.zip.part)"), "new");
    WriteHostFile(drives.Host(R"(D:\Tolbe\game.exe)"), "game");
    WriteHostFile(drives.Host(R"(D:\Tolbe\data.pak)"), "data");
}

TEST(HeldFilesOnWindows, AHoldThatEndsInTimeIsWaitedFor) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const tolbe_test::SandboxDrives drives("D");
        MakeEntries(drives);
        std::optional<tolbe_test::HeldOpenEntry> held(std::in_place, drives.Host(c.held));
        std::thread letGo([&held] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            held.reset();
        });
        const bool done = c.operation();
        letGo.join();
        EXPECT_TRUE(done);
        for (const auto& [path, content] : c.after) {
            EXPECT_EQ(ReadHostFile(drives.Host(path)), content) << path;
        }
    }
}

TEST(HeldFilesOnWindows, AHoldThatOutlastsTheWaitFailsWithNothingChanged) {
    const tolbe_test::WaitForHeldFiles shortWait(std::chrono::milliseconds(300));
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const tolbe_test::SandboxDrives drives("D");
        MakeEntries(drives);
        const tolbe_test::HeldOpenEntry held(drives.Host(c.held));
        EXPECT_FALSE(c.operation());
        EXPECT_EQ(ReadHostFile(drives.Host(R"(D:\Client.zip)")), "old");
        EXPECT_EQ(ReadHostFile(drives.Host(R"(D:\Client.zip.part)")), "new");
        EXPECT_EQ(ReadHostFile(drives.Host(R"(D:\Tolbe\game.exe)")), "game");
        EXPECT_EQ(ReadHostFile(drives.Host(R"(D:\Tolbe\data.pak)")), "data");
        EXPECT_FALSE(HostPathExists(drives.Host(R"(D:\Tolbe.tolbe-old)")));
    }
}

}  // namespace

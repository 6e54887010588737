// The launcher's own command processor ("del PATH" with DeleteFileW on Windows, never a shell).

#include <gtest/gtest.h>

#include "platform/processes.h"
#include "tests/support/sandbox.h"

namespace {

using tolbe_test::HostPathExists;
using tolbe_test::WriteHostFile;

TEST(CommandProcessor, DeletesOneFileAndNothingElse) {
    tolbe_test::SandboxDrives sandbox("D");
    for (const char* file :
         {R"(D:\Client.zip)", R"(D:\My Folder\Client Copy.zip)", R"(D:\My)", R"(D:\quoted.zip)",
          R"(D:\UPPER.zip)", R"(D:\other.zip)", R"(D:\folder\inside.txt)"}) {
        WriteHostFile(sandbox.Host(file), "x");
    }
    const struct {
        const char* command;
        int status;  // 0 or "non-zero" (1)
        const char* gone;
    } cases[] = {
        {R"(del D:\Client.zip)", 0, R"(D:\Client.zip)"},
        {R"(del D:\Client.zip)", 1, nullptr},  // already gone
        {R"(del D:\My Folder\Client Copy.zip)", 0, R"(D:\My Folder\Client Copy.zip)"},
        {R"(del "D:\quoted.zip")", 0, R"(D:\quoted.zip)"},
        {R"(DEL D:\UPPER.zip)", 0, R"(D:\UPPER.zip)"},
        {R"(del D:\*.zip)", 1, nullptr},                  // no wildcards
        {R"(del D:\folder)", 1, nullptr},                 // a folder is not emptied
        {R"(del D:\other.zip & del D:\My)", 1, nullptr},  // one path, no command chains
        {R"(rd /s /q D:\folder)", 1, nullptr},
        {R"(delete D:\other.zip)", 1, nullptr},
        {"del ", 1, nullptr},
        {"del", 1, nullptr},
        {"", 1, nullptr},
    };
    for (const auto& c : cases) {
        const int status = platform::RunCommandProcessor(c.command);
        EXPECT_EQ(status != 0, c.status != 0) << c.command;
        if (c.gone != nullptr) {
            EXPECT_FALSE(HostPathExists(sandbox.Host(c.gone))) << c.command;
        }
    }
    for (const char* kept : {R"(D:\My)", R"(D:\other.zip)", R"(D:\folder\inside.txt)"}) {
        EXPECT_TRUE(HostPathExists(sandbox.Host(kept))) << kept;
    }
}

}  // namespace

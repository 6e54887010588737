// POSIX: the diagnostics as a terminal shows them on standard error.

#include <gtest/gtest.h>

#include "platform/debug_output.h"

namespace {

TEST(DebugOutput, TerminalShowsGbkAndUtf8AsUtf8) {
    const struct {
        std::string bytes;
        std::string shown;
    } cases[] = {
        {"1.0.3\r\n", "1.0.3\r\n"},
        // "读取配置文件失败！" in GBK, as the launcher writes it.
        {"\xB6\xC1\xC8\xA1\xC5\xE4\xD6\xC3\xCE\xC4\xBC\xFE\xCA\xA7\xB0\xDC\xA3\xA1\r\n",
         "\xE8\xAF\xBB\xE5\x8F\x96\xE9\x85\x8D\xE7\xBD\xAE\xE6\x96\x87\xE4\xBB\xB6\xE5\xA4\xB1"
         "\xE8\xB4\xA5\xEF\xBC\x81\r\n"},
        // A record value that is already UTF-8 (the narrow code page on this host).
        {"\xE6\xB8\xB8\xE6\x88\x8F\r\n", "\xE6\xB8\xB8\xE6\x88\x8F\r\n"},
        // Neither: the stray byte is shown escaped, the rest still converted.
        {"\xFF\xB6\xC1", "\\xFF\xE8\xAF\xBB"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::DebugTextForTerminal(c.bytes), c.shown);
    }
}

}  // namespace

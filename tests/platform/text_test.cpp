#include "platform/text.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(TextConversion, Utf8Validity) {
    EXPECT_TRUE(platform::IsValidUtf8("plain ascii"));
    EXPECT_TRUE(platform::IsValidUtf8("\xE8\xAF\xBB\xEF\xBF\xBD"));  // 读 and U+FFFD itself
    EXPECT_FALSE(platform::IsValidUtf8("\xB6\xC1"));                 // GBK 读
    EXPECT_FALSE(platform::IsValidUtf8("\xE8\xAF"));
}

TEST(TextConversion, GbkBecomesWideTextOrNothing) {
    const struct {
        std::string gbk;
        std::optional<std::wstring> wide;
    } cases[] = {
        {"", L""},
        {"data/map.txt", L"data/map.txt"},
        {"\xB6\xC1\xC8\xA1.txt", L"\u8BFB\u53D6.txt"},  // 读取
        {"\x81\x5C", L"\u4E57"},                        // 乗: its second byte is "\" in ASCII
        {"\x80", L"\u20AC"},                            // the euro sign of code page 936
        {"\xB6", std::nullopt},                         // cut short
        {"a\xB6/b", std::nullopt},                      // no second byte of a character
        {"\xFF.txt", std::nullopt},                     // stands for nothing
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::GbkToWide(c.gbk), c.wide) << c.gbk;
    }
}

}  // namespace

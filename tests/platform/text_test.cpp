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

// UTF-8 and wide text, whatever the narrow encoding of the host: a character beyond U+FFFF is a
// surrogate pair where wchar_t has 16 bits (Windows), one unit on POSIX.
TEST(TextConversion, Utf8AndWideTextOnEveryHost) {
    const struct {
        const char* utf8;
        std::wstring wide;
    } texts[] = {
        {"", L""},
        {"\xE6\xB8\xB8\xE6\x88\x8F/\xC3\xA9", L"\u6E38\u620F/\u00E9"},  // 游戏/é
        {"\xF0\x9F\x98\x80", L"\U0001F600"},
        {"\xEF\xBF\xBD", L"\uFFFD"},
    };
    for (const auto& t : texts) {
        EXPECT_EQ(platform::Utf8ToWide(t.utf8), t.wide) << t.utf8;
        EXPECT_EQ(platform::WideToUtf8(t.wide), t.utf8) << t.utf8;
    }
    for (const char* malformed : {"\xB6\xC1", "\xE8\xAF", "\xED\xA0\x80", "\xC0\xAF"}) {
        EXPECT_FALSE(platform::Utf8ToWide(malformed)) << malformed;
    }
    // A lone surrogate is no character.
    EXPECT_EQ(platform::WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x"),
              "\xEF\xBF\xBDx");
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

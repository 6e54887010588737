#include "platform/text.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(TextConversion, ValidTextSurvivesBothWays) {
    const struct {
        std::string narrow;
        std::wstring wide;
    } cases[] = {
        {"", L""},
        {R"(D:\Tolbe\game.exe)", LR"(D:\Tolbe\game.exe)"},
        {"D:\\\xE6\xB8\xB8\xE6\x88\x8F\\Client.zip", L"D:\\\u6E38\u620F\\Client.zip"},  // 游戏
        {"http://h/\xC3\xA9t\xC3\xA9", L"http://h/\u00E9t\u00E9"},
        {"\xF0\x9F\x8E\xAE", std::wstring(1, static_cast<wchar_t>(0x1F3AE))},  // 4-byte form
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::NarrowToWide(c.narrow), c.wide) << c.narrow;
        EXPECT_EQ(platform::WideToNarrow(c.wide), c.narrow) << c.narrow;
    }
}

TEST(TextConversion, MalformedBytesBecomeReplacementCharacters) {
    // A lone continuation byte, a cut-short sequence at the end, an overlong '/', a surrogate.
    EXPECT_EQ(platform::NarrowToWide("a\x80z"), L"a\uFFFDz");
    EXPECT_EQ(platform::NarrowToWide("ab\xE6\xB8"), L"ab\uFFFD\uFFFD");
    EXPECT_EQ(platform::NarrowToWide("\xC0\xAF"), L"\uFFFD\uFFFD");
    EXPECT_EQ(platform::NarrowToWide("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");
}

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

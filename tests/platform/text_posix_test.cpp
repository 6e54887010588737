// Narrow text on POSIX is UTF-8; on Windows it is the ANSI code page (text_win_test.cpp).
#include <gtest/gtest.h>

#include "platform/text.h"

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

}  // namespace

// Narrow text on Windows is the ANSI code page; these cases hold for the code pages players'
// systems use (1252 and 936) and for the rules every code page keeps.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/text.h"

namespace {

TEST(AnsiText, CodePageTextSurvivesBothWays) {
    struct Case {
        std::string narrow;
        std::wstring wide;
    };
    std::vector<Case> cases = {{R"(D:\Tolbe\game.exe)", LR"(D:\Tolbe\game.exe)"}, {"", L""}};
    if (::GetACP() == 1252) {
        cases.push_back({"D:\\caf\xE9\\\x80.txt", L"D:\\caf\u00E9\\\u20AC.txt"});
    } else if (::GetACP() == 936) {
        cases.push_back({"D:\\\xD3\xCE\xCF\xB7\\Client.zip", L"D:\\\u6E38\u620F\\Client.zip"});
    }
    for (const Case& c : cases) {
        EXPECT_EQ(platform::NarrowToWide(c.narrow), c.wide) << c.narrow;
        EXPECT_EQ(platform::WideToNarrow(c.wide), c.narrow) << c.narrow;
        EXPECT_TRUE(platform::IsValidNarrowText(c.narrow)) << c.narrow;
    }
}

TEST(AnsiText, NoCharacterBecomesASeparatorOrADot) {
    // Best-fit mapping would write these fullwidth and look-alike forms as "\", "/", "." and
    // ":", so that a name from a record or an archive could climb out of its folder.
    const std::wstring lookAlikes = L"a\uFF3C\uFF0F\uFF0E\uFF0E\uFF1A\u2215\u2024z";
    const std::string narrow = platform::WideToNarrow(lookAlikes);
    ASSERT_FALSE(narrow.empty());
    EXPECT_EQ(narrow.front(), 'a');
    EXPECT_EQ(narrow.back(), 'z');
    EXPECT_EQ(narrow.find_first_of("\\/.:", 1), std::string::npos) << narrow;
}

TEST(AnsiText, BytesThatStandForNoCharacterAreNoValidText) {
    if (::GetACP() != 936) {
        GTEST_SKIP() << "the ANSI code page " << ::GetACP() << " has no lead bytes";
    }
    EXPECT_TRUE(platform::IsValidNarrowText("\xB6\xC1\xC8\xA1"));  // 读取
    EXPECT_FALSE(platform::IsValidNarrowText("a\xB6"));            // a lead byte alone
    // The lead byte alone becomes the code page's stand-in, never a character of the text.
    const std::wstring wide = platform::NarrowToWide("a\xB6");
    ASSERT_EQ(wide.size(), 2u);
    EXPECT_EQ(wide[0], L'a');
    EXPECT_TRUE(wide[1] == L'\uFFFD' || wide[1] == L'?') << static_cast<unsigned>(wide[1]);
}

}  // namespace

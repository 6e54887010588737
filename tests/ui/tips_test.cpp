// The gameplay tips of the status line, the same in both windows.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ui/launcher_tips.h"

namespace {

TEST(UiTips, TwentyFourDistinctSentencesStartingWithTheXpNote) {
    const auto& tips = LauncherTips();
    ASSERT_EQ(tips.size(), 24u);
    EXPECT_EQ(tips[0], L"小提示：本游戏目前不支持XP系统");
    EXPECT_EQ(std::set<std::wstring>(tips.begin(), tips.end()).size(), tips.size());
    for (size_t i = 0; i < tips.size(); ++i) {
        EXPECT_GE(tips[i].size(), 7u) << "tip " << i;
        EXPECT_LE(tips[i].size(), 26u) << "tip " << i;
    }
}

}  // namespace

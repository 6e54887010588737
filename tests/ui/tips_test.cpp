// The gameplay tips of the status line.

#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <set>

#include "ui/dialog_template.h"
#include "ui/launcher_tips.h"

namespace {

TEST(UiTips, TwentyFourDistinctSentencesStartingWithTheXpNote) {
    const auto& tips = LauncherTips();
    ASSERT_EQ(tips.size(), 24u);
    EXPECT_EQ(tips[0], L"小提示：本游戏目前不支持XP系统");
    EXPECT_EQ(std::set<std::wstring>(tips.begin(), tips.end()).size(), tips.size());
    for (const std::wstring& tip : tips) {
        EXPECT_GE(tip.size(), 7u) << QString::fromStdWString(tip).toStdString();
        EXPECT_LE(tip.size(), 26u) << QString::fromStdWString(tip).toStdString();
    }
}

TEST(UiTips, EveryTipFitsTheStatusLineInItsFont) {
    // The status line's final width: its template width scaled to the 980-pixel window.
    const int statusLineWidth = kStatusLineItem.width * 980 / kTemplateWidthDu;
    const QFontMetrics metrics(QFont("Microsoft YaHei", 14));
    for (const std::wstring& tip : LauncherTips()) {
        const QString text = QString::fromStdWString(tip);
        EXPECT_LE(metrics.horizontalAdvance(text), statusLineWidth) << text.toStdString();
    }
}

}  // namespace

// The gameplay tips fit the Qt window's status line.

#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>
#include <QString>

#include "ui/dialog_template.h"
#include "ui/launcher_tips.h"

namespace {

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

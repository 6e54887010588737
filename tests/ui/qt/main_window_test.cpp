// The main window without its modal loop: place, shape, layout, face, texts, bar and dragging.

#include <gtest/gtest.h>

#include <QIcon>
#include <QLabel>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "tests/ui/qt/scripted_flow.h"
#include "tests/ui/qt/ui_test_support.h"
#include "ui/dialog_template.h"
#include "ui/qt/resource_paths.h"
#include "ui/qt/window_region.h"
#include "ui/qt/zorv_downloader_dlg.h"

namespace {

using tolbe_test::Grab;
using tolbe_test::ScriptedFlow;
using tolbe_test::VisibleRegion;

constexpr QRgb kWhite = qRgb(255, 255, 255);

class UiMainWindow : public testing::Test {
protected:
    QLabel& StatusLine() { return *window.findChild<QLabel*>("m_statusLine"); }
    QLabel& PercentLabel() { return *window.findChild<QLabel*>("m_percentLabel"); }
    CBmpProgCtrl& Bar() { return *window.findChild<CBmpProgCtrl*>("m_progress"); }

    ScriptedFlow flow;
    CZorvDownloaderDlg window{flow};
};

TEST_F(UiMainWindow, InitialisationPlacesShapesAndStartsTheFlow) {
    std::wstring statusAtStart;
    flow.onStart = [&](FlowView& view) {
        view.SetStatusText(L"正在请求数据");
        statusAtStart = StatusLine().text().toStdWString();
    };
    window.OnInitDialog();

    EXPECT_EQ(flow.starts, 1);
    EXPECT_EQ(flow.ticks, 0) << "no tick before the loop runs";
    EXPECT_EQ(statusAtStart, L"正在请求数据") << "the controls are ready when the flow starts";
    EXPECT_EQ(window.geometry(), QRect(0, 0, 980, 650));
    EXPECT_EQ(VisibleRegion(window), RegionFromMask(QImage(BitmapResource(IDB_MASK))));
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window.windowType(), Qt::Window) << "a window of its own, with a taskbar entry";
    EXPECT_FALSE(window.windowIcon().pixmap(32, 32).isNull()) << "icon 128 loads";
    EXPECT_EQ(window.Tips().size(), 24u);

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.pos(), QPoint(0, 0)) << "at the screen's top-left corner, not centred";
}

TEST_F(UiMainWindow, MaskWithoutNonBlackPixelsHidesTheWholeWindow) {
    window.OnInitDialog();
    QImage black(980, 650, QImage::Format_RGB888);
    black.fill(Qt::black);
    window.ApplyWindowRegion(black);
    EXPECT_TRUE(VisibleRegion(window).isEmpty());
    EXPECT_EQ(window.geometry(), QRect(0, 0, 980, 650)) << "placed and sized as usual";
}

TEST_F(UiMainWindow, ControlsEndAtTheirTemplateRectanglesScaledToTheWindow) {
    window.OnInitDialog();
    struct Control {
        const char* name;
        DialogItem item;
    };
    const Control controls[] = {{"m_statusLine", kStatusLineItem},
                                {"m_progress", kProgressItem},
                                {"m_percentLabel", kPercentLabelItem}};
    const double sx = 980.0 / kTemplateWidthDu;
    const double sy = 650.0 / kTemplateHeightDu;
    for (const Control& c : controls) {
        SCOPED_TRACE(c.name);
        const QRect r = window.findChild<QWidget*>(c.name)->geometry();
        // Two truncating passes may each lose most of a pixel.
        EXPECT_NEAR(r.x(), c.item.x * sx, 2.0);
        EXPECT_NEAR(r.y(), c.item.y * sy, 2.0);
        EXPECT_NEAR(r.x() + r.width(), (c.item.x + c.item.width) * sx, 2.0);
        EXPECT_NEAR(r.y() + r.height(), (c.item.y + c.item.height) * sy, 2.0);
    }
    EXPECT_NEAR(Bar().width(), 484, 2);
    EXPECT_NEAR(StatusLine().x(), 343, 2);
}

TEST_F(UiMainWindow, FaceShowsUnscaledAndTheTextsDrawWhiteAndCentred) {
    window.OnInitDialog();
    window.SetStatusText(L"小提示：本游戏目前不支持XP系统");
    const QImage face = QImage(BitmapResource(IDB_FACE)).convertToFormat(QImage::Format_RGB32);
    const QImage shot = Grab(window);

    for (const QPoint p :
         {QPoint(30, 80), QPoint(490, 100), QPoint(700, 300), QPoint(200, 620), QPoint(960, 600)}) {
        EXPECT_EQ(shot.pixel(p), face.pixel(p)) << "at (" << p.x() << ", " << p.y() << ")";
    }

    // White text, horizontally centred in its control, on the face itself (no background).
    for (QLabel* label : {&StatusLine(), &PercentLabel()}) {
        SCOPED_TRACE(label->objectName().toStdString());
        const QRect area = label->geometry();
        int left = area.right() + 1, right = area.left() - 1, faceShown = 0, other = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                const QRgb pixel = shot.pixel(x, y);
                if (pixel == kWhite) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                } else if (pixel == face.pixel(x, y)) {
                    ++faceShown;
                } else {
                    ++other;  // the letters' anti-aliased edges
                }
            }
        }
        ASSERT_LE(left, right) << "no white text";
        const double textCentre = (left + right + 1) / 2.0;
        const double areaCentre = area.x() + area.width() / 2.0;
        EXPECT_NEAR(textCentre, areaCentre, 3.0);
        EXPECT_GT(faceShown, other) << "the face shows around the letters";
    }
}

TEST_F(UiMainWindow, BarFillIsPaintedOnTheWindowAtSeveralPositions) {
    window.OnInitDialog();
    const QImage fore = QImage(BitmapResource(IDB_BAR_FORE)).convertToFormat(QImage::Format_RGB32);
    const QRect bar = Bar().geometry();
    // Row 3 of the fill strip, drawn at (2, 2) inside the bar, compared from the left.
    const auto paintedColumns = [&] {
        const QImage shot = Grab(window);
        const int y = bar.y() + 2 + 3;
        int columns = 0;
        while (2 + columns < bar.width() && columns < fore.width() &&
               shot.pixel(bar.x() + 2 + columns, y) == fore.pixel(columns, 3)) {
            ++columns;
        }
        return columns;
    };
    // The fill is drawn at its own size and cut by the bar's right edge.
    const int visible = bar.width() - 2;
    struct Case {
        int value;
        int columns;
    };
    const Case cases[] = {{0, 4}, {7, 39}, {42, 209}, {99, std::min(488, visible)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        window.ResetProgressDisplay();
        EXPECT_EQ(paintedColumns(), 0) << "the reset clears the fill";
        window.SetProgressPos(c.value);
        EXPECT_EQ(paintedColumns(), c.columns);
    }
}

TEST_F(UiMainWindow, StatusLineIsWrittenOnlyWhenItsTextChanges) {
    window.OnInitDialog();
    window.SetStatusText(L"正在请求数据");
    EXPECT_EQ(StatusLine().text(), QString::fromStdWString(L"正在请求数据"));

    // Something else writes the control; the same text again must leave the control alone.
    StatusLine().setText("untouched");
    window.SetStatusText(L"正在请求数据");
    EXPECT_EQ(StatusLine().text(), "untouched");

    window.SetStatusText(L"解压中，请稍候..");
    EXPECT_EQ(StatusLine().text(), QString::fromStdWString(L"解压中，请稍候.."));
}

TEST_F(UiMainWindow, PercentLabelAndBarFollowTheFlow) {
    window.OnInitDialog();
    EXPECT_EQ(PercentLabel().text(), "0") << "the template's text until a percentage is shown";
    EXPECT_EQ(StatusLine().text(), "");

    window.SetPercentText(L" 7%");
    EXPECT_EQ(PercentLabel().text(), " 7%");
    window.SetPercentText(L" 100%");
    EXPECT_EQ(PercentLabel().text(), " 100%");
    PercentLabel().setText("x");
    window.SetPercentText(L" 100%");
    EXPECT_EQ(PercentLabel().text(), " 100%") << "rewritten on every call";

    window.SetProgressPos(42);
    EXPECT_EQ(Bar().GetPos(), 43);
    window.SetProgressPos(105);
    EXPECT_EQ(Bar().GetPos(), 44);
    window.ResetProgressDisplay();
    EXPECT_EQ(Bar().GetPos(), 0);
    EXPECT_EQ(PercentLabel().text(), " 0%");
    window.SetProgressPos(0);
    EXPECT_EQ(Bar().GetPos(), 1);
}

TEST_F(UiMainWindow, DragsFromAnyPointOfTheFace) {
    window.OnInitDialog();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QWindow* handle = window.windowHandle();
    const QPoint points[] = {QPoint(120, 300), StatusLine().geometry().center(),
                             Bar().geometry().center(), PercentLabel().geometry().center()};
    for (const QPoint from : points) {
        SCOPED_TRACE(testing::Message() << "from (" << from.x() << ", " << from.y() << ")");
        window.move(0, 0);
        QTest::mousePress(handle, Qt::LeftButton, {}, from);
        QTest::mouseMove(handle, from + QPoint(40, 30));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, from);
        EXPECT_EQ(window.pos(), QPoint(40, 30));
    }
}

}  // namespace

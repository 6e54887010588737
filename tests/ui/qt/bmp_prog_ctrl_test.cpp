// The bitmap progress bar: the step rule, the painted fill and the repainted strip.

#include <gtest/gtest.h>

#include <QEvent>
#include <QImage>
#include <QPaintEvent>
#include <QTest>
#include <algorithm>
#include <vector>

#include "tests/ui/qt/ui_test_support.h"
#include "ui/qt/bmp_prog_ctrl.h"

namespace {

using tolbe_test::Grab;

constexpr QRgb kBack = qRgb(0, 0, 200);
constexpr QRgb kFore = qRgb(220, 0, 0);
constexpr int kStripWidth = 488;
constexpr int kStripHeight = 12;

QImage Strip(QRgb colour) {
    QImage strip(kStripWidth, kStripHeight, QImage::Format_RGB888);
    strip.fill(colour);
    return strip;
}

// A bar as the window sets it up (strips, range 0..100), wide enough to show all of both strips.
class UiBmpProgCtrl : public testing::Test {
protected:
    UiBmpProgCtrl() {
        bar.SetBitmaps(Strip(kBack), Strip(kFore));
        bar.SetRange(0, 100);
        bar.resize(kStripWidth + 12, kStripHeight + 6);
    }

    // Columns of fill painted on one row inside the fill; also checks that the fill starts at
    // column 2 and row 2, over the background.
    int PaintedFillColumns() {
        const QImage image = Grab(bar);
        int columns = 0;
        for (int x = 0; x < image.width(); ++x) {
            columns += image.pixel(x, 6) == kFore ? 1 : 0;
        }
        EXPECT_EQ(image.pixel(0, 6), kBack);
        EXPECT_EQ(image.pixel(1, 6), kBack);
        EXPECT_NE(image.pixel(2, 1), kFore) << "the fill starts on row 2";
        if (columns > 0) {
            EXPECT_EQ(image.pixel(2, 2), kFore);
            EXPECT_EQ(image.pixel(2 + columns - 1, 6), kFore) << "one block from column 2";
        }
        return columns;
    }

    CBmpProgCtrl bar;
};

TEST_F(UiBmpProgCtrl, BeforeAnyPositionOnlyTheBackgroundShows) {
    EXPECT_EQ(PaintedFillColumns(), 0);
    EXPECT_EQ(Grab(bar).pixel(0, 0), kBack);
}

TEST_F(UiBmpProgCtrl, NamedPercentagesShowTheNextStep) {
    struct Case {
        int value;
        int shownPosition;
        int fillColumns;
    };
    const Case cases[] = {{0, 1, 4}, {42, 43, 209}, {7, 8, 39}, {99, 100, 488}, {100, 100, 488}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        bar.Reset();
        bar.SetPos(c.value);
        EXPECT_EQ(bar.GetPos(), c.shownPosition);
        EXPECT_EQ(PaintedFillColumns(), c.fillColumns);
    }
}

TEST_F(UiBmpProgCtrl, FillWidthForEveryPercentage) {
    for (int value = 0; value <= 100; ++value) {
        SCOPED_TRACE(value);
        bar.Reset();
        bar.SetPos(value);
        const int shown = std::min(value + 1, 100);
        EXPECT_EQ(PaintedFillColumns(), kStripWidth * shown / 100);
    }
}

TEST_F(UiBmpProgCtrl, ValuesOutOfRangeOnlyStep) {
    bar.SetPos(42);
    ASSERT_EQ(bar.GetPos(), 43);
    bar.SetPos(150);
    EXPECT_EQ(bar.GetPos(), 44);
    bar.SetPos(-1);
    EXPECT_EQ(bar.GetPos(), 45);
    EXPECT_EQ(PaintedFillColumns(), kStripWidth * 45 / 100);

    bar.SetPos(100);
    EXPECT_EQ(bar.GetPos(), 100);
    bar.SetPos(105);
    EXPECT_EQ(bar.GetPos(), 100) << "capped at the upper end";
    EXPECT_EQ(bar.StepIt(), 0);
    EXPECT_EQ(bar.GetPos(), 100);

    bar.Reset();
    EXPECT_EQ(bar.GetPos(), 0);
    EXPECT_EQ(PaintedFillColumns(), 0) << "the reset clears the fill";
    bar.SetPos(49);
    EXPECT_EQ(bar.StepIt(), 1);
    EXPECT_EQ(bar.GetPos(), 51);
}

// Records the areas the bar is asked to repaint.
class PaintRecorder : public QObject {
public:
    std::vector<QRegion> regions;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            regions.push_back(static_cast<QPaintEvent*>(event)->region());
        }
        return false;
    }
};

TEST_F(UiBmpProgCtrl, RepaintsFromTheLastFillEndAndAllAfterAReset) {
    PaintRecorder recorder;
    bar.installEventFilter(&recorder);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    const auto waitForPaint = [&] {
        return QTest::qWaitFor([&] { return !recorder.regions.empty(); }, 5000);
    };
    // Paint position 43 now, and let every earlier request be served.
    bar.SetPos(42);
    bar.repaint();
    QCoreApplication::processEvents();
    recorder.regions.clear();

    // Position 43 was painted: the fill ended at (int)(width * 0.43) of the bar's own width.
    bar.SetPos(60);
    ASSERT_TRUE(waitForPaint());
    const int stripLeft = static_cast<int>(static_cast<float>(bar.width()) * 0.43f);
    EXPECT_EQ(recorder.regions.front(),
              QRegion(stripLeft, 0, bar.width() - stripLeft, bar.height()));
    recorder.regions.clear();

    bar.Reset();
    ASSERT_TRUE(waitForPaint());
    EXPECT_EQ(recorder.regions.front(), QRegion(bar.rect()));
    bar.removeEventFilter(&recorder);
}

}  // namespace

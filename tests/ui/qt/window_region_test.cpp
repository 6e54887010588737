// The window's shape: exactly the non-black pixels of the mask.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QRegion>
#include <map>
#include <string>
#include <vector>

#include "ui/qt/resource_paths.h"
#include "ui/qt/window_region.h"

namespace {

// A mask drawn from rows of characters: '.' is pure black, every other character a colour.
QImage MaskFromRows(const std::vector<std::string>& rows) {
    static const std::map<char, QRgb> colours = {
        {'.', qRgb(0, 0, 0)},      {'#', qRgb(255, 255, 255)}, {'r', qRgb(1, 0, 0)},
        {'g', qRgb(0, 1, 0)},      {'b', qRgb(0, 0, 1)},       {'d', qRgb(1, 1, 1)},
        {'o', qRgb(200, 120, 10)},
    };
    QImage mask(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()),
                QImage::Format_RGB888);
    for (int y = 0; y < mask.height(); ++y) {
        for (int x = 0; x < mask.width(); ++x) {
            mask.setPixel(x, y, colours.at(rows[y][x]));
        }
    }
    return mask;
}

// The region's pixels as an image: white inside, black outside.
QImage Paint(const QRegion& region, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    for (const QRect& r : region) {
        painter.fillRect(r, Qt::white);
    }
    return image;
}

TEST(UiWindowRegion, HoldsExactlyTheNonBlackPixelsOfEveryRun) {
    const std::vector<std::string> rows = {
        "##..#.###..o",  // three runs, the last one pixel at the right edge
        "............",  // a row without a run
        "r.g.b.d.....",  // near-black pixels, each its own run
        ".##########.",  // one run not touching the edges
        "#.#.#.#.#.#.",  // six one-pixel runs
        "############",  // the whole row
    };
    const QRegion region = RegionFromMask(MaskFromRows(rows));
    for (int y = 0; y < static_cast<int>(rows.size()); ++y) {
        for (int x = 0; x < static_cast<int>(rows[y].size()); ++x) {
            EXPECT_EQ(region.contains(QPoint(x, y)), rows[y][x] != '.')
                << "pixel (" << x << ", " << y << ")";
        }
    }
    EXPECT_FALSE(region.contains(QPoint(12, 0))) << "nothing right of the mask";
    EXPECT_FALSE(region.contains(QPoint(0, 6))) << "nothing below the mask";
}

TEST(UiWindowRegion, AllBlackMaskGivesAnEmptyRegion) {
    QImage mask(40, 30, QImage::Format_RGB888);
    mask.fill(Qt::black);
    EXPECT_TRUE(RegionFromMask(mask).isEmpty());
}

TEST(UiWindowRegion, LauncherMaskCutsAShapedWindow) {
    const QImage mask(BitmapResource(IDB_MASK));
    ASSERT_EQ(mask.size(), QSize(980, 650));
    const QRegion region = RegionFromMask(mask);

    const QImage painted = Paint(region, mask.size());
    const QImage rgb = mask.convertToFormat(QImage::Format_RGB32);
    int differing = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            const bool inMask = (rgb.pixel(x, y) & 0xFFFFFF) != 0;
            const bool inRegion = painted.pixel(x, y) == qRgb(255, 255, 255);
            differing += inMask != inRegion ? 1 : 0;
        }
    }
    EXPECT_EQ(differing, 0);

    // Not a plain rectangle: the corners and the top edge beside the crest are cut away, the
    // middle of the face and of the bottom edge belong to the window.
    EXPECT_FALSE(region.contains(QPoint(0, 0)));
    EXPECT_FALSE(region.contains(QPoint(979, 649)));
    EXPECT_FALSE(region.contains(QPoint(100, 10)));
    EXPECT_TRUE(region.contains(QPoint(490, 325)));
    EXPECT_TRUE(region.contains(QPoint(490, 649)));
    EXPECT_TRUE(region.contains(QPoint(490, 2)));
}

}  // namespace

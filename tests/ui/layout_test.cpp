// The template's layout: the two passes of the window's initialisation bring every control to
// its template rectangle scaled to the 980 x 650 window, whatever the template font's size.

#include <gtest/gtest.h>

#include <cmath>

#include "ui/dialog_template.h"

namespace {

constexpr int kWindowWidth = 980;
constexpr int kWindowHeight = 650;

TEST(UiLayout, ControlsEndAtTheirTemplateRectanglesAfterBothPasses) {
    // Dialog base units of fonts from small to large (the template font at 96 dpi is 7 x 15);
    // screens from small to large for the first pass.
    struct Start {
        int baseX;
        int baseY;
        int screenWidth;
        int workAreaBottom;
    };
    const Start starts[] = {
        {7, 15, 1280, 770}, {6, 13, 1024, 738}, {9, 19, 1920, 1040}, {11, 23, 3840, 2110}};
    const DialogItem items[] = {kStatusLineItem, kProgressItem, kPercentLabelItem};
    for (const Start& s : starts) {
        const auto pixels = [&s](int du, int base, int parts) {
            return (du * base + parts / 2) / parts;
        };
        const int templateWidth = pixels(kTemplateWidthDu, s.baseX, 4);
        const int templateHeight = pixels(kTemplateHeightDu, s.baseY, 8);
        for (const DialogItem& item : items) {
            SCOPED_TRACE(testing::Message() << "control " << item.id << ", base units " << s.baseX
                                            << " x " << s.baseY);
            const PixelRect start{pixels(item.x, s.baseX, 4), pixels(item.y, s.baseY, 8),
                                  pixels(item.x + item.width, s.baseX, 4),
                                  pixels(item.y + item.height, s.baseY, 8)};
            const PixelRect onScreen = ScaleLayoutRect(start, templateWidth, templateHeight,
                                                       s.screenWidth, s.workAreaBottom);
            const PixelRect final = ScaleLayoutRect(onScreen, s.screenWidth, s.workAreaBottom,
                                                    kWindowWidth, kWindowHeight);
            const double sx = static_cast<double>(kWindowWidth) / kTemplateWidthDu;
            const double sy = static_cast<double>(kWindowHeight) / kTemplateHeightDu;
            // The template's rounding to pixels, then two truncating passes: each may lose
            // most of a pixel.
            constexpr double kSlack = 3.0;
            EXPECT_NEAR(final.left, item.x * sx, kSlack);
            EXPECT_NEAR(final.top, item.y * sy, kSlack);
            EXPECT_NEAR(final.right, (item.x + item.width) * sx, kSlack);
            EXPECT_NEAR(final.bottom, (item.y + item.height) * sy, kSlack);
        }
    }
}

TEST(UiLayout, EdgesAreScaledInSinglePrecisionAndTruncated) {
    // 1 x 1.7 = 1.7 -> 1; 7 x 0.5 = 3.5 -> 3; 3 x 1.7 = 5.1 -> 5; 10 x 0.5 = 5.
    EXPECT_EQ(ScaleLayoutRect(PixelRect{1, 7, 3, 10}, 10, 10, 17, 5), (PixelRect{1, 3, 5, 5}));
    // The template's own conversion: rounded to the nearest pixel.
    EXPECT_EQ(DialogItemPixels(kProgressItem), (PixelRect{345, 566, 831, 587}));
}

}  // namespace

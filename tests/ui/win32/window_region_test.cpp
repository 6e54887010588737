// The Win32 window's region from a mask bitmap: read from the bitmap's bits, every non-black
// pixel inside, exactly black ones outside.

#include "tests/ui/win32/win32_test_support.h"

#include <vector>

#include "ui/resource_ids.h"
#include "ui/win32/window_region.h"

namespace {

// A 24-bit bitmap (as the mask resource is) with the given colours (0x00RRGGBB), row by row.
BitmapHandle Bitmap24(int width, const std::vector<uint32_t>& colours) {
    const int height = static_cast<int>(colours.size()) / width;
    BITMAPINFO format = TopDownDibFormat(width, height, 24);
    void* bits = nullptr;
    BitmapHandle bitmap(::CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    const int stride = (width * 3 + 3) / 4 * 4;
    auto* bytes = static_cast<unsigned char*>(bits);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t colour = colours[static_cast<size_t>(y) * width + x];
            unsigned char* pixel = bytes + y * stride + x * 3;
            pixel[0] = colour & 0xFF;  // blue, green, red
            pixel[1] = (colour >> 8) & 0xFF;
            pixel[2] = (colour >> 16) & 0xFF;
        }
    }
    return bitmap;
}

TEST(UiWin32WindowRegion, NearBlackPixelsBelongToTheWindowAndBlackOnesDoNot) {
    constexpr uint32_t k = 0x000000;  // black
    // Row 0: red, green and blue of 1 each, and white, around black; row 1: all black; row 2:
    // one run over the whole row.
    const std::vector<uint32_t> colours = {
        0x010000, k, 0x000100, k,        0x000001, 0xFFFFFF, k,        k,        k,
        k,        k, k,        0x101010, 0x202020, 0x303030, 0x404040, 0x505050, 0x606060,
    };
    const BitmapHandle mask = Bitmap24(6, colours);
    const std::vector<MaskRun> runs = MaskBitmapRuns(mask.get());
    const std::vector<MaskRun> expected = {{0, 0, 1}, {0, 2, 3}, {0, 4, 6}, {2, 0, 6}};
    EXPECT_EQ(runs, expected);

    const RegionHandle region(RegionFromRuns(runs));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 7; ++x) {
            const bool inside = y < 3 && x < 6 && colours[static_cast<size_t>(y) * 6 + x] != k;
            EXPECT_EQ(::PtInRegion(region.get(), x, y) != 0, inside) << x << ", " << y;
        }
    }
}

TEST(UiWin32WindowRegion, AllBlackMaskGivesAnEmptyRegion) {
    const BitmapHandle mask = Bitmap24(40, std::vector<uint32_t>(40 * 30, 0));
    const RegionHandle region(RegionFromRuns(MaskBitmapRuns(mask.get())));
    ASSERT_NE(region, nullptr);
    RECT box;
    EXPECT_EQ(::GetRgnBox(region.get(), &box), NULLREGION);
}

TEST(UiWin32WindowRegion, LauncherMaskCutsAShapedWindow) {
    const BitmapHandle mask = LoadBitmapResource(IDB_MASK);
    const RegionHandle region(RegionFromRuns(MaskBitmapRuns(mask.get())));
    RECT box;
    ASSERT_EQ(::GetRgnBox(region.get(), &box), COMPLEXREGION);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, 980);
    EXPECT_EQ(box.bottom, 650);
    // Not a plain rectangle: the corners and the top edge beside the crest are cut away, the
    // middle of the face and of the top and bottom edges belong to the window.
    EXPECT_FALSE(::PtInRegion(region.get(), 0, 0));
    EXPECT_FALSE(::PtInRegion(region.get(), 979, 649));
    EXPECT_FALSE(::PtInRegion(region.get(), 100, 10));
    EXPECT_TRUE(::PtInRegion(region.get(), 490, 325));
    EXPECT_TRUE(::PtInRegion(region.get(), 490, 649));
    EXPECT_TRUE(::PtInRegion(region.get(), 490, 2));
}

}  // namespace

// The runs of the shape mask that both windows build their region from.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ui/mask_runs.h"

namespace {

// Mask pixels drawn from rows of characters: '.' is pure black, every other character a colour.
// Rows are `stride` pixels apart; the pixels past the width are white and must be ignored.
std::vector<uint32_t> PixelsFromRows(const std::vector<std::string>& rows, int stride) {
    static const std::map<char, uint32_t> colours = {
        {'.', 0x000000}, {'#', 0xFFFFFF}, {'r', 0x010000},   {'g', 0x000100},
        {'b', 0x000001}, {'o', 0xC8780A}, {'a', 0xFF000000},  // alpha alone: still black
    };
    std::vector<uint32_t> pixels(rows.size() * stride, 0xFFFFFF);
    for (size_t y = 0; y < rows.size(); ++y) {
        for (size_t x = 0; x < rows[y].size(); ++x) {
            pixels[y * stride + x] = colours.at(rows[y][x]);
        }
    }
    return pixels;
}

TEST(UiMaskRuns, OneRunPerStretchOfNonBlackPixelsRowByRow) {
    const std::vector<std::string> rows = {
        "##..#.###..o",  // three runs, the last one pixel at the right edge
        "............",  // a row without a run
        "r.g.b.a.....",  // near-black pixels each their own run; alpha without colour is black
        ".##########.",  // one run touching neither edge
        "############",  // the whole row
    };
    const std::vector<MaskRun> expected = {
        {0, 0, 2}, {0, 4, 5}, {0, 6, 9},  {0, 11, 12}, {2, 0, 1},
        {2, 2, 3}, {2, 4, 5}, {3, 1, 11}, {4, 0, 12},
    };
    for (const int stride : {12, 16}) {
        SCOPED_TRACE(testing::Message() << "stride " << stride);
        const std::vector<uint32_t> pixels = PixelsFromRows(rows, stride);
        EXPECT_EQ(MaskRuns(pixels.data(), 12, static_cast<int>(rows.size()), stride), expected);
    }
}

TEST(UiMaskRuns, AllBlackOrEmptyMaskHasNoRun) {
    const std::vector<uint32_t> black(40 * 30, 0);
    EXPECT_TRUE(MaskRuns(black.data(), 40, 30, 40).empty());
    EXPECT_TRUE(MaskRuns(black.data(), 0, 0, 0).empty());
}

}  // namespace

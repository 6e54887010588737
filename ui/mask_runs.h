#pragma once
// The runs of a shape mask, from which both windows build their region: pure black pixels lie
// outside the window, every other colour, however dark, inside.

#include <cstddef>
#include <cstdint>
#include <vector>

// Columns [left, right) of row `y` (right exclusive), all of them not pure black.
struct MaskRun {
    int y;
    int left;
    int right;

    bool operator==(const MaskRun& other) const {
        return y == other.y && left == other.left && right == other.right;
    }
};

// The maximal runs of non-black pixels of a mask, row by row from the top row, each row from
// left to right; a row without a non-black pixel gives none. `pixels` holds `height` rows of
// `width` 32-bit pixels, the top row first, row r starting at pixels + r * stride; the colour
// is in the low 24 bits in either byte order (0x00RRGGBB or 0x00BBGGRR: black is 0 in both),
// the high 8 bits are ignored.
std::vector<MaskRun> MaskRuns(const uint32_t* pixels, int width, int height, int stride);

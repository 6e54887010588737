#include "ui/mask_runs.h"

namespace {

constexpr uint32_t kColourBits = 0x00FFFFFF;

bool IsPureBlack(uint32_t pixel) {
    return (pixel & kColourBits) == 0;
}

}  // namespace

std::vector<MaskRun> MaskRuns(const uint32_t* pixels, int width, int height, int stride) {
    std::vector<MaskRun> runs;
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = pixels + static_cast<std::ptrdiff_t>(y) * stride;
        int x = 0;
        while (x < width) {
            while (x < width && IsPureBlack(row[x])) {
                ++x;
            }
            if (x == width) {
                break;
            }
            const int left = x;
            while (x < width && !IsPureBlack(row[x])) {
                ++x;
            }
            runs.push_back(MaskRun{y, left, x});
        }
    }
    return runs;
}

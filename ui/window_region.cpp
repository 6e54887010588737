#include "ui/window_region.h"

#include <QRect>
#include <vector>

namespace {

bool IsPureBlack(QRgb pixel) {
    return qRed(pixel) == 0 && qGreen(pixel) == 0 && qBlue(pixel) == 0;
}

}  // namespace

QRegion RegionFromMask(const QImage& mask) {
    const QImage rgb = mask.convertToFormat(QImage::Format_RGB32);
    const int width = rgb.width();
    std::vector<QRect> runs;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        int x = 0;
        while (x < width) {
            while (x < width && IsPureBlack(row[x])) {
                ++x;
            }
            if (x == width) {
                break;
            }
            const int runStart = x;
            while (x < width && !IsPureBlack(row[x])) {
                ++x;
            }
            runs.emplace_back(runStart, y, x - runStart, 1);
        }
    }
    // The runs are sorted by row, then by column, are one pixel high and never touch within a
    // row, which is the form setRects takes as it is: no union of thousands of rectangles.
    QRegion region;
    if (!runs.empty()) {
        region.setRects(runs.data(), static_cast<int>(runs.size()));
    }
    return region;
}

#include "ui/qt/window_region.h"

#include <QRect>
#include <vector>

#include "ui/mask_runs.h"

QRegion RegionFromMask(const QImage& mask) {
    const QImage rgb = mask.convertToFormat(QImage::Format_RGB32);
    const std::vector<MaskRun> runs =
        MaskRuns(reinterpret_cast<const uint32_t*>(rgb.constBits()), rgb.width(), rgb.height(),
                 static_cast<int>(rgb.bytesPerLine() / 4));
    // The runs are sorted by row, then by column, are one pixel high and never touch within a
    // row, which is the form setRects takes as it is: no union of thousands of rectangles.
    std::vector<QRect> rects;
    rects.reserve(runs.size());
    for (const MaskRun& run : runs) {
        rects.emplace_back(run.left, run.y, run.right - run.left, 1);
    }
    QRegion region;
    if (!rects.empty()) {
        region.setRects(rects.data(), static_cast<int>(rects.size()));
    }
    return region;
}

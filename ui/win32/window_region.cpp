#include "ui/win32/window_region.h"

#include <cstdint>
#include <cstring>

#include "ui/win32/gdi_objects.h"

std::vector<MaskRun> MaskBitmapRuns(HBITMAP mask) {
    const SIZE size = BitmapSize(mask);
    if (size.cx <= 0 || size.cy <= 0) {
        return {};
    }
    // 32 bits per pixel: each row starts on a pixel boundary.
    BITMAPINFO format = TopDownDibFormat(size.cx, size.cy, 32);
    std::vector<uint32_t> pixels(static_cast<size_t>(size.cx) * static_cast<size_t>(size.cy));
    HDC screen = ::GetDC(nullptr);
    const int rows = ::GetDIBits(screen, mask, 0, static_cast<UINT>(size.cy), pixels.data(),
                                 &format, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    if (rows != size.cy) {
        return {};
    }
    return MaskRuns(pixels.data(), size.cx, size.cy, size.cx);
}

HRGN RegionFromRuns(const std::vector<MaskRun>& runs) {
    if (runs.empty()) {
        return ::CreateRectRgn(0, 0, 0, 0);
    }
    // One call with all rectangles: they never overlap, so the region is exactly their union.
    std::vector<RECT> rects;
    rects.reserve(runs.size());
    RECT bounds{runs.front().left, runs.front().y, runs.front().right, runs.front().y + 1};
    for (const MaskRun& run : runs) {
        rects.push_back(RECT{run.left, run.y, run.right, run.y + 1});
        bounds.left = run.left < bounds.left ? run.left : bounds.left;
        bounds.right = run.right > bounds.right ? run.right : bounds.right;
        bounds.bottom = run.y + 1;
    }
    const size_t rectBytes = rects.size() * sizeof(RECT);
    std::vector<unsigned char> data(sizeof(RGNDATAHEADER) + rectBytes);
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = static_cast<DWORD>(rects.size());
    header->nRgnSize = static_cast<DWORD>(rectBytes);
    header->rcBound = bounds;
    std::memcpy(data.data() + sizeof(RGNDATAHEADER), rects.data(), rectBytes);
    return ::ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()),
                             reinterpret_cast<const RGNDATA*>(data.data()));
}

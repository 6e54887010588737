#pragma once
// Owners of the GDI and USER handles the Win32 window holds, each released by its own call, and
// the selection of an object into a device context for as long as a scope lasts.

#include <windows.h>

#include <memory>
#include <type_traits>

struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
struct MemoryDcDeleter {
    void operator()(HDC dc) const { ::DeleteDC(dc); }
};
struct IconDeleter {
    void operator()(HICON icon) const { ::DestroyIcon(icon); }
};

using BitmapHandle = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;
using RegionHandle = std::unique_ptr<std::remove_pointer_t<HRGN>, GdiObjectDeleter>;
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, MemoryDcDeleter>;
using IconHandle = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

// `object` selected into `dc` until the end of the scope, then the previous object again.
class ScopedSelection {
public:
    ScopedSelection(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(::SelectObject(dc, object)) {}
    ~ScopedSelection() { ::SelectObject(m_dc, m_previous); }
    ScopedSelection(const ScopedSelection&) = delete;
    ScopedSelection& operator=(const ScopedSelection&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

// The format of a device-independent bitmap of `width` x `height` pixels at `bitsPerPixel`
// (24 or 32, no palette), its top row first.
inline BITMAPINFO TopDownDibFormat(int width, int height, WORD bitsPerPixel) {
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = bitsPerPixel;
    format.bmiHeader.biCompression = BI_RGB;
    return format;
}

// A bitmap resource of the executable (ui/resource_ids.h), null when it is missing. As a DIB
// section its pixels keep their colours exactly, whatever the screen's depth.
inline BitmapHandle LoadBitmapResource(int id) {
    return BitmapHandle(
        static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                          IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

// The bitmap's width and height in pixels; 0 x 0 for a null bitmap.
inline SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP description{};
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof description, &description) == 0) {
        return SIZE{0, 0};
    }
    return SIZE{description.bmWidth, description.bmHeight};
}

// Copies all of `bitmap` to (x, y) of `dc`, at its own size, or its left `width` columns.
inline void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y, int width = -1) {
    const SIZE size = BitmapSize(bitmap);
    const int columns = width < 0 ? size.cx : width;
    if (columns <= 0 || size.cy <= 0) {
        return;
    }
    MemoryDc source(::CreateCompatibleDC(dc));
    const ScopedSelection selected(source.get(), bitmap);
    ::BitBlt(dc, x, y, columns, size.cy, source.get(), 0, 0, SRCCOPY);
}

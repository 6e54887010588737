#pragma once
// The main window's template (dialog 102): its size and its three controls in dialog units, the
// conversion of dialog units to pixels, and the rule by which a layout pass rescales a control.
// Both windows lay themselves out by it: the Qt window from these numbers, the Win32 window from
// the same template compiled into its resources.

// A rectangle in pixels; the right and bottom edges are exclusive.
struct PixelRect {
    int left;
    int top;
    int right;
    int bottom;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const PixelRect& other) const {
        return left == other.left && top == other.top && right == other.right &&
               bottom == other.bottom;
    }
};

// One control of the template: its id and its rectangle in dialog units.
struct DialogItem {
    int id;
    int x;
    int y;
    int width;
    int height;
};

// The window, in dialog units.
inline constexpr int kTemplateWidthDu = 563;
inline constexpr int kTemplateHeightDu = 375;

// Status line (centred), bitmap progress bar, percentage label (centred).
inline constexpr DialogItem kStatusLineItem{1001, 197, 314, 278, 16};
inline constexpr DialogItem kProgressItem{1004, 197, 302, 278, 11};
inline constexpr DialogItem kPercentLabelItem{1009, 478, 298, 37, 23};

// The pixel size of the template font's average character ("MS Shell Dlg" at 9 points on a
// 96 dpi screen): a dialog unit is a quarter of its width and an eighth of its height. The final
// layout does not depend on it (see ScaleLayoutRect), only the start.
inline constexpr int kDialogBaseUnitX = 7;
inline constexpr int kDialogBaseUnitY = 15;

// A rectangle in dialog units converted to pixels with the base units above, each edge rounded
// to the nearest pixel.
PixelRect DialogUnitsToPixels(int x, int y, int width, int height);

// The control's template rectangle in pixels.
PixelRect DialogItemPixels(const DialogItem& item);

// One control's rectangle after a layout pass from a window of fromWidth x fromHeight to one of
// toWidth x toHeight: each edge times the ratio of the sizes, in single precision, truncated
// toward zero. The `from` sizes must not be 0.
PixelRect ScaleLayoutRect(const PixelRect& rect, int fromWidth, int fromHeight, int toWidth,
                          int toHeight);

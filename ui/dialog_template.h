#pragma once
// The main window's template: its size and its three controls in dialog units, as the window is
// laid out before its first layout pass, and the conversion of dialog units to pixels.

#include <QRect>

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
// layout does not depend on it (see CZorvDownloaderDlg::ScaleChildControls), only the start.
inline constexpr int kDialogBaseUnitX = 7;
inline constexpr int kDialogBaseUnitY = 15;

// A rectangle in dialog units converted to pixels, each edge rounded to the nearest pixel.
QRect DialogUnitsToPixels(int x, int y, int width, int height);

// The control's template rectangle in pixels.
QRect DialogItemPixels(const DialogItem& item);

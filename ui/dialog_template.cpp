#include "ui/dialog_template.h"

namespace {

// value * numerator / denominator, rounded half away from zero (the operands are never negative).
int ScaleRounded(int value, int numerator, int denominator) {
    return (value * numerator + denominator / 2) / denominator;
}

int HorizontalPixels(int du) {
    return ScaleRounded(du, kDialogBaseUnitX, 4);
}
int VerticalPixels(int du) {
    return ScaleRounded(du, kDialogBaseUnitY, 8);
}

int ScaledEdge(int edge, float factor) {
    return static_cast<int>(static_cast<float>(edge) * factor);
}

}  // namespace

PixelRect DialogUnitsToPixels(int x, int y, int width, int height) {
    return PixelRect{HorizontalPixels(x), VerticalPixels(y), HorizontalPixels(x + width),
                     VerticalPixels(y + height)};
}

PixelRect DialogItemPixels(const DialogItem& item) {
    return DialogUnitsToPixels(item.x, item.y, item.width, item.height);
}

PixelRect ScaleLayoutRect(const PixelRect& rect, int fromWidth, int fromHeight, int toWidth,
                          int toHeight) {
    const float sx = static_cast<float>(toWidth) / static_cast<float>(fromWidth);
    const float sy = static_cast<float>(toHeight) / static_cast<float>(fromHeight);
    return PixelRect{ScaledEdge(rect.left, sx), ScaledEdge(rect.top, sy),
                     ScaledEdge(rect.right, sx), ScaledEdge(rect.bottom, sy)};
}

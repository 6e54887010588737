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

}  // namespace

QRect DialogUnitsToPixels(int x, int y, int width, int height) {
    const int left = HorizontalPixels(x);
    const int top = VerticalPixels(y);
    return QRect(left, top, HorizontalPixels(x + width) - left, VerticalPixels(y + height) - top);
}

QRect DialogItemPixels(const DialogItem& item) {
    return DialogUnitsToPixels(item.x, item.y, item.width, item.height);
}

#pragma once
// Small helpers for looking at the window off screen.

#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QRegion>
#include <QWidget>

namespace tolbe_test {

// What the widget paints, children included, as 32-bit RGB.
inline QImage Grab(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The part of the widget that its shape lets through (no mask: all of it).
inline QRegion VisibleRegion(const QWidget& widget) {
    return widget.mask().isEmpty() ? QRegion(widget.rect()) : widget.mask() & widget.rect();
}

// The message box that is open now, if any.
inline QMessageBox* OpenMessageBox() {
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

}  // namespace tolbe_test

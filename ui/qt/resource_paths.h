#pragma once
// Where the Qt window finds its pictures: embedded by qt_add_resources under their resource
// numbers (ui/resource_ids.h), the icon below /icon, the bitmaps below /bitmap.

#include <QString>

#include "ui/resource_ids.h"

inline QString BitmapResource(int id) {
    return QStringLiteral(":/bitmap/%1").arg(id);
}

inline QString IconResource() {
    return QStringLiteral(":/icon/%1").arg(IDR_MAINFRAME);
}

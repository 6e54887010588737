#pragma once
// The Qt window's shape, cut from a mask picture.

#include <QImage>
#include <QRegion>

// The region made of exactly the pixels of `mask` that are not pure black (red, green and blue
// all 0; any other colour, however dark, belongs to it), in the mask's own coordinates: one
// rectangle one pixel high per run of a row (ui/mask_runs.h). A mask without a non-black pixel
// gives an empty region. Works for any image format Qt can convert to RGB32.
QRegion RegionFromMask(const QImage& mask);

#pragma once
// The Win32 window's shape, cut from a mask bitmap.

#include <windows.h>

#include <vector>

#include "ui/mask_runs.h"

// The runs of the non-black pixels of `mask` (ui/mask_runs.h), read from its bits, so that only
// an exactly black pixel (red, green and blue all 0) lies outside. None for a null bitmap.
std::vector<MaskRun> MaskBitmapRuns(HBITMAP mask);

// A region made of one rectangle one pixel high per run; an empty region for no runs. The caller
// owns it (SetWindowRgn takes it over).
HRGN RegionFromRuns(const std::vector<MaskRun>& runs);

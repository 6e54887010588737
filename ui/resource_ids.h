#pragma once
// Where the window's pictures live in the executable's resources, under their resource numbers.
// The files and the script that draws them are in resources/.

// Icon 128: the application's icon, for the window and the taskbar.
inline constexpr char kIconResource[] = ":/icon/128";
// Bitmap 131: the window's face, 980 x 650, drawn unscaled from the top-left corner.
inline constexpr char kFaceBitmap[] = ":/bitmap/131";
// Bitmap 132: the window's shape, 980 x 650; pure black pixels lie outside the window.
inline constexpr char kMaskBitmap[] = ":/bitmap/132";
// Bitmaps 133 and 134: the progress bar's empty and filled tracks, 488 x 12.
inline constexpr char kBarBackBitmap[] = ":/bitmap/133";
inline constexpr char kBarForeBitmap[] = ":/bitmap/134";

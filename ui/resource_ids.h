#pragma once
// The numbers of the window's resources and controls, shared by both windows and by the Win32
// resource script (win32/tolbe_launcher.rc), which is why they are macros. The pictures and the
// program that draws them are in resources/.

// Dialog 102: the main window's template (its numbers in dialog_template.h).
#define IDD_ZORVDOWNLOADER_DIALOG 102
// Icon 128: the application's icon, for the window, the taskbar and the executable.
#define IDR_MAINFRAME 128
// Bitmap 131: the window's face, 980 x 650, drawn unscaled from the top-left corner.
#define IDB_FACE 131
// Bitmap 132: the window's shape, 980 x 650; pure black pixels lie outside the window.
#define IDB_MASK 132
// Bitmaps 133 and 134: the progress bar's empty and filled tracks, 488 x 12.
#define IDB_BAR_BACK 133
#define IDB_BAR_FORE 134

// The three controls: the status line, the bitmap progress bar, the percentage label.
#define IDC_STATUS_LINE 1001
#define IDC_PROGRESS 1004
#define IDC_PERCENT_LABEL 1009

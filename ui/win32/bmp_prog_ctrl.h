#pragma once
// A progress bar drawn from two pictures on Win32: an empty track, and over it the filled track
// cut to the current fraction. It takes over a static control of the dialog and paints it
// entirely from its pictures; like every static control it lets mouse input through to the
// window beneath.

#include <windows.h>

#include "ui/bar_rule.h"
#include "ui/win32/gdi_objects.h"

class CBmpProgCtrl {
public:
    CBmpProgCtrl() = default;
    ~CBmpProgCtrl();
    CBmpProgCtrl(const CBmpProgCtrl&) = delete;
    CBmpProgCtrl& operator=(const CBmpProgCtrl&) = delete;

    // Takes over `control` (a static control): from now on this object paints it. The control
    // must outlive neither this object nor the dialog; it is let go when it is destroyed.
    void SubclassControl(HWND control);

    // Gives the bar its pictures: `back` the empty track (m_bmpBack), `fore` the filled track
    // (m_bmpFore), both owned by the bar from now on and drawn at their own size.
    void SetBitmaps(BitmapHandle back, BitmapHandle fore);

    // Sets the range; `lower` must differ from `upper`. The bar starts with 1..100.
    void SetRange(int lower, int upper) { m_rule.SetRange(lower, upper); }

    // Nothing without the control. Otherwise stores `value` as the position when
    // lower <= value <= upper and leaves it as it was otherwise, then steps once (StepIt): with
    // the range 0..100 a value v shows v + 1 (at most 100), a value out of range one step more.
    void SetPos(int value);

    // Adds the step (1) to the position, capped at the upper end, and invalidates the bar from
    // the end of the fill as last painted to its right edge, with erasing. Returns 1 when the
    // position stayed within the range, 0 when it was capped.
    int StepIt();

    // Back to position 0 without a step, and the whole bar invalidated with erasing; nothing
    // without the control.
    void Reset();

    int GetPos() const { return m_rule.pos(); }
    HWND GetSafeHwnd() const { return m_hwnd; }

private:
    static LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR id, DWORD_PTR self);
    // Draws the empty track at (0, 0) and the left (int)(fore width x fraction) columns of the
    // filled track at (2, 2), the fraction being position / (upper - lower).
    void OnPaint();
    // The window's face under the bar, so that what the strips leave uncovered shows it.
    void OnEraseBkgnd(HDC dc);

    HWND m_hwnd = nullptr;
    BarRule m_rule;       // range, position, step and the fill fraction of the last paint
    RECT m_clientRect{};  // client area at the last paint
    BitmapHandle m_bmpBack;
    BitmapHandle m_bmpFore;
};

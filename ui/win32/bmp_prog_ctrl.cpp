#include "ui/win32/bmp_prog_ctrl.h"

#include <commctrl.h>

namespace {

// Where the filled track stands relative to the empty one.
constexpr int kFillOffsetX = 2;
constexpr int kFillOffsetY = 2;

// The subclass's id among others a control may carry.
constexpr UINT_PTR kSubclassId = 1004;

}  // namespace

CBmpProgCtrl::~CBmpProgCtrl() {
    if (m_hwnd != nullptr) {
        ::RemoveWindowSubclass(m_hwnd, ControlProc, kSubclassId);
    }
}

void CBmpProgCtrl::SubclassControl(HWND control) {
    if (control != nullptr &&
        ::SetWindowSubclass(control, ControlProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        m_hwnd = control;
    }
}

void CBmpProgCtrl::SetBitmaps(BitmapHandle back, BitmapHandle fore) {
    m_bmpBack = std::move(back);
    m_bmpFore = std::move(fore);
    if (m_hwnd != nullptr) {
        ::InvalidateRect(m_hwnd, nullptr, TRUE);
    }
}

void CBmpProgCtrl::SetPos(int value) {
    if (m_hwnd == nullptr) {
        return;
    }
    m_rule.Store(value);
    StepIt();
}

int CBmpProgCtrl::StepIt() {
    // The fill only grows between resets, so only the part right of its last painted end can
    // change.
    RECT strip = m_clientRect;
    strip.left = m_rule.LastFillEnd(m_clientRect.right - m_clientRect.left);
    const bool withinRange = m_rule.Advance();
    if (m_hwnd != nullptr) {
        ::InvalidateRect(m_hwnd, &strip, TRUE);
    }
    return withinRange ? 1 : 0;
}

void CBmpProgCtrl::Reset() {
    if (m_hwnd == nullptr) {
        return;
    }
    m_rule.Reset();
    ::InvalidateRect(m_hwnd, nullptr, TRUE);
}

void CBmpProgCtrl::OnPaint() {
    m_rule.TakePaintRatio();
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hwnd, &paint);
    ::GetClientRect(m_hwnd, &m_clientRect);
    DrawBitmap(dc, m_bmpBack.get(), 0, 0);
    const int fillWidth = m_rule.FillColumns(BitmapSize(m_bmpFore.get()).cx);
    if (fillWidth > 0) {
        DrawBitmap(dc, m_bmpFore.get(), kFillOffsetX, kFillOffsetY, fillWidth);
    }
    ::EndPaint(m_hwnd, &paint);
}

void CBmpProgCtrl::OnEraseBkgnd(HDC dc) {
    // The dialog draws its face into the bar's context, moved so that the dialog's origin falls
    // on the right place; the context clips it to the bar.
    HWND dialog = ::GetParent(m_hwnd);
    POINT origin{0, 0};
    ::MapWindowPoints(m_hwnd, dialog, &origin, 1);
    POINT previous;
    ::OffsetViewportOrgEx(dc, -origin.x, -origin.y, &previous);
    ::SendMessageW(dialog, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    ::SetViewportOrgEx(dc, previous.x, previous.y, nullptr);
}

LRESULT CALLBACK CBmpProgCtrl::ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR self) {
    auto* bar = reinterpret_cast<CBmpProgCtrl*>(self);
    switch (message) {
        case WM_PAINT:
            bar->OnPaint();
            return 0;
        case WM_ERASEBKGND:
            bar->OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
            return 1;
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(hwnd, ControlProc, kSubclassId);
            bar->m_hwnd = nullptr;
            break;
        default:
            break;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

#pragma once
// The launcher's one window on Win32: a dialog from template 102 cut to the shape of mask 132,
// its face 131 behind a status line, the bitmap progress bar and a percentage label, driven by
// the install flow through timer 1 at 200 ms. It is the flow's view.

#include <windows.h>
// windows.h names the Win32 call MessageBoxW "MessageBox", which is FlowView's operation here.
#undef MessageBox

#include <atomic>
#include <string>
#include <vector>

#include "app/flow_driver.h"
#include "app/flow_view.h"
#include "ui/win32/bmp_prog_ctrl.h"
#include "ui/win32/gdi_objects.h"

class CZorvDownloaderDlg : public FlowView {
public:
    // Prepares the window around `flow`, which must outlive it: the tips, icon 128 and the face
    // are loaded from the executable's resources; nothing is created or shown yet.
    explicit CZorvDownloaderDlg(FlowDriver& flow);
    ~CZorvDownloaderDlg() override;
    CZorvDownloaderDlg(const CZorvDownloaderDlg&) = delete;
    CZorvDownloaderDlg& operator=(const CZorvDownloaderDlg&) = delete;

    // Creates the window from template 102, initialises it (OnInitDialog), shows it and runs its
    // modal loop until EndDialog; the timer and the window go with the loop. Returns the result
    // given to EndDialog, or -1 when the window could not be created.
    int DoModal();

    // The window while the modal loop runs; null before and after.
    HWND GetSafeHwnd() const { return m_hwnd; }

    // FlowView: the status line, the percentage label, the bar, message boxes, the end of the
    // modal loop, the download thread's failure box and the tips (contracts in app/flow_view.h).
    void SetStatusText(const std::wstring& text) override;
    void SetPercentText(const std::wstring& text) override;
    void SetProgressPos(int value) override;
    void ResetProgressDisplay() override;
    int MessageBox(const std::wstring& text, const std::wstring& caption, unsigned flags) override;
    void EndDialog(int result) override;
    void ShowNetworkFailure(const std::wstring& text) override;
    const std::vector<std::wstring>& Tips() const override;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // The window's initialisation: lays the controls out for the screen, then for the window's
    // final size, shapes it from mask 132 and places it at (0, 0) at 980 x 650, gives the bar
    // its strips and the range 0..100, sets the fonts and the icon, starts the flow (flow.Start)
    // and timer 1, whose ticks call flow.Tick.
    void OnInitDialog();
    // Cuts the window to exactly the non-black pixels of `mask` (all black: nothing of it is
    // visible), then places it at (0, 0) of the screen at the mask's size, at the top of the
    // z-order, which lays the controls out for that size.
    void ApplyWindowRegion(HBITMAP mask);
    // Rescales every control from the client size of the previous pass to the current one (see
    // ScaleLayoutRect). Only the initialisation's passes run it: a later size, such as the 0 x 0
    // of a minimised window, moves no control.
    void ScaleChildControls();
    // The face, unscaled from the top-left corner of `dc`.
    void OnEraseBkgnd(HDC dc);
    // White letters for the two texts, no background for any control: the face shows through.
    HBRUSH OnCtlColor(HDC dc, HWND control);
    // The left button drags the window from any point of its face, controls included.
    void OnLButtonDown(LPARAM point);
    // The icon, when the window is minimised; otherwise the dialog's own painting.
    bool OnPaint();
    void OnTimer();
    // Escape ends the window once the flow is finished; Enter never does.
    void OnCommand(WORD id);
    // Ends the window with 0 when the flow is finished; tells whether it did.
    bool CloseIfFinished();
    // Hides the control, sets its text and shows it again, so that the window repaints its face
    // under it and the new text is not drawn over the old one.
    void RewriteControlText(int id, const std::wstring& text);

    FlowDriver& m_flow;
    HWND m_hwnd = nullptr;
    DWORD m_threadId = 0;            // the thread of the modal loop
    std::atomic<HWND> m_liveHwnd{};  // the window, as other threads may read it
    int m_clientWidth = 0;           // client size at the previous layout pass
    int m_clientHeight = 0;
    bool m_laying = false;  // the initialisation's layout passes are running
    IconHandle m_hIcon;
    IconHandle m_hSmallIcon;
    BitmapHandle m_face;
    FontHandle m_statusFont;
    FontHandle m_percentFont;
    std::vector<std::wstring> m_tips;
    std::wstring m_statusText;  // the text last put into the status line
    CBmpProgCtrl m_progress;
    bool m_ended = false;
};

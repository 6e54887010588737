#pragma once
// The launcher's one window: a frameless window cut to the shape of its mask picture, its face
// picture behind a status line, the bitmap progress bar and a percentage label, driven by the
// install flow through a 200 ms timer. It is the flow's view.

#include <QDialog>
#include <QFont>
#include <QImage>
#include <QLabel>
#include <QPoint>
#include <string>
#include <vector>

#include "app/flow_driver.h"
#include "app/flow_view.h"
#include "ui/qt/bmp_prog_ctrl.h"

class CZorvDownloaderDlg : public QDialog, public FlowView {
public:
    // Builds the window around `flow`, which must outlive it, at its template size with the
    // controls at their template places, the tips filled and the pictures loaded; nothing is
    // shown and the flow is not started yet. Needs a QApplication.
    explicit CZorvDownloaderDlg(FlowDriver& flow);
    ~CZorvDownloaderDlg() override;

    // Initialises the window (OnInitDialog), then shows it and runs its modal loop until
    // EndDialog; the timer stops with the loop. Returns the result given to EndDialog.
    int DoModal();

    // The window's initialisation: lays the controls out for the screen, then for the window's
    // final size, shapes it from mask 132 and places it at (0, 0) at 980 x 650, a size that is
    // fixed from then on, gives the bar its strips and the range 0..100, sets the fonts, starts
    // the flow (flow.Start) and starts the 200 ms timer whose ticks call flow.Tick. Call it once,
    // before showing the window. The controls keep the places of this layout: a size that a
    // window manager forces on the window anyway moves none of them off the face.
    void OnInitDialog();

    // Cuts the window to exactly the non-black pixels of `mask` (all black: nothing of the window
    // is visible), then places it at (0, 0) of the screen at the mask's size, fixed (minimum and
    // maximum size alike), on top of the z-order, and lays the controls out for that size. A null
    // mask fixes the window at the size it has.
    void ApplyWindowRegion(const QImage& mask);

    // Rescales every control from the window size of the previous pass to the current one: each
    // edge times the ratio of the sizes, in single precision, truncated toward zero. Only the
    // initialisation's layout passes call it; a later change of size does not.
    void ScaleChildControls();

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

protected:
    // The face, unscaled from the top-left corner; the controls draw over it without background.
    void paintEvent(QPaintEvent* event) override;
    // Escape and Alt+F4 end the window only once the flow is finished; Enter never does.
    void keyPressEvent(QKeyEvent* event) override;
    // A request to close the window (the window manager's Alt+F4 or close) is refused while the
    // flow runs and ends the window once it is finished.
    void closeEvent(QCloseEvent* event) override;
    // The left button drags the window from any point of its face, controls included.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    // One tick of the flow.
    void OnTimer();
    // Ends the window with 0 when the flow is finished; tells whether it did.
    bool CloseIfFinished();

    FlowDriver& m_flow;
    int m_clientWidth = 0;  // window size at the previous layout pass
    int m_clientHeight = 0;
    QImage m_face;
    std::vector<std::wstring> m_tips;
    QFont m_statusFont;
    QFont m_percentFont;
    QLabel m_percentLabel;
    std::wstring m_statusText;  // the text last put into the status line
    CBmpProgCtrl m_progress;
    QLabel m_statusLine;

    int m_timerId = 0;
    bool m_tickPosted = false;
    bool m_ended = false;
    int m_endResult = 0;
    bool m_dragging = false;
    QPoint m_dragOffset;  // cursor position minus window position while dragging by hand
};

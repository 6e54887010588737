#include "ui/win32/zorv_downloader_dlg.h"

#include <windowsx.h>
#undef MessageBox

#include <cwchar>

#include "platform/show_request.h"
#include "ui/dialog_template.h"
#include "ui/launcher_tips.h"
#include "ui/resource_ids.h"
#include "ui/win32/window_region.h"
#include "ui/window_texts.h"

namespace {

// Timer 1 steps the flow.
constexpr UINT_PTR kTickTimerId = 1;

// Asks the window's thread to show the download thread's failure box; lParam points at the text.
constexpr UINT kShowNetworkFailureMessage = WM_APP + 1;
// While the window's thread answers messages the download thread waits for the box however
// long it takes; once that thread has stopped answering for this long, it waits no more.
constexpr UINT kNetworkFailureGiveUpMs = 10000;

constexpr COLORREF kTextColour = RGB(255, 255, 255);

// A font of `tenthsOfPoint` tenths of a point on the screen, all else at its defaults, as a
// point-size font is made: the height is the screen's pixels per inch times the size, truncated.
// The character set is the default one, so that a missing face is replaced by a font that has
// the text's glyphs.
FontHandle PointFont(const wchar_t* face, int tenthsOfPoint) {
    LOGFONTW font{};
    HDC screen = ::GetDC(nullptr);
    font.lfHeight = -(::GetDeviceCaps(screen, LOGPIXELSY) * tenthsOfPoint / 720);
    ::ReleaseDC(nullptr, screen);
    font.lfCharSet = DEFAULT_CHARSET;
    std::wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    return FontHandle(::CreateFontIndirectW(&font));
}

IconHandle LoadIconResource(int id, int systemMetricX, int systemMetricY) {
    return IconHandle(static_cast<HICON>(::LoadImageW(
        ::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON,
        ::GetSystemMetrics(systemMetricX), ::GetSystemMetrics(systemMetricY), LR_DEFAULTCOLOR)));
}

// The running program's name, as the caption of the boxes it shows for itself: its file name
// without folder and extension ("tolbe-launcher", or "vasktolbe" for the launcher copy).
std::wstring ApplicationName() {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path, length);
    const size_t folderEnd = name.find_last_of(L"\\/");
    if (folderEnd != std::wstring::npos) {
        name.erase(0, folderEnd + 1);
    }
    const size_t extension = name.rfind(L'.');
    if (extension != std::wstring::npos && extension > 0) {
        name.erase(extension);
    }
    return name;
}

void ShowNetworkFailureBox(HWND owner, const std::wstring& text) {
    ::MessageBoxW(owner, text.c_str(), ApplicationName().c_str(), MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

CZorvDownloaderDlg::CZorvDownloaderDlg(FlowDriver& flow)
    : m_flow(flow),
      m_hIcon(LoadIconResource(IDR_MAINFRAME, SM_CXICON, SM_CYICON)),
      m_hSmallIcon(LoadIconResource(IDR_MAINFRAME, SM_CXSMICON, SM_CYSMICON)),
      m_face(LoadBitmapResource(IDB_FACE)),
      m_tips(LauncherTips()) {}

CZorvDownloaderDlg::~CZorvDownloaderDlg() = default;

int CZorvDownloaderDlg::DoModal() {
    m_threadId = ::GetCurrentThreadId();
    m_ended = false;
    const INT_PTR result =
        ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ZORVDOWNLOADER_DIALOG),
                          nullptr, DialogProc, reinterpret_cast<LPARAM>(this));
    return static_cast<int>(result);
}

INT_PTR CALLBACK CZorvDownloaderDlg::DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    CZorvDownloaderDlg* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CZorvDownloaderDlg*>(lParam);
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        self->m_hwnd = hwnd;
        self->m_liveHwnd = hwnd;
    } else {
        self = reinterpret_cast<CZorvDownloaderDlg*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    // Messages before WM_INITDIALOG (the template's font, the first size) take the defaults.
    return self != nullptr ? self->HandleMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CZorvDownloaderDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            return TRUE;
        case WM_ERASEBKGND:
            OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
            ::SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, TRUE);
            return TRUE;
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<INT_PTR>(
                OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
        case WM_PAINT:
            return OnPaint() ? TRUE : FALSE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(m_hIcon.get());
        case WM_LBUTTONDOWN:
            OnLButtonDown(lParam);
            return FALSE;
        case WM_TIMER:
            if (wParam == kTickTimerId) {
                OnTimer();
                return TRUE;
            }
            return FALSE;
        case WM_SIZE:
            if (m_laying && wParam != SIZE_MINIMIZED) {
                ScaleChildControls();
            }
            return FALSE;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            // Alt+F4 and the taskbar's close.
            CloseIfFinished();
            return TRUE;
        case kShowNetworkFailureMessage:
            ShowNetworkFailureBox(m_hwnd, *reinterpret_cast<const std::wstring*>(lParam));
            return TRUE;
        case WM_DESTROY:
            ::KillTimer(m_hwnd, kTickTimerId);
            m_liveHwnd = nullptr;
            return FALSE;
        case WM_NCDESTROY:
            m_hwnd = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}

void CZorvDownloaderDlg::OnInitDialog() {
    // First layout pass: from the template's size to the screen's width and the work area's
    // height, as the window would open without its picture.
    m_laying = true;
    RECT client;
    ::GetClientRect(m_hwnd, &client);
    m_clientWidth = client.right;
    m_clientHeight = client.bottom;
    RECT workArea;
    if (::SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0)) {
        ::MoveWindow(m_hwnd, 0, 0, ::GetSystemMetrics(SM_CXFULLSCREEN), workArea.bottom, TRUE);
    }

    ::SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon.get()));
    ::SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon.get()));

    m_progress.SubclassControl(::GetDlgItem(m_hwnd, IDC_PROGRESS));
    m_progress.SetBitmaps(LoadBitmapResource(IDB_BAR_BACK), LoadBitmapResource(IDB_BAR_FORE));
    m_progress.SetRange(kProgressLower, kProgressUpper);

    const int tenths = kTextFontPoints * 10;
    m_statusFont = PointFont(kTextFontFamily, tenths);
    m_percentFont = PointFont(kTextFontFamily, tenths);
    ::SendDlgItemMessageW(m_hwnd, IDC_STATUS_LINE, WM_SETFONT,
                          reinterpret_cast<WPARAM>(m_statusFont.get()), TRUE);
    ::SendDlgItemMessageW(m_hwnd, IDC_PERCENT_LABEL, WM_SETFONT,
                          reinterpret_cast<WPARAM>(m_percentFont.get()), TRUE);

    // Second pass: the shape, and the mask's size for the window.
    const BitmapHandle mask = LoadBitmapResource(IDB_MASK);
    ApplyWindowRegion(mask.get());
    m_laying = false;

    m_flow.Start(*this);
    if (!m_ended) {
        ::SetTimer(m_hwnd, kTickTimerId, kTickIntervalMs, nullptr);
    }
}

void CZorvDownloaderDlg::ApplyWindowRegion(HBITMAP mask) {
    const SIZE size = BitmapSize(mask);
    if (size.cx <= 0 || size.cy <= 0) {
        return;  // no picture: the window keeps its size and has no shape
    }
    // The window owns the region from here on.
    ::SetWindowRgn(m_hwnd, RegionFromRuns(MaskBitmapRuns(mask)), TRUE);
    ::SetWindowPos(m_hwnd, HWND_TOP, 0, 0, size.cx, size.cy, 0);
}

void CZorvDownloaderDlg::ScaleChildControls() {
    RECT client;
    ::GetClientRect(m_hwnd, &client);
    const int width = client.right;
    const int height = client.bottom;
    if (m_clientWidth > 0 && m_clientHeight > 0) {
        for (HWND child = ::GetWindow(m_hwnd, GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            RECT r;
            ::GetWindowRect(child, &r);
            ::MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&r), 2);
            const PixelRect scaled = ScaleLayoutRect(PixelRect{r.left, r.top, r.right, r.bottom},
                                                     m_clientWidth, m_clientHeight, width, height);
            ::MoveWindow(child, scaled.left, scaled.top, scaled.width(), scaled.height(), TRUE);
        }
    }
    m_clientWidth = width;
    m_clientHeight = height;
}

void CZorvDownloaderDlg::OnEraseBkgnd(HDC dc) {
    DrawBitmap(dc, m_face.get(), 0, 0);
}

HBRUSH CZorvDownloaderDlg::OnCtlColor(HDC dc, HWND control) {
    const int id = ::GetDlgCtrlID(control);
    if (id == IDC_STATUS_LINE || id == IDC_PERCENT_LABEL) {
        ::SetTextColor(dc, kTextColour);
    }
    ::SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(::GetStockObject(HOLLOW_BRUSH));
}

void CZorvDownloaderDlg::OnLButtonDown(LPARAM point) {
    // The window then moves with the mouse as if its caption were dragged. The static controls
    // let clicks through to the window, so this holds over them too.
    POINT onScreen{GET_X_LPARAM(point), GET_Y_LPARAM(point)};
    ::ClientToScreen(m_hwnd, &onScreen);
    ::PostMessageW(m_hwnd, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(onScreen.x, onScreen.y));
}

bool CZorvDownloaderDlg::OnPaint() {
    if (!::IsIconic(m_hwnd)) {
        return false;
    }
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hwnd, &paint);
    ::SendMessageW(m_hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(m_hwnd, &client);
    const int x = (client.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon.get());
    ::EndPaint(m_hwnd, &paint);
    return true;
}

void CZorvDownloaderDlg::OnTimer() {
    // A launcher started again while this one runs asked for this window.
    if (platform::TakeShowRequest()) {
        ::ShowWindow(m_hwnd, SW_RESTORE);
        ::SetForegroundWindow(m_hwnd);
    }
    m_flow.Tick();
}

void CZorvDownloaderDlg::OnCommand(WORD id) {
    // The dialog manager turns Escape into IDCANCEL and Enter into IDOK.
    if (id == IDCANCEL) {
        CloseIfFinished();
    }
}

bool CZorvDownloaderDlg::CloseIfFinished() {
    if (!m_flow.IsFinished()) {
        return false;
    }
    EndDialog(0);
    return true;
}

void CZorvDownloaderDlg::RewriteControlText(int id, const std::wstring& text) {
    HWND control = m_hwnd != nullptr ? ::GetDlgItem(m_hwnd, id) : nullptr;
    if (control == nullptr) {
        return;
    }
    ::ShowWindow(control, SW_HIDE);
    ::SetWindowTextW(control, text.c_str());
    ::ShowWindow(control, SW_SHOW);
}

void CZorvDownloaderDlg::SetStatusText(const std::wstring& text) {
    if (text == m_statusText) {
        return;
    }
    m_statusText = text;
    RewriteControlText(IDC_STATUS_LINE, text);
}

void CZorvDownloaderDlg::SetPercentText(const std::wstring& text) {
    RewriteControlText(IDC_PERCENT_LABEL, text);
}

void CZorvDownloaderDlg::SetProgressPos(int value) {
    m_progress.SetPos(value);
}

void CZorvDownloaderDlg::ResetProgressDisplay() {
    m_progress.Reset();
    SetPercentText(kZeroPercentText);
}

int CZorvDownloaderDlg::MessageBox(const std::wstring& text, const std::wstring& caption,
                                   unsigned flags) {
    const int answer = ::MessageBoxW(m_hwnd, text.c_str(), caption.c_str(), flags);
    // Escape closes a box with OK alone as OK on Windows; Wine answers IDCANCEL, a button the
    // box does not have.
    if ((flags & MB_TYPEMASK) == MB_OK && answer == IDCANCEL) {
        return IDOK;
    }
    return answer;
}

void CZorvDownloaderDlg::EndDialog(int result) {
    m_ended = true;
    if (m_hwnd != nullptr) {
        ::EndDialog(m_hwnd, result);
    }
}

void CZorvDownloaderDlg::ShowNetworkFailure(const std::wstring& text) {
    if (::GetCurrentThreadId() == m_threadId) {
        ShowNetworkFailureBox(m_hwnd, text);
        return;
    }
    HWND window = m_liveHwnd.load();
    if (window == nullptr) {
        return;
    }
    // The window's thread shows the box from its message loop (or the loop of a box it has
    // open); this thread waits for the answer. A window gone meanwhile returns at once.
    DWORD_PTR answer = 0;
    ::SendMessageTimeoutW(window, kShowNetworkFailureMessage, 0, reinterpret_cast<LPARAM>(&text),
                          SMTO_NOTIMEOUTIFNOTHUNG, kNetworkFailureGiveUpMs, &answer);
}

const std::vector<std::wstring>& CZorvDownloaderDlg::Tips() const {
    return m_tips;
}

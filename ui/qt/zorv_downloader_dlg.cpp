#include "ui/qt/zorv_downloader_dlg.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QThread>
#include <QTimerEvent>
#include <QWindow>

#include "platform/show_request.h"
#include "ui/dialog_template.h"
#include "ui/launcher_tips.h"
#include "ui/qt/message_box_style.h"
#include "ui/qt/resource_paths.h"
#include "ui/qt/window_region.h"
#include "ui/window_texts.h"

namespace {

// A frameless window of its own (with a taskbar entry) that may be minimised but offers no
// maximise: its face and shape have one size. (Qt::CustomizeWindowHint would give it a frame on
// X11 window managers again.)
constexpr Qt::WindowFlags kWindowFlags =
    Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint;

// To Qt an empty mask region means "no mask". A mask holding one pixel outside the window keeps
// the whole window hidden instead, as a mask without a non-black pixel asks.
const QRect kOutsideTheWindow(-1, -1, 1, 1);

QFont TextFont() {
    return QFont(QString::fromWCharArray(kTextFontFamily), kTextFontPoints);
}

QRect ToQRect(const PixelRect& r) {
    return QRect(r.left, r.top, r.width(), r.height());
}

// Static text of the window: no mouse input (clicks reach the window and drag it), white
// letters, no background of its own so that the face shows through.
void StyleTextControl(QLabel& label) {
    label.setAttribute(Qt::WA_TransparentForMouseEvents);
    label.setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label.setTextFormat(Qt::PlainText);
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label.setPalette(palette);
}

}  // namespace

CZorvDownloaderDlg::CZorvDownloaderDlg(FlowDriver& flow)
    : QDialog(nullptr, kWindowFlags),
      m_flow(flow),
      m_face(BitmapResource(IDB_FACE)),
      m_tips(LauncherTips()),
      m_statusFont(TextFont()),
      m_percentFont(TextFont()),
      m_percentLabel(QString::fromWCharArray(kPercentTemplateText), this),
      m_progress(this),
      m_statusLine(this) {
    setWindowTitle(QString());
    setWindowIcon(QIcon(IconResource()));

    const PixelRect templateRect = DialogUnitsToPixels(0, 0, kTemplateWidthDu, kTemplateHeightDu);
    resize(templateRect.width(), templateRect.height());
    m_statusLine.setGeometry(ToQRect(DialogItemPixels(kStatusLineItem)));
    m_progress.setGeometry(ToQRect(DialogItemPixels(kProgressItem)));
    m_percentLabel.setGeometry(ToQRect(DialogItemPixels(kPercentLabelItem)));
    m_statusLine.setObjectName(QStringLiteral("m_statusLine"));
    m_progress.setObjectName(QStringLiteral("m_progress"));
    m_percentLabel.setObjectName(QStringLiteral("m_percentLabel"));
    StyleTextControl(m_statusLine);
    StyleTextControl(m_percentLabel);
}

CZorvDownloaderDlg::~CZorvDownloaderDlg() = default;

int CZorvDownloaderDlg::DoModal() {
    OnInitDialog();
    // The flow may end the window while it starts; the loop would then never be ended.
    const int result = m_ended ? m_endResult : exec();
    killTimer(m_timerId);
    m_timerId = 0;
    return result;
}

void CZorvDownloaderDlg::OnInitDialog() {
    // First layout pass: from the template's size to the screen's width and the work area's
    // height, as the window would open without its picture.
    m_clientWidth = width();
    m_clientHeight = height();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect workArea = screen->availableGeometry();
        setGeometry(0, 0, screen->geometry().width(), workArea.y() + workArea.height());
        ScaleChildControls();
    }

    m_progress.SetBitmaps(QImage(BitmapResource(IDB_BAR_BACK)),
                          QImage(BitmapResource(IDB_BAR_FORE)));
    m_progress.SetRange(kProgressLower, kProgressUpper);
    m_statusLine.setFont(m_statusFont);
    m_percentLabel.setFont(m_percentFont);

    // Second pass: the shape, and the mask's size for the window.
    ApplyWindowRegion(QImage(BitmapResource(IDB_MASK)));

    m_flow.Start(*this);
    m_timerId = startTimer(kTickIntervalMs);
}

void CZorvDownloaderDlg::ApplyWindowRegion(const QImage& mask) {
    if (mask.isNull()) {
        setFixedSize(size());  // no picture: the window keeps its size and has no shape
        return;
    }
    const QRegion region = RegionFromMask(mask);
    setMask(region.isEmpty() ? QRegion(kOutsideTheWindow) : region);
    // Minimum and maximum size alike tell the window manager that the window cannot be resized,
    // maximised or tiled.
    setFixedSize(mask.size());
    move(0, 0);
    raise();
    ScaleChildControls();
}

void CZorvDownloaderDlg::ScaleChildControls() {
    const int width = this->width();
    const int height = this->height();
    if (m_clientWidth > 0 && m_clientHeight > 0) {
        for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->isWindow()) {
                continue;  // an open message box is not a control
            }
            const QRect r = child->geometry();
            const PixelRect edges{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
            child->setGeometry(
                ToQRect(ScaleLayoutRect(edges, m_clientWidth, m_clientHeight, width, height)));
        }
    }
    m_clientWidth = width;
    m_clientHeight = height;
}

void CZorvDownloaderDlg::SetStatusText(const std::wstring& text) {
    if (text == m_statusText) {
        return;
    }
    m_statusText = text;
    // The label has no background: Qt repaints the face under it before the new text.
    m_statusLine.setText(QString::fromStdWString(text));
}

void CZorvDownloaderDlg::SetPercentText(const std::wstring& text) {
    m_percentLabel.setText(QString::fromStdWString(text));
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
    return ShowFlowMessageBox(this, text, caption, flags);
}

void CZorvDownloaderDlg::EndDialog(int result) {
    m_ended = true;
    m_endResult = result;
    done(result);
}

void CZorvDownloaderDlg::ShowNetworkFailure(const std::wstring& text) {
    const auto show = [this, text] {
        const std::wstring caption = QGuiApplication::applicationDisplayName().toStdWString();
        ShowFlowMessageBox(this, text, caption, kMbOk | kMbIconExclamation);
    };
    if (QThread::currentThread() == thread()) {
        show();
        return;
    }
    // Runs on the window's thread as a posted call; this thread waits until the box is answered.
    // Should the window go before the call ran, Qt drops the call and releases this thread.
    QMetaObject::invokeMethod(this, show, Qt::BlockingQueuedConnection);
}

const std::vector<std::wstring>& CZorvDownloaderDlg::Tips() const {
    return m_tips;
}

void CZorvDownloaderDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), m_face);
}

bool CZorvDownloaderDlg::CloseIfFinished() {
    if (!m_flow.IsFinished()) {
        return false;
    }
    EndDialog(0);
    return true;
}

void CZorvDownloaderDlg::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool altF4 = key == Qt::Key_F4 && (event->modifiers() & Qt::AltModifier);
    if (key == Qt::Key_Escape || altF4) {
        CloseIfFinished();
        event->accept();
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CZorvDownloaderDlg::closeEvent(QCloseEvent* event) {
    // EndDialog itself may close the window on its way out.
    if (m_ended || CloseIfFinished()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void CZorvDownloaderDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    // Where the window system can move the window as if its caption were dragged, it does;
    // otherwise the window follows the mouse by hand.
    if (windowHandle() != nullptr && windowHandle()->startSystemMove()) {
        return;
    }
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - pos();
}

void CZorvDownloaderDlg::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - m_dragOffset);
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void CZorvDownloaderDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_dragging = false;
    }
    QDialog::mouseReleaseEvent(event);
}

void CZorvDownloaderDlg::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_timerId) {
        QDialog::timerEvent(event);
        return;
    }
    // Qt does not deliver a timer's event again while its handler is still running, so a tick
    // that opened a message box would stop the ticks until the box closed. The tick therefore
    // runs as a posted call: this handler returns at once, and inside a box's nested loop later
    // timer events post later ticks. At most one tick waits at a time.
    if (m_tickPosted) {
        return;
    }
    m_tickPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_tickPosted = false;
            if (m_timerId != 0) {
                OnTimer();
            }
        },
        Qt::QueuedConnection);
}

void CZorvDownloaderDlg::OnTimer() {
    // A launcher started again while this one runs asked for this window.
    if (platform::TakeShowRequest()) {
        showNormal();
        raise();
        activateWindow();
    }
    m_flow.Tick();
}

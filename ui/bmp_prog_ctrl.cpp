#include "ui/bmp_prog_ctrl.h"

#include <QPainter>

namespace {

// Where the filled track stands relative to the empty one.
constexpr QPoint kFillOffset(2, 2);

}  // namespace

CBmpProgCtrl::CBmpProgCtrl(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CBmpProgCtrl::SetBitmaps(const QImage& back, const QImage& fore) {
    m_bmpBack = back;
    m_bmpFore = fore;
    update();
}

void CBmpProgCtrl::SetRange(int lower, int upper) {
    m_lower = lower;
    m_upper = upper;
}

void CBmpProgCtrl::SetPos(int value) {
    if (m_lower <= value && value <= m_upper) {
        m_pos = value;
    }
    StepIt();
}

int CBmpProgCtrl::StepIt() {
    // The fill only grows between resets, so only the part right of its last painted end can
    // change.
    QRect strip = m_clientRect;
    strip.setLeft(static_cast<int>(static_cast<float>(m_clientRect.width()) * m_ratio));
    m_pos += m_step;
    const bool capped = m_pos > m_upper;
    if (capped) {
        m_pos = m_upper;
    }
    update(strip);
    return capped ? 0 : 1;
}

void CBmpProgCtrl::Reset() {
    m_pos = 0;
    update();
}

void CBmpProgCtrl::paintEvent(QPaintEvent*) {
    m_ratio = static_cast<float>(m_pos) / static_cast<float>(m_upper - m_lower);
    m_clientRect = rect();

    QPainter painter(this);
    if (!m_bmpBack.isNull()) {
        painter.drawImage(QPoint(0, 0), m_bmpBack);
    }
    const int fillWidth = static_cast<int>(static_cast<float>(m_bmpFore.width()) * m_ratio);
    if (!m_bmpFore.isNull() && fillWidth > 0) {
        painter.drawImage(kFillOffset, m_bmpFore, QRect(0, 0, fillWidth, m_bmpFore.height()));
    }
}

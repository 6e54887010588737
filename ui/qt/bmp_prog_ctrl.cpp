#include "ui/qt/bmp_prog_ctrl.h"

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

void CBmpProgCtrl::SetPos(int value) {
    m_rule.Store(value);
    StepIt();
}

int CBmpProgCtrl::StepIt() {
    // The fill only grows between resets, so only the part right of its last painted end can
    // change.
    QRect strip = m_clientRect;
    strip.setLeft(m_rule.LastFillEnd(m_clientRect.width()));
    const bool withinRange = m_rule.Advance();
    update(strip);
    return withinRange ? 1 : 0;
}

void CBmpProgCtrl::Reset() {
    m_rule.Reset();
    update();
}

void CBmpProgCtrl::paintEvent(QPaintEvent*) {
    m_rule.TakePaintRatio();
    m_clientRect = rect();

    QPainter painter(this);
    if (!m_bmpBack.isNull()) {
        painter.drawImage(QPoint(0, 0), m_bmpBack);
    }
    const int fillWidth = m_rule.FillColumns(m_bmpFore.width());
    if (!m_bmpFore.isNull() && fillWidth > 0) {
        painter.drawImage(kFillOffset, m_bmpFore, QRect(0, 0, fillWidth, m_bmpFore.height()));
    }
}

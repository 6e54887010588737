#pragma once
// A progress bar drawn from two pictures: an empty track, and over it the filled track cut to the
// current fraction. It paints itself entirely from them and takes no mouse input.

#include <QImage>
#include <QRect>
#include <QWidget>

#include "ui/bar_rule.h"

class CBmpProgCtrl : public QWidget {
public:
    explicit CBmpProgCtrl(QWidget* parent = nullptr);

    // Gives the bar its pictures: `back` the empty track (m_bmpBack), `fore` the filled track
    // (m_bmpFore). Both are drawn at their own size, whatever the bar's size.
    void SetBitmaps(const QImage& back, const QImage& fore);

    // Sets the range; `lower` must differ from `upper`. The bar starts with 1..100.
    void SetRange(int lower, int upper) { m_rule.SetRange(lower, upper); }

    // Stores `value` as the position when lower <= value <= upper and leaves the position as it
    // was otherwise; in both cases then steps once (StepIt). So with the range 0..100 a value v
    // shows v + 1 (at most 100), and a value out of range moves the bar one step further.
    void SetPos(int value);

    // Adds the step (1) to the position, capped at the upper end, and repaints the strip from
    // the end of the fill as last painted to the right edge. Returns 1 when the position stayed
    // within the range, 0 when it was capped.
    int StepIt();

    // Back to position 0 without a step, and the whole bar repainted.
    void Reset();

    int GetPos() const { return m_rule.pos(); }

protected:
    // Draws the empty track at (0, 0) and the left (int)(fore width x fraction) columns of the
    // filled track at (2, 2), the fraction being position / (upper - lower).
    void paintEvent(QPaintEvent* event) override;

private:
    BarRule m_rule;      // range, position, step and the fill fraction of the last paint
    QRect m_clientRect;  // client area at the last paint
    QImage m_bmpBack;
    QImage m_bmpFore;
};

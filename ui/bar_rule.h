#pragma once
// The arithmetic of the bitmap progress bar, the same in both windows' CBmpProgCtrl: the range,
// the position and its step, and the fill fraction of the last paint.

class BarRule {
public:
    // The range; `lower` must differ from `upper`. A new rule has 1..100.
    void SetRange(int lower, int upper) {
        m_lower = lower;
        m_upper = upper;
    }

    // Stores `value` as the position when lower <= value <= upper; otherwise the position stays.
    void Store(int value);

    // Adds the step (1) to the position and caps it at the upper end. True when the position
    // stayed within the range, false when it was capped.
    bool Advance();

    // Back to position 0, without a step.
    void Reset() { m_pos = 0; }

    // Called at each paint: the fill fraction position / (upper - lower), remembered as the
    // fraction of the last paint.
    float TakePaintRatio();

    // The columns of a fill strip `stripWidth` pixels wide that the last paint's fraction
    // shows: (int)(stripWidth x fraction), truncated toward zero.
    int FillColumns(int stripWidth) const;

    // Where, in a bar `clientWidth` pixels wide, the fill of the last paint ended: the part of
    // the bar from there to its right edge is all a step can change.
    int LastFillEnd(int clientWidth) const;

    int pos() const { return m_pos; }

private:
    int m_lower = 1;
    int m_upper = 100;
    int m_step = 1;
    int m_pos = 0;
    float m_ratio = 0.0f;  // fill fraction of the last paint
};

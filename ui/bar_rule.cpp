#include "ui/bar_rule.h"

namespace {

int Truncated(int width, float fraction) {
    return static_cast<int>(static_cast<float>(width) * fraction);
}

}  // namespace

void BarRule::Store(int value) {
    if (m_lower <= value && value <= m_upper) {
        m_pos = value;
    }
}

bool BarRule::Advance() {
    m_pos += m_step;
    if (m_pos > m_upper) {
        m_pos = m_upper;
        return false;
    }
    return true;
}

float BarRule::TakePaintRatio() {
    m_ratio = static_cast<float>(m_pos) / static_cast<float>(m_upper - m_lower);
    return m_ratio;
}

int BarRule::FillColumns(int stripWidth) const {
    return Truncated(stripWidth, m_ratio);
}

int BarRule::LastFillEnd(int clientWidth) const {
    return Truncated(clientWidth, m_ratio);
}

#include "PaintPacing.h"

#include <algorithm>
#include <vector>

namespace {

// The held controls; all on the one user-interface thread.
std::vector<PaintPacing*>& Held() {
    static std::vector<PaintPacing*> held;
    return held;
}

}  // namespace

PaintPacing::PaintPacing(Control control) : m_control(std::move(control)) {
}

PaintPacing::~PaintPacing() {
    auto& held = Held();
    held.erase(std::remove(held.begin(), held.end(), this), held.end());
}

void PaintPacing::RowAdded(Clock::time_point now) {
    const bool burst = now - m_lastRow < kInterval;
    m_lastRow = now;
    if (!m_held && !burst) {
        m_control.paint();
        m_lastPaint = now;
        return;
    }
    if (!m_held) {
        m_control.setPainting(false);
        m_held = true;
        Held().push_back(this);
    }
    if (now - m_lastPaint >= kInterval) {
        // Painting is let go for this one paint and held again: the burst goes on.
        m_control.setPainting(true);
        m_control.paint();
        m_control.setPainting(false);
        m_lastPaint = now;
    }
}

void PaintPacing::Release() {
    m_held = false;
    m_control.setPainting(true);
    m_control.paint();
    m_lastPaint = Clock::now();
}

void PaintPacing::ReleaseAll() {
    // Taken out first: a paint may run a handler of its own that releases again.
    std::vector<PaintPacing*> held;
    held.swap(Held());
    for (PaintPacing* pacing : held)
        pacing->Release();
}

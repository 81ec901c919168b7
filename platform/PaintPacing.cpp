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
    Clock::duration took{};
    if (!m_held && !burst) {
        took = Paint();
    } else if (!m_held) {
        m_control.setPainting(false);
        m_held = true;
        Held().push_back(this);
    } else if (now >= m_nextPaint) {
        took = Paint();
    }
    if (took != Clock::duration{})
        m_nextPaint = now + took + std::max<Clock::duration>(kInterval, 3 * took);
    // A burst is told by the pause after a row, not counting the row's own paint.
    m_lastRow = now + took;
}

PaintPacing::Clock::duration PaintPacing::Paint() {
    const auto started = Clock::now();
    if (m_held)
        m_control.setPainting(true);
    m_control.paint();
    if (m_held)
        m_control.setPainting(false);
    // Never nothing, so that a paint always moves the next one on.
    return std::max<Clock::duration>(Clock::now() - started, Clock::duration{1});
}

void PaintPacing::Release() {
    m_held = false;
    m_control.setPainting(true);
    m_control.paint();
}

void PaintPacing::ReleaseAll() {
    // Emptied before any paint, so that a control held again meanwhile waits for the next release.
    std::vector<PaintPacing*> held;
    held.swap(Held());
    for (PaintPacing* pacing : held)
        pacing->Release();
}

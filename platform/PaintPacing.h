// When a control that rows are added to paints. A row that comes alone is painted at once; rows
// that come in a burst are painted now and then, with the control's painting held back in
// between, because adding a row to a control that paints costs far more than the row itself
// (bench/RESULTS.md has the figures). The paints of a burst come at least kInterval apart and
// take at most a quarter of its time, however slow the screen. Whatever is held is released when
// the handler that added the rows returns, and before a connection is opened, whose login prompt
// may keep the operator looking at the log.
#pragma once

#include <chrono>
#include <functional>

class PaintPacing {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kInterval = std::chrono::milliseconds(200);

    struct Control {
        std::function<void(bool)> setPainting;  // false holds painting back, true lets it go on
        std::function<void()> paint;            // paints what changed, now
    };

    explicit PaintPacing(Control control);
    ~PaintPacing();
    PaintPacing(const PaintPacing&) = delete;
    PaintPacing& operator=(const PaintPacing&) = delete;

    // A row was just added to the control.
    void RowAdded(Clock::time_point now = Clock::now());
    bool IsHeld() const { return m_held; }

    // Lets every held control paint again and paints it.
    static void ReleaseAll();

private:
    // Paints (letting painting go on for it when held); how long that took.
    Clock::duration Paint();
    void Release();

    Control m_control;
    Clock::time_point m_lastRow{};
    Clock::time_point m_nextPaint{};
    bool m_held = false;
};

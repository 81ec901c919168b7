// When a control that rows are added to paints: rows alone at once, a burst at most once per
// interval with painting held in between, and everything held let go by ReleaseAll.
#include "platform/PaintPacing.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

// What the control was told, in order: "hold", "go on", "paint".
struct RecordingControl {
    std::string calls;
    std::chrono::milliseconds paintTakes{0};
    PaintPacing pacing{{[this](bool on) { calls += on ? "go on," : "hold,"; },
                        [this] {
                            calls += "paint,";
                            std::this_thread::sleep_for(paintTakes);
                        }}};
};

const PaintPacing::Clock::time_point t0 = PaintPacing::Clock::now();

TEST(PaintPacing, RowsThatComeAlonePaintAtOnceAndNeverHold) {
    RecordingControl c;
    c.pacing.RowAdded(t0);
    c.pacing.RowAdded(t0 + PaintPacing::kInterval + 1ms);
    c.pacing.RowAdded(t0 + 5s);
    EXPECT_EQ(c.calls, "paint,paint,paint,");
    EXPECT_FALSE(c.pacing.IsHeld());
}

TEST(PaintPacing, ABurstHoldsPaintingAndPaintsOncePerIntervalUntilReleased) {
    RecordingControl c;
    c.pacing.RowAdded(t0);
    c.pacing.RowAdded(t0 + 1ms);
    EXPECT_EQ(c.calls, "paint,hold,");
    for (int ms = 2; ms < 200; ++ms)
        c.pacing.RowAdded(t0 + std::chrono::milliseconds(ms));
    EXPECT_EQ(c.calls, "paint,hold,") << "held rows cost no paint";
    // The interval counts from the end of the last paint, which here takes next to no time.
    c.pacing.RowAdded(t0 + 201ms);
    EXPECT_EQ(c.calls, "paint,hold,go on,paint,hold,") << "one paint when the interval is over";
    c.pacing.RowAdded(t0 + 202ms);
    EXPECT_TRUE(c.pacing.IsHeld());

    c.calls.clear();
    PaintPacing::ReleaseAll();
    EXPECT_EQ(c.calls, "go on,paint,");
    EXPECT_FALSE(c.pacing.IsHeld());
    PaintPacing::ReleaseAll();
    EXPECT_EQ(c.calls, "go on,paint,") << "a released control is not released twice";
}

TEST(PaintPacing, ASlowScreenGetsItsPaintsFurtherApart) {
    RecordingControl c;
    c.paintTakes = 100ms;
    c.pacing.RowAdded(t0);
    // Rows come 1 ms after the paint of the one before has ended: still a burst.
    c.pacing.RowAdded(t0 + 101ms);
    EXPECT_EQ(c.calls, "paint,hold,");
    c.pacing.RowAdded(t0 + 350ms);
    EXPECT_EQ(c.calls, "paint,hold,") << "a 100 ms paint waits 300 ms for the next, not 200";
    c.pacing.RowAdded(t0 + 2s);
    EXPECT_EQ(c.calls, "paint,hold,go on,paint,hold,");
    PaintPacing::ReleaseAll();
}

TEST(PaintPacing, AControlGoneWhileHeldIsNotReleased) {
    auto gone = std::make_unique<RecordingControl>();
    RecordingControl kept;
    for (auto* c : {gone.get(), &kept}) {
        c->pacing.RowAdded(t0);
        c->pacing.RowAdded(t0 + 1ms);
    }
    gone.reset();
    kept.calls.clear();
    PaintPacing::ReleaseAll();
    EXPECT_EQ(kept.calls, "go on,paint,");
}

}  // namespace

// The animation clock on the headless host and the manual clock: loops, intervals, the Action
// commands, visibility, deferred decoding and the failure paths of the timer.
#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/control_fixture.h"

namespace {

using namespace anigif;  // Action and delay-mode names
using Strings = std::vector<std::string>;

constexpr platform::WindowId kWindow = 77;

// Paints are only recorded, not drawn: these tests look at the timing, not the picture.
class Clock : public giftest::ControlFixture {
  protected:
    Clock() {
        host.setParentWindow(kWindow);
        host.setInnerSize(4, 4);
        host.onPaint = [this] { painted.push_back(gif->currentFrame); };
    }

    // A GIF of frames with the given delays (hundredths of a second), each frame one colour.
    void load(const std::vector<int>& delaysCs, int loops = -1) {
        loadBytes(giftest::solidAnimation(4, 4, 8, delaysCs, 1, loops));
    }
    // Events since the last call.
    Strings events() {
        Strings out = ControlFixture::events();
        host.clearRecords();
        return out;
    }
    std::optional<uint32_t> interval() const { return clock.interval(kWindow, gif->timerId()); }
};

TEST_F(Clock, OneLoopOverThreeFramesEndsOnFrameOne) {
    load({10, 10, 10}, 1);
    EXPECT_EQ(gif->Action(), ActionPlay);
    EXPECT_EQ(interval(), 100u);
    clock.advance(99);
    EXPECT_TRUE(painted.empty());
    clock.advance(201);
    EXPECT_EQ(painted, (std::vector<int32_t>{2, 3, 1}));
    EXPECT_EQ(events(), (Strings{"FrameChanged(1,T)", "FrameChanged(2,T)", "FrameChanged(3,T)",
                                 "LoopsEnded"}));
    EXPECT_EQ(gif->Action(), ActionStop);
    EXPECT_EQ(gif->LoopsRemaining(), 0);
    EXPECT_FALSE(timerPending());

    // Playing on past the end: the counter is not reloaded, goes below 0 and never stops.
    gif->Action(ActionPlay);
    clock.advance(300 * 5);
    EXPECT_EQ(gif->LoopsRemaining(), -5);
    EXPECT_EQ(gif->Action(), ActionPlay);
    for (const auto& e : events()) EXPECT_NE(e, "LoopsEnded");

    // At the bottom of its range the counter stays put instead of wrapping.
    gif->loopsRemaining = std::numeric_limits<int32_t>::min();
    clock.advance(300);
    EXPECT_EQ(gif->loopsRemaining, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(gif->Action(), ActionPlay);
}

TEST_F(Clock, LoopCountsAndTheirChanges) {
    load({1, 1}, 0);
    EXPECT_EQ(gif->LoopsRemaining(), std::numeric_limits<int32_t>::max());
    clock.advance(50 * 1000);
    EXPECT_EQ(gif->Action(), ActionPlay);

    // Counts above 32767 play out (32-bit counter).
    load({1, 1}, 40000);
    EXPECT_EQ(gif->LoopsRemaining(), 40000);
    clock.advance(100);
    EXPECT_EQ(gif->LoopsRemaining(), 39999);

    // A new Loops value waits for the next stop, restart or load.
    gif->Loops(-3);
    EXPECT_EQ(gif->Loops(), 3);
    EXPECT_EQ(host.changedProperties(), (Strings{"Loops"}));
    EXPECT_EQ(gif->LoopsRemaining(), 39999);
    gif->Action(ActionRestart);
    EXPECT_EQ(gif->LoopsRemaining(), 3);
    EXPECT_EQ(gif->Action(), ActionPlay);
    EXPECT_THROW(gif->Loops(std::numeric_limits<int32_t>::min()), platform::RuntimeError);
}

TEST_F(Clock, IntervalRule) {
    load({3, 0, 20});
    EXPECT_EQ(interval(), 50u);  // 30 ms raised to MinFrameDelay 50
    clock.advance(50);
    EXPECT_EQ(interval(), 50u);  // delay 0 lasts MinFrameDelay
    clock.advance(50);
    EXPECT_EQ(interval(), 200u);

    gif->MinFrameDelay(5);
    EXPECT_EQ(gif->MinFrameDelay(), 10);
    gif->MinFrameDelay(40000);
    EXPECT_EQ(gif->MinFrameDelay(), 32700);
    gif->MinFrameDelay(32700);
    EXPECT_EQ(host.changedProperties(), (Strings{"Delay", "Delay"}));

    // SteppedDelay overrides every frame's delay, even below MinFrameDelay.
    gif->SteppedDelay(5);
    clock.advance(200);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(interval(), 5u);
        clock.advance(5);
    }
    gif->SteppedDelay(-4);
    EXPECT_EQ(gif->SteppedDelay(), 0);
}

TEST_F(Clock, StopStepPauseAndRestart) {
    load({10, 10, 10}, 2);
    clock.advance(100);  // frame 2
    events();
    gif->Action(ActionPause);
    EXPECT_EQ(gif->Action(), ActionPause);
    EXPECT_FALSE(timerPending());
    gif->Action(ActionPause);  // repeated: no change
    EXPECT_EQ(gif->Action(), ActionPause);

    gif->Action(ActionStep);
    gif->Action(ActionStep);  // wraps after the last frame
    EXPECT_EQ(painted, (std::vector<int32_t>{2, 3, 1}));
    EXPECT_EQ(events(), (Strings{"FrameChanged(3,F)", "FrameChanged(1,F)"}));
    EXPECT_EQ(gif->Action(), ActionPause);
    EXPECT_EQ(gif->LoopsRemaining(), 2);  // stepping is not a pass

    gif->Action(ActionPlay);  // resumes from frame 1 with its interval
    EXPECT_EQ(interval(), 100u);
    clock.advance(100);
    EXPECT_EQ(gif->currentFrame, 2);

    gif->Action(ActionStop);
    EXPECT_EQ(gif->currentFrame, 1);
    EXPECT_EQ(gif->Action(), ActionStop);
    EXPECT_FALSE(timerPending());
    gif->Action(ActionPause);  // a stopped control stays stopped
    EXPECT_EQ(gif->Action(), ActionStop);
    gif->Action(7);
    gif->Action(-1);
    EXPECT_EQ(gif->Action(), ActionStop);

    gif->Action(ActionRestart);
    EXPECT_EQ(gif->Action(), ActionPlay);
    events();
    gif->Action(ActionPlay);  // already playing: nothing
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(clock.startsAccepted(), 8u);  // probe + start for each of the 4 starts
}

TEST_F(Clock, OneFrameGifNeverStartsATimer) {
    load({10});
    EXPECT_EQ(gif->Action(), ActionStop);
    gif->Action(ActionPlay);
    EXPECT_EQ(gif->Action(), ActionStop);
    EXPECT_EQ(clock.startsAccepted(), 0u);
    gif->Action(ActionStep);
    EXPECT_EQ(events(), (Strings{"FrameChanged(1,F)"}));
    EXPECT_EQ(gif->currentFrame, 1);
}

TEST_F(Clock, HideAndShow) {
    load({10, 10, 10});
    clock.advance(100);
    gif->UserControl_Hide();
    EXPECT_EQ(gif->Action(), ActionPause);
    clock.advance(1000);
    EXPECT_EQ(gif->currentFrame, 2);
    gif->UserControl_Show();
    EXPECT_EQ(gif->Action(), ActionPlay);
    clock.advance(100);
    EXPECT_EQ(gif->currentFrame, 3);

    // Paused by hand, hidden and shown again: it resumes too.
    gif->Action(ActionPause);
    gif->UserControl_Hide();
    gif->UserControl_Show();
    EXPECT_EQ(gif->Action(), ActionPlay);

    // A stopped control stays stopped.
    gif->Action(ActionStop);
    gif->UserControl_Hide();
    gif->UserControl_Show();
    EXPECT_EQ(gif->Action(), ActionStop);
}

TEST_F(Clock, DesignModeIgnoresActionAndStartsNoTimer) {
    host.setUserMode(false);
    load({10, 10});
    for (int act = 0; act <= 4; ++act) gif->Action(act);
    EXPECT_EQ(gif->Action(), ActionStop);
    EXPECT_EQ(gif->currentFrame, 1);
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(clock.startsAccepted() + clock.startsRefused(), 0u);
}

TEST_F(Clock, DelayAnimationModesAtLoadCompletion) {
    load({10, 10});
    EXPECT_EQ(interval(), 100u);  // DelayOff: playing at once

    gif->delayMode = DelayFirstFrame;
    load({10, 10});
    EXPECT_EQ(gif->Action(), ActionPlay);  // while the deferred decode waits
    EXPECT_EQ(interval(), 20u);
    EXPECT_FALSE(gif->GifBytes.empty());
    clock.advance(20);
    EXPECT_TRUE(gif->GifBytes.empty());  // the load finished
    EXPECT_EQ(interval(), 100u);
    EXPECT_TRUE(events().empty());

    for (int32_t mode : {DelayHold, DelayHoldFirstFrame}) {
        gif->delayMode = mode;
        load({10, 10});
        clock.advance(20);
        EXPECT_EQ(events(), (Strings{"FrameChanged(1,F)"}));
        EXPECT_EQ(gif->Action(), ActionStop);
        EXPECT_FALSE(timerPending());
    }
}

TEST_F(Clock, CommandsDuringTheDeferredDecodeFinishTheLoadFirst) {
    gif->delayMode = DelayFirstFrame;
    load({10, 10, 10});
    gif->UserControl_Hide();
    EXPECT_TRUE(gif->GifBytes.empty());  // frames 2 and 3 decoded, not lost
    EXPECT_EQ(gif->Action(), ActionPause);
    gif->Action(ActionStep);
    EXPECT_EQ(gif->currentFrame, 2);
    EXPECT_EQ(gif->Strip->pixel(gif->Frames(2).StripX, 0), 2u);

    // Also when the deferred-decode timer could not be started at all.
    clock.refuseStarts(true);
    load({10, 10, 10});
    EXPECT_FALSE(gif->GifBytes.empty());
    gif->Action(ActionStep);
    EXPECT_TRUE(gif->GifBytes.empty());
    EXPECT_EQ(gif->Strip->pixel(gif->Frames(2).StripX, 0), 2u);
}

TEST_F(Clock, HeldLoadsAnnounceFrameOneOnceWhateverHappensDuringTheDeferredDecode) {
    gif->delayMode = DelayHold;
    for (int32_t act : {ActionStop, ActionRestart}) {
        SCOPED_TRACE(act);
        load({10, 10, 10});
        gif->Action(act);
        EXPECT_EQ(events(), (Strings{"FrameChanged(1,F)"}));
        EXPECT_EQ(gif->Action(), act == ActionStop ? ActionStop : ActionPlay);
        clock.advance(1000);
        events();
    }

    // A new Stretch or Mirrored setting finishes the load; the control stays held.
    load({10, 10, 10});
    gif->Stretch(StretchFill);
    EXPECT_EQ(events(), (Strings{"FrameChanged(1,F)"}));
    EXPECT_EQ(gif->Action(), ActionStop);
    load({10, 10, 10});
    gif->Mirrored(MirrorHorizontal);
    EXPECT_EQ(events(), (Strings{"FrameChanged(1,F)"}));
    clock.advance(1000);
    EXPECT_EQ(gif->Action(), ActionStop);
    EXPECT_EQ(gif->currentFrame, 1);

    // Hidden in the window: nothing from inside the hide; the decode finishes on its timer and
    // announces frame 1 then, and the held control stays stopped when shown again.
    load({10, 10, 10});
    gif->UserControl_Hide();
    EXPECT_TRUE(events().empty());
    clock.advance(20);
    EXPECT_EQ(events(), (Strings{"FrameChanged(1,F)"}));
    EXPECT_TRUE(gif->GifBytes.empty());
    gif->UserControl_Show();
    clock.advance(1000);
    EXPECT_EQ(gif->Action(), ActionStop);
    EXPECT_TRUE(events().empty());
}

TEST_F(Clock, HandlersThatTakeOverTheClockKeepTheirSay) {
    load({10, 10, 10});
    host.onEvent = [this](int32_t, std::string_view name, std::span<platform::EventArg>) {
        if (name == "FrameChanged" && gif->currentFrame == 2) gif->Action(ActionPause);
    };
    clock.advance(100);
    EXPECT_EQ(gif->Action(), ActionPause);
    EXPECT_FALSE(timerPending());

    // A restart from the handler leaves exactly its own timer, with frame 1's interval.
    host.onEvent = [this](int32_t, std::string_view name, std::span<platform::EventArg>) {
        if (name == "FrameChanged" && gif->currentFrame == 3) gif->Action(ActionRestart);
    };
    gif->Action(ActionPlay);
    clock.advance(100);
    EXPECT_EQ(gif->currentFrame, 1);
    EXPECT_EQ(gif->Action(), ActionPlay);
    EXPECT_EQ(clock.remaining(kWindow, gif->timerId()), 100u);
}

TEST_F(Clock, TimerFailuresLeaveTheControlStoppedAndRestartable) {
    // The probe refused.
    clock.setStartFilter(
        [](platform::WindowId, platform::TimerId, uint32_t ms) { return ms == 60000; });
    load({10, 10});
    EXPECT_EQ(gif->Action(), ActionStop);
    EXPECT_FALSE(gif->SetAnimationTimer(1));

    // The probe passes but the real start is refused.
    clock.setStartFilter(
        [](platform::WindowId, platform::TimerId, uint32_t ms) { return ms != 60000; });
    EXPECT_FALSE(gif->SetAnimationTimer(1));
    EXPECT_EQ(gif->Action(), ActionStop);

    // No parent window.
    clock.setStartFilter(nullptr);
    host.setParentWindow(0);
    EXPECT_FALSE(gif->SetAnimationTimer(1));
    host.setParentWindow(kWindow);

    // A refused re-arm stops the animation; ActionPlay starts it again.
    gif->Action(ActionPlay);
    clock.refuseStarts(true);
    clock.advance(100);
    EXPECT_EQ(gif->currentFrame, 2);
    EXPECT_EQ(gif->Action(), ActionStop);
    clock.refuseStarts(false);
    gif->Action(ActionPlay);
    EXPECT_EQ(gif->Action(), ActionPlay);
    EXPECT_TRUE(timerPending());
}

TEST_F(Clock, NoTickReachesADestroyedControl) {
    load({10, 10});
    const platform::TimerService::Callback entry = gif->timerCallback;
    const platform::TimerId id = gif->timerId();
    ASSERT_TRUE(entry);
    gif.reset();
    EXPECT_EQ(clock.pendingCount(), 0u);  // termination stopped the timer
    // Even an event the platform had already queued finds nobody.
    entry(kWindow, id, 0);
    clock.start(kWindow, id, 10, entry);
    clock.advance(10);
    EXPECT_TRUE(painted.empty());
    EXPECT_TRUE(host.events().empty());
}

}  // namespace

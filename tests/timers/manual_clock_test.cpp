#include "anigif/manual_clock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using platform::ManualClock;
using platform::TimerId;
using platform::WindowId;

namespace {

// Records "window:id@time" for every callback.
struct Log {
    std::vector<std::string> entries;
    platform::TimerService::Callback recorder() {
        return [this](WindowId w, TimerId id, uint32_t t) {
            entries.push_back(std::to_string(w) + ":" + std::to_string(id) + "@" +
                              std::to_string(t));
        };
    }
};

using Entries = std::vector<std::string>;

}  // namespace

TEST(ManualClock, FiresOnceAtItsDueTimeInTimeOrder) {
    ManualClock clock;
    Log log;
    ASSERT_TRUE(clock.start(1, 7, 30, log.recorder()));
    ASSERT_TRUE(clock.start(1, 8, 10, log.recorder()));
    ASSERT_TRUE(clock.start(2, 7, 30, log.recorder()));  // same id, other window: own key
    EXPECT_EQ(clock.pendingCount(), 3u);

    clock.advance(9);
    EXPECT_TRUE(log.entries.empty());
    clock.advance(1);
    EXPECT_EQ(log.entries, (Entries{"1:8@10"}));
    clock.advance(100);
    // Equal due times fire in start order; one-shot, so nothing fires again.
    EXPECT_EQ(log.entries, (Entries{"1:8@10", "1:7@30", "2:7@30"}));
    EXPECT_EQ(clock.now(), 110u);
    EXPECT_EQ(clock.pendingCount(), 0u);
    EXPECT_EQ(clock.timersFired(), 3u);
}

TEST(ManualClock, StartingAPendingKeyReplacesItAndCancelStopsIt) {
    ManualClock clock;
    Log old, fresh;
    clock.start(1, 1, 10, old.recorder());
    clock.advance(5);
    clock.start(1, 1, 20, fresh.recorder());
    EXPECT_EQ(clock.remaining(1, 1), 20u);
    EXPECT_EQ(clock.interval(1, 1), 20u);
    clock.advance(19);
    EXPECT_TRUE(old.entries.empty());
    EXPECT_TRUE(fresh.entries.empty());
    clock.advance(1);
    EXPECT_EQ(fresh.entries, (Entries{"1:1@25"}));
    EXPECT_TRUE(old.entries.empty());

    clock.start(1, 1, 10, fresh.recorder());
    EXPECT_TRUE(clock.cancel(1, 1));
    EXPECT_FALSE(clock.cancel(1, 1));
    EXPECT_FALSE(clock.isPending(1, 1));
    clock.advance(1000);
    EXPECT_EQ(fresh.entries.size(), 1u);
}

TEST(ManualClock, CallbacksMayRearmAndCancelReentrantly) {
    ManualClock clock;
    std::vector<uint32_t> ticks;
    int rearms = 0;
    // A self re-arming timer, as the animation clock does, plus a victim it cancels.
    platform::TimerService::Callback tick = [&](WindowId w, TimerId id, uint32_t t) {
        ticks.push_back(t);
        clock.cancel(9, 9);
        if (++rearms < 4) {
            EXPECT_TRUE(clock.start(w, id, 15, tick));
        }
    };
    bool victimFired = false;
    clock.start(1, 1, 15, tick);
    clock.start(9, 9, 40, [&](WindowId, TimerId, uint32_t) { victimFired = true; });
    clock.advance(1000);
    // Timers started inside a callback fire within the same advance.
    EXPECT_EQ(ticks, (std::vector<uint32_t>{15, 30, 45, 60}));
    EXPECT_FALSE(victimFired);
    EXPECT_EQ(clock.now(), 1000u);
}

TEST(ManualClock, ZeroIntervalStillLetsTimeMove) {
    ManualClock clock;
    int fired = 0;
    platform::TimerService::Callback again = [&](WindowId w, TimerId id, uint32_t) {
        ++fired;
        clock.start(w, id, 0, again);
    };
    clock.start(1, 1, 0, again);
    clock.advance(0);
    EXPECT_EQ(fired, 0);
    clock.advance(5);
    EXPECT_EQ(fired, 5);
}

TEST(ManualClock, AdvanceToNextJumpsToTheEarliestTimer) {
    ManualClock clock;
    Log log;
    EXPECT_FALSE(clock.advanceToNext());
    clock.start(1, 2, 50, log.recorder());
    clock.start(1, 3, 50, log.recorder());
    clock.start(1, 4, 70, log.recorder());
    EXPECT_TRUE(clock.advanceToNext());
    EXPECT_EQ(log.entries, (Entries{"1:2@50", "1:3@50"}));
    EXPECT_EQ(clock.now(), 50u);
    EXPECT_EQ(clock.remaining(1, 4), 20u);
}

TEST(ManualClock, RefusedStartsLeaveNothingPending) {
    ManualClock clock;
    Log log;
    clock.start(1, 1, 10, log.recorder());
    clock.refuseStarts(true);
    // A refused restart also drops the timer it would have replaced.
    EXPECT_FALSE(clock.start(1, 1, 10, log.recorder()));
    EXPECT_FALSE(clock.isPending(1, 1));
    clock.refuseStarts(false);

    clock.setStartFilter([](WindowId, TimerId, uint32_t interval) { return interval == 60000; });
    EXPECT_FALSE(clock.start(1, 2, 60000, log.recorder()));
    EXPECT_TRUE(clock.start(1, 2, 20, log.recorder()));
    EXPECT_FALSE(clock.start(1, 3, 20, nullptr));
    EXPECT_EQ(clock.startsRefused(), 3u);
    EXPECT_EQ(clock.startsAccepted(), 2u);
    clock.advance(100);
    EXPECT_EQ(log.entries, (Entries{"1:2@20"}));
}

TEST(ManualClock, AdvanceFromInsideACallbackIsRejected) {
    ManualClock clock;
    clock.start(1, 1, 1, [&](WindowId, TimerId, uint32_t) { clock.advance(1); });
    EXPECT_THROW(clock.advance(1), std::logic_error);
    // The clock stays usable afterwards.
    bool fired = false;
    clock.start(1, 1, 1, [&](WindowId, TimerId, uint32_t) { fired = true; });
    clock.advance(1);
    EXPECT_TRUE(fired);
}

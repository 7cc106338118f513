#include "platform/qt/qt_timer_service.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <string>
#include <vector>

using platform::TimerId;
using platform::WindowId;
using platform::qt::QtTimerService;

namespace {

// Runs the event loop until `done` is called or a generous safety limit passes.
class Loop {
  public:
    Loop() {
        guard_.setSingleShot(true);
        QObject::connect(&guard_, &QTimer::timeout, &loop_, [this] {
            timedOut_ = true;
            loop_.quit();
        });
    }
    bool run() {
        guard_.start(5000);
        loop_.exec();
        guard_.stop();
        return !timedOut_;
    }
    void done() { loop_.quit(); }

  private:
    QEventLoop loop_;
    QTimer guard_;
    bool timedOut_ = false;
};

}  // namespace

TEST(QtTimerService, OneShotReplaceCancelAndRearm) {
    QtTimerService timers;
    Loop loop;
    std::vector<std::string> log;

    // Replaced and cancelled timers never call back.
    ASSERT_TRUE(timers.start(1, 1, 1, [&](WindowId, TimerId, uint32_t) { log.push_back("old"); }));
    ASSERT_TRUE(timers.start(2, 5, 1, [&](WindowId, TimerId, uint32_t) { log.push_back("gone"); }));
    EXPECT_TRUE(timers.cancel(2, 5));
    EXPECT_FALSE(timers.isPending(2, 5));

    int rearms = 0;
    platform::TimerService::Callback tick = [&](WindowId w, TimerId id, uint32_t) {
        EXPECT_FALSE(timers.isPending(w, id));  // one-shot: gone before the callback
        log.push_back("tick" + std::to_string(w) + ":" + std::to_string(id));
        if (++rearms < 3) {
            EXPECT_TRUE(timers.start(w, id, 1, tick));
        } else {
            loop.done();
        }
    };
    ASSERT_TRUE(timers.start(1, 1, 1, tick));
    EXPECT_TRUE(timers.isPending(1, 1));
    ASSERT_TRUE(loop.run());
    EXPECT_EQ(log, (std::vector<std::string>{"tick1:1", "tick1:1", "tick1:1"}));
    EXPECT_FALSE(timers.isPending(1, 1));
}

TEST(QtTimerService, DestroyingTheServiceStopsItsTimers) {
    int fired = 0;
    {
        QtTimerService timers;
        timers.start(1, 1, 1, [&](WindowId, TimerId, uint32_t) { ++fired; });
    }
    QtTimerService other;
    Loop loop;
    other.start(1, 1, 20, [&](WindowId, TimerId, uint32_t) { loop.done(); });
    ASSERT_TRUE(loop.run());
    EXPECT_EQ(fired, 0);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

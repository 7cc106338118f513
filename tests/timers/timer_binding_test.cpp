#include "gifcontrol/render/timer_binding.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "anigif/manual_clock.h"

using anigif::TimerBinding;
using platform::ManualClock;
using platform::TimerId;
using platform::WindowId;

namespace {

struct Call {
    std::string procedure;
    WindowId window;
    uint32_t message;
    TimerId id;
    uint32_t time;
};

// A stand-in for a control: two timer procedures in declaration order, calls recorded in a log
// that outlives the instance.
class Instance {
  public:
    explicit Instance(std::vector<Call>& log, std::vector<std::string>* errors = nullptr)
        : log_(log),
          binding_("ucAniGIF", reinterpret_cast<TimerId>(this),
                   {[this](WindowId w, uint32_t m, TimerId id, uint32_t t) {
                        return record("DeferredDecodeTick", w, m, id, t);
                    },
                    [this](WindowId w, uint32_t m, TimerId id, uint32_t t) {
                        return record("AnimationTick", w, m, id, t);
                    }},
                   [errors](std::string_view text, std::string_view title) {
                       if (errors) errors->push_back(std::string(title) + ": " + std::string(text));
                   }) {}

    TimerBinding& binding() { return binding_; }
    TimerId id() const { return binding_.timerId(); }

  private:
    int32_t record(const char* name, WindowId w, uint32_t m, TimerId id, uint32_t t) {
        log_.push_back({name, w, m, id, t});
        return 0;
    }

    std::vector<Call>& log_;
    TimerBinding binding_;
};

}  // namespace

TEST(TimerBinding, CallbackNumbersReachTheirProcedures) {
    ManualClock clock;
    std::vector<Call> log;
    Instance control(log);
    auto animation = control.binding().BindTimerCallback(1, 4, 0, true);
    auto deferred = control.binding().BindTimerCallback(2, 4, 0, false);
    ASSERT_TRUE(animation);
    ASSERT_TRUE(deferred);
    EXPECT_TRUE(control.binding().isBound());

    clock.start(42, control.id(), 20, deferred);
    clock.advance(20);
    clock.start(42, control.id(), 50, animation);
    clock.advance(50);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].procedure, "DeferredDecodeTick");
    EXPECT_EQ(log[1].procedure, "AnimationTick");
    EXPECT_EQ(log[1].window, 42u);
    EXPECT_EQ(log[1].message, anigif::kTimerMessage);
    EXPECT_EQ(log[1].id, control.id());
    EXPECT_EQ(log[1].time, 70u);
}

TEST(TimerBinding, BadArgumentsReportTheirMessageAndGiveNoEntry) {
    std::vector<Call> log;
    std::vector<std::string> errors;
    Instance control(log, &errors);
    EXPECT_FALSE(control.binding().BindTimerCallback(1, 4, 1, true));
    EXPECT_FALSE(control.binding().BindTimerCallback(3, 4, 0, true));
    EXPECT_FALSE(control.binding().BindTimerCallback(0, 4, 0, true));
    EXPECT_FALSE(control.binding().BindTimerCallback(1, 3, 0, true));
    EXPECT_EQ(errors, (std::vector<std::string>{
                          "Error in ucAniGIF.cb_Callback: nThunkNo doesn't exist.",
                          "Error in ucAniGIF.cb_Callback: Callback address not found.",
                          "Error in ucAniGIF.cb_Callback: Callback address not found.",
                          "Error in ucAniGIF.cb_Callback: Callback address not found."}));
    EXPECT_FALSE(control.binding().isBound());
}

TEST(TimerBinding, ReleasedEntriesNeverForwardEvenAfterARebind) {
    ManualClock clock;
    std::vector<Call> log;
    Instance control(log);
    auto stale = control.binding().BindTimerCallback(1, 4, 0, true);
    clock.start(1, control.id(), 10, stale);
    control.binding().ReleaseTimerCallback();
    EXPECT_FALSE(control.binding().isBound());
    auto fresh = control.binding().BindTimerCallback(1, 4, 0, true);
    clock.start(2, control.id(), 30, fresh);
    clock.advance(100);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].window, 2u);

    // An entry only answers to its own instance's timer identifier.
    clock.start(3, control.id() + 1, 10, fresh);
    clock.advance(10);
    EXPECT_EQ(log.size(), 1u);
}

TEST(TimerBinding, PendingTimerOfADestroyedInstanceDoesNothing) {
    ManualClock clock;
    std::vector<Call> log;
    auto control = std::make_unique<Instance>(log);
    const TimerId id = control->id();
    clock.start(1, id, 10, control->binding().BindTimerCallback(1, 4, 0, true));
    clock.start(1, id + 1, 10, control->binding().BindTimerCallback(2, 4, 0, true));
    control.reset();
    clock.advance(10);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(clock.timersFired(), 2u);
}

TEST(TimerBinding, ProcedureMayReleaseItsOwnBindingWhileRunning) {
    ManualClock clock;
    int calls = 0;
    std::unique_ptr<TimerBinding> binding;
    binding = std::make_unique<TimerBinding>(
        "ucAniGIF", 7,
        std::vector<anigif::TimerProcedure>{[&](WindowId, uint32_t, TimerId, uint32_t) {
            ++calls;
            binding.reset();
            return 0;
        }},
        nullptr);
    clock.start(1, 7, 5, binding->BindTimerCallback(1, 4, 0, true));
    clock.advance(5);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(binding, nullptr);
}

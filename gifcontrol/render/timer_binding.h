#pragma once
// Routes a platform timer event to one procedure of one control instance.
//
// The platform calls back a plain four-argument procedure (window, message, timer id, time).
// `BindTimerCallback` hands out such an entry for one of the instance's timer procedures; the
// entry looks the timer identifier up in the binding's table and forwards to the procedure of
// the instance registered under it. `ReleaseTimerCallback` (and destroying the binding, which
// the instance owns) empties the table, so an entry that is still queued in the platform after
// that finds nobody and returns without calling: no timer ever reaches a terminated instance.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "anigif/timer_service.h"

namespace anigif {

// The message number a timer callback receives.
inline constexpr uint32_t kTimerMessage = 0x0113;

// A timer procedure of the instance: (window, message, timer id, time) -> result.
using TimerProcedure = std::function<int32_t(platform::WindowId window, uint32_t message,
                                             platform::TimerId timerId, uint32_t time)>;

// Shows an error to the user: (text, title).
using ErrorReporter = std::function<void(std::string_view text, std::string_view title)>;

class TimerBinding {
  public:
    // `typeName` names the instance's type in error titles. `timerId` identifies the instance
    // on its timers. `procedures` are the instance's timer procedures in declaration order;
    // callback numbers count them from the last (1 = the last one). `reportError` may be empty.
    TimerBinding(std::string typeName, platform::TimerId timerId,
                 std::vector<TimerProcedure> procedures, ErrorReporter reportError);
    ~TimerBinding();

    TimerBinding(const TimerBinding&) = delete;
    TimerBinding& operator=(const TimerBinding&) = delete;

    // Returns an entry that forwards timer events with this binding's timer identifier to
    // procedure `callbackNumber` (counted from the last), or an empty callback on failure:
    //  - `entryNumber` other than 0: reports "nThunkNo doesn't exist.";
    //  - no procedure with that number, or `argumentCount` other than the 4 of the timer shape:
    //    reports "Callback address not found.";
    // both titled "Error in " + type name + ".cb_Callback". `checkRunState` asks the entry to
    // forward only while a development environment runs the instance; there is no such
    // environment here, so it has no effect. The table is created on the first bind after a
    // release and reused by later binds.
    platform::TimerService::Callback BindTimerCallback(int32_t callbackNumber,
                                                       int32_t argumentCount, int32_t entryNumber,
                                                       bool checkRunState);

    // Empties the table: every entry handed out so far stops forwarding.
    void ReleaseTimerCallback();

    // True between a successful bind and the next release.
    bool isBound() const noexcept { return table_ != nullptr; }
    platform::TimerId timerId() const noexcept { return timerId_; }
    // The result an entry gives the platform when it could not forward.
    static constexpr int32_t kNotForwarded = 0;

  private:
    struct Table;

    void report(std::string_view text) const;

    std::string typeName_;
    platform::TimerId timerId_;
    std::vector<TimerProcedure> procedures_;
    ErrorReporter reportError_;
    std::shared_ptr<Table> table_;
};

}  // namespace anigif

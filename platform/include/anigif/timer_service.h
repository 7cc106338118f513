#pragma once
// One-shot timers keyed by (window, id), the way the control's animation clock uses them.
//
// Contract shared by every implementation:
//  - A timer fires at most once; a callback that wants another interval starts the timer again.
//  - There is at most one timer per key: starting a key that is pending replaces it (new
//    interval, new callback), the old callback never runs.
//  - `start` may be refused by the platform; it then returns false and nothing is pending.
//  - Callbacks run on the thread that owns the service (the user-interface thread), never
//    inside `start` or `cancel`, and may start and cancel timers themselves, including their
//    own key. A timer cancelled or replaced before it fires never calls back.
//  - Intervals below 1 ms count as 1 ms, so a callback that keeps re-arming itself always
//    lets time move on.
#include <cstdint>
#include <functional>

namespace platform {

// The window a timer belongs to (the host form); 0 means none.
using WindowId = std::uintptr_t;
// A caller-chosen number that tells its timers apart on one window.
using TimerId = std::uintptr_t;

class TimerService {
  public:
    // Called with the key of the timer that fired and the service's clock in milliseconds
    // (wraps around after about 49 days, like any 32-bit tick count).
    using Callback = std::function<void(WindowId window, TimerId id, uint32_t timeMs)>;

    virtual ~TimerService() = default;

    // Starts (or restarts) the one-shot timer of (window, id). Returns false when refused.
    virtual bool start(WindowId window, TimerId id, uint32_t intervalMs, Callback callback) = 0;
    // Cancels the timer of (window, id). Returns true when one was pending.
    virtual bool cancel(WindowId window, TimerId id) = 0;
    // True while the timer of (window, id) is pending.
    virtual bool isPending(WindowId window, TimerId id) const = 0;
};

}  // namespace platform

#pragma once
// A timer service whose time only moves when a test says so, so that timing rules are checked
// exactly and without sleeping. Time starts at 0.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>

#include "anigif/timer_service.h"

namespace platform {

class ManualClock final : public TimerService {
  public:
    // Asked before every start; returning true refuses that start.
    using StartFilter = std::function<bool(WindowId window, TimerId id, uint32_t intervalMs)>;

    bool start(WindowId window, TimerId id, uint32_t intervalMs, Callback callback) override;
    bool cancel(WindowId window, TimerId id) override;
    bool isPending(WindowId window, TimerId id) const override;

    // Moves time forward by `ms`, firing every timer that falls due on the way in order of due
    // time (timers due at the same moment in the order they were started). Each callback sees
    // the clock at its own due time; timers a callback starts fire in the same call when they
    // fall due before its end. Not to be called from inside a callback.
    void advance(uint64_t ms);
    // Advances to the earliest pending timer and fires everything due at that moment.
    // Returns false (and leaves time alone) when nothing is pending.
    bool advanceToNext();

    uint64_t now() const noexcept { return now_; }
    std::size_t pendingCount() const noexcept { return timers_.size(); }
    // The interval the pending timer of (window, id) was started with, if one is pending.
    std::optional<uint32_t> interval(WindowId window, TimerId id) const;
    // Milliseconds until the pending timer of (window, id) fires, if one is pending.
    std::optional<uint64_t> remaining(WindowId window, TimerId id) const;

    // Refuses every start while set.
    void refuseStarts(bool refuse) { refuseAll_ = refuse; }
    // Refuses the starts the filter picks (in addition to refuseStarts); empty = none.
    void setStartFilter(StartFilter filter) { filter_ = std::move(filter); }

    std::size_t startsAccepted() const noexcept { return accepted_; }
    std::size_t startsRefused() const noexcept { return refused_; }
    std::size_t timersFired() const noexcept { return fired_; }

  private:
    using Key = std::pair<WindowId, TimerId>;
    struct Pending {
        uint64_t due = 0;
        uint64_t order = 0;  // start sequence, breaks ties between equal due times
        uint32_t interval = 0;
        Callback callback;
    };

    // Fires the earliest timer due at or before `limit`; false when there is none.
    bool fireOneDueBy(uint64_t limit);

    std::map<Key, Pending> timers_;
    uint64_t now_ = 0;
    uint64_t nextOrder_ = 0;
    bool advancing_ = false;
    bool refuseAll_ = false;
    StartFilter filter_;
    std::size_t accepted_ = 0, refused_ = 0, fired_ = 0;
};

}  // namespace platform

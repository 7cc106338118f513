#include "anigif/manual_clock.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace platform {

bool ManualClock::start(WindowId window, TimerId id, uint32_t intervalMs, Callback callback) {
    if (refuseAll_ || (filter_ && filter_(window, id, intervalMs)) || !callback) {
        ++refused_;
        // A refused start leaves nothing pending under that key, as a real platform would
        // after failing to (re)create the timer.
        timers_.erase({window, id});
        return false;
    }
    const uint32_t effective = intervalMs == 0 ? 1 : intervalMs;
    timers_[{window, id}] =
        Pending{now_ + effective, nextOrder_++, intervalMs, std::move(callback)};
    ++accepted_;
    return true;
}

bool ManualClock::cancel(WindowId window, TimerId id) {
    return timers_.erase({window, id}) > 0;
}

bool ManualClock::isPending(WindowId window, TimerId id) const {
    return timers_.count({window, id}) > 0;
}

std::optional<uint32_t> ManualClock::interval(WindowId window, TimerId id) const {
    auto it = timers_.find({window, id});
    if (it == timers_.end()) return std::nullopt;
    return it->second.interval;
}

std::optional<uint64_t> ManualClock::remaining(WindowId window, TimerId id) const {
    auto it = timers_.find({window, id});
    if (it == timers_.end()) return std::nullopt;
    return it->second.due - now_;
}

bool ManualClock::fireOneDueBy(uint64_t limit) {
    auto first = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        const Pending& p = it->second;
        if (p.due > limit) continue;
        if (first == timers_.end() || p.due < first->second.due ||
            (p.due == first->second.due && p.order < first->second.order))
            first = it;
    }
    if (first == timers_.end()) return false;

    // One-shot: the timer is gone before its callback runs, so the callback may start the same
    // key again or cancel others.
    const Key key = first->first;
    Pending fired = std::move(first->second);
    timers_.erase(first);
    now_ = fired.due;
    ++fired_;
    fired.callback(key.first, key.second, static_cast<uint32_t>(now_));
    return true;
}

void ManualClock::advance(uint64_t ms) {
    if (advancing_) throw std::logic_error("ManualClock::advance called from a timer callback");
    advancing_ = true;
    const uint64_t target = now_ + ms;
    try {
        while (fireOneDueBy(target)) {
        }
    } catch (...) {
        advancing_ = false;
        throw;
    }
    now_ = target;
    advancing_ = false;
}

bool ManualClock::advanceToNext() {
    if (timers_.empty()) return false;
    uint64_t earliest = UINT64_MAX;
    for (const auto& [key, p] : timers_) earliest = std::min(earliest, p.due);
    advance(earliest - now_);
    return true;
}

}  // namespace platform

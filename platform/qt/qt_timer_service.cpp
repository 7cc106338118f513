#include "platform/qt/qt_timer_service.h"

#include <QTimerEvent>
#include <QtGlobal>
#include <climits>
#include <exception>

namespace platform::qt {

QtTimerService::QtTimerService(QObject* parent) : QObject(parent) {
    clock_.start();
}

QtTimerService::~QtTimerService() {
    for (const auto& [key, pending] : timers_) killTimer(pending.qtTimer);
}

bool QtTimerService::start(WindowId window, TimerId id, uint32_t intervalMs, Callback callback) {
    cancel(window, id);
    if (!callback) return false;
    const int interval = intervalMs == 0 ? 1
                                         : (intervalMs > static_cast<uint32_t>(INT_MAX)
                                                ? INT_MAX
                                                : static_cast<int>(intervalMs));
    const int qtTimer = startTimer(interval, Qt::PreciseTimer);
    if (qtTimer == 0) return false;
    const Key key{window, id};
    timers_[key] = Pending{qtTimer, std::move(callback)};
    keysByQtTimer_[qtTimer] = key;
    return true;
}

bool QtTimerService::cancel(WindowId window, TimerId id) {
    auto it = timers_.find({window, id});
    if (it == timers_.end()) return false;
    killTimer(it->second.qtTimer);
    keysByQtTimer_.erase(it->second.qtTimer);
    timers_.erase(it);
    return true;
}

bool QtTimerService::isPending(WindowId window, TimerId id) const {
    return timers_.count({window, id}) > 0;
}

void QtTimerService::timerEvent(QTimerEvent* event) {
    auto byId = keysByQtTimer_.find(event->timerId());
    if (byId == keysByQtTimer_.end()) {
        // Already cancelled; a stale event may still be queued.
        QObject::timerEvent(event);
        return;
    }
    const Key key = byId->second;
    auto it = timers_.find(key);
    // One-shot: stop the Qt timer and forget the key before calling back, so that the
    // callback can start this key again.
    killTimer(event->timerId());
    keysByQtTimer_.erase(byId);
    Callback callback = std::move(it->second.callback);
    timers_.erase(it);
    try {
        callback(key.first, key.second, static_cast<uint32_t>(clock_.elapsed()));
    } catch (const std::exception& e) {
        qWarning("timer callback failed: %s", e.what());
    } catch (...) {
        qWarning("timer callback failed");
    }
}

}  // namespace platform::qt

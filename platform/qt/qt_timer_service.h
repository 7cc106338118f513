#pragma once
// The timer service over Qt's event loop: each (window, id) key owns at most one single-shot
// Qt timer of this object. Lives on, and must be used from, the thread that runs the event loop.
#include <QElapsedTimer>
#include <QObject>
#include <map>
#include <unordered_map>
#include <utility>

#include "anigif/timer_service.h"

class QTimerEvent;

namespace platform::qt {

class QtTimerService final : public QObject, public platform::TimerService {
  public:
    explicit QtTimerService(QObject* parent = nullptr);
    ~QtTimerService() override;

    QtTimerService(const QtTimerService&) = delete;
    QtTimerService& operator=(const QtTimerService&) = delete;

    // Intervals above what Qt accepts (about 24.8 days) are shortened to that maximum. Refused
    // when Qt cannot start a timer (for example when called from another thread).
    bool start(WindowId window, TimerId id, uint32_t intervalMs, Callback callback) override;
    bool cancel(WindowId window, TimerId id) override;
    bool isPending(WindowId window, TimerId id) const override;

  protected:
    // An exception leaving a callback is reported with qWarning and dropped: it must not
    // unwind through Qt's event loop.
    void timerEvent(QTimerEvent* event) override;

  private:
    using Key = std::pair<WindowId, TimerId>;
    struct Pending {
        int qtTimer = 0;
        Callback callback;
    };

    std::map<Key, Pending> timers_;
    std::unordered_map<int, Key> keysByQtTimer_;
    QElapsedTimer clock_;
};

}  // namespace platform::qt

// The values of the control that change without a notice of their own (its action, the frame on
// show, the frame count, the loops remaining and the picture's size), as a Qt host last reported
// them through its change signals. A host reads each value afresh when it compares it, since a
// handler of one change signal may change the others.
#pragma once

#include <QSize>

namespace platform::qt {

template <typename T>
class SeenValue {
  public:
    explicit SeenValue(T initial = T{}) : value_(initial) {}
    // True, remembering `now`, when it differs from the value seen last.
    bool changed(const T& now) {
        if (now == value_) return false;
        value_ = now;
        return true;
    }
    const T& value() const { return value_; }

  private:
    T value_;
};

// The values start as a host shows them before its first load.
struct SeenControlValues {
    SeenControlValues(int actionBefore, QSize sizeBefore)
        : action(actionBefore), size(sizeBefore) {}
    SeenValue<int> action, frame, frames, loopsRemaining;
    SeenValue<QSize> size;
};

}  // namespace platform::qt

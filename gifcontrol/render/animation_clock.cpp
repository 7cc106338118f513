// The animation clock: the one-shot animation timer, the deferred-decode timer, the Action
// commands and the clock's properties.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <limits>

#include "gifcontrol/render/uc_ani_gif.h"

namespace anigif {
namespace {

constexpr uint32_t kProbeInterval = 60000;
constexpr uint32_t kDeferredDecodeInterval = 20;
constexpr int32_t kMinFrameDelayLow = 10;
constexpr int32_t kMinFrameDelayHigh = 32700;

}  // namespace

uint32_t ucAniGIF::FrameInterval() const {
    if (steppedDelay != 0) return static_cast<uint32_t>(steppedDelay);
    const int32_t delay = Frames(currentFrame).Delay;
    return static_cast<uint32_t>(std::max<int32_t>(delay, minFrameDelay));
}

bool ucAniGIF::SetAnimationTimer(int32_t mode) {
    platform::TimerService* timers = host_->timers();
    if (mode == 0) {
        // Cancelled whatever the run mode: a key with nothing pending is simply not found.
        if (timers) timers->cancel(timerWindow, timerId());
        pendingTimer_ = PendingTimer::None;
        ++timerGeneration_;
        animState = ActionStop;
        return false;
    }
    if (mode != 1 && mode != 2) return false;
    if (animState == ActionPlay) return false;
    animState = ActionStop;
    if (currentFrame == 0 || !host_->userMode() || (mode == 1 && FrameCount() == 1)) return false;

    timerCallback = timerBinding_.BindTimerCallback(mode == 1 ? 1 : 2, 4, 0, mode == 1);
    if (!timerCallback) return false;
    timerWindow = host_->parentWindow();
    if (timerWindow == 0 || timers == nullptr) {
        timerCallback = nullptr;
        return false;
    }
    // Probe whether the platform gives this window a timer at all before committing to it.
    if (!timers->start(timerWindow, timerId(), kProbeInterval, timerCallback)) {
        timerCallback = nullptr;
        return false;
    }
    timers->cancel(timerWindow, timerId());

    const uint32_t interval = mode == 2 ? kDeferredDecodeInterval : FrameInterval();
    ++timerGeneration_;
    if (!timers->start(timerWindow, timerId(), interval, timerCallback)) {
        // Not "playing" without a timer: ActionPlay must be able to try again.
        timerCallback = nullptr;
        pendingTimer_ = PendingTimer::None;
        return false;
    }
    pendingTimer_ = mode == 2 ? PendingTimer::DeferredDecode : PendingTimer::Animation;
    animState = ActionPlay;
    return true;
}

int32_t ucAniGIF::AnimationTick(platform::WindowId window, uint32_t /*message*/,
                                platform::TimerId timerId, uint32_t /*time*/) noexcept {
    platform::TimerService* timers = host_->timers();
    if (timers) timers->cancel(timerWindow, timerId);
    pendingTimer_ = PendingTimer::None;

    const int32_t count = FrameCount();
    if (count == 0 || animState != ActionPlay) {
        // A late tick for a control that was reset or stopped meanwhile.
        if (count == 0) animState = ActionStop;
        return 0;
    }

    const int32_t previous = currentFrame;
    bool passCompleted = false;
    if (currentFrame >= count) {
        currentFrame = 1;
        passCompleted = true;
    } else {
        ++currentFrame;
    }

    bool continues = true;
    if (count == 1) {
        loopsRemaining = 0;
        animState = ActionStop;
        continues = false;
    } else if (passCompleted && loopSetting != 0) {
        // Below 0 only after ActionPlay past LoopsEnded; it saturates instead of wrapping.
        if (loopsRemaining > std::numeric_limits<int32_t>::min()) --loopsRemaining;
        if (loopsRemaining == 0) {
            animState = ActionStop;
            continues = false;
        }
    }

    const uint64_t generation = timerGeneration_;
    // No caller to hand an error to from a timer: a failing paint or handler is dropped and
    // the clock carries on.
    try {
        host_->refresh();
    } catch (...) {
    }
    try {
        raiseFrameChanged(previous, true);
    } catch (...) {
    }

    if (!continues) {
        try {
            raiseLoopsEnded();
        } catch (...) {
        }
        return 0;
    }
    // A handler that stopped, paused, stepped, restarted or reloaded the control owns the
    // clock now.
    if (generation != timerGeneration_ || animState != ActionPlay || currentFrame == 0) return 0;
    try {
        if (timers && timers->start(window, timerId, FrameInterval(), timerCallback)) {
            pendingTimer_ = PendingTimer::Animation;
            return 0;
        }
    } catch (...) {
    }
    animState = ActionStop;
    return 0;
}

int32_t ucAniGIF::DeferredDecodeTick(platform::WindowId /*window*/, uint32_t /*message*/,
                                     platform::TimerId /*timerId*/, uint32_t /*time*/) noexcept {
    try {
        SetAnimationTimer(0);
    } catch (...) {
    }
    bool fullBuild = false;
    BuildFrames(fullBuild);
    return 0;
}

void ucAniGIF::finishDeferredDecode(bool announceHold) {
    // RebuildBuffer lives from the first pass to the end of the last: frames still wait for
    // their pass also when the deferred-decode timer could not be started.
    if (pendingTimer_ != PendingTimer::DeferredDecode && RebuildBuffer.empty()) return;
    announceHold_ = announceHold;
    DeferredDecodeTick(timerWindow, kTimerMessage, timerId(), 0);
    announceHold_ = true;
}

void ucAniGIF::stopAndRewind() {
    SetAnimationTimer(0);
    loopsRemaining = loopSetting;
    currentFrame = 1;
    host_->refresh();
    raiseFrameChanged(1, false);
}

void ucAniGIF::Action(int32_t Act) {
    if (currentFrame == 0 || !host_->userMode()) return;
    if (Act < ActionStop || Act > ActionRestart) return;
    // Stop and Restart raise FrameChanged(1, False) themselves; a held load finished on their
    // behalf must not announce frame 1 a second time.
    finishDeferredDecode(Act != ActionStop && Act != ActionRestart);
    if (currentFrame == 0) return;  // the finishing load may have failed

    switch (Act) {
        case ActionStop:
            stopAndRewind();
            break;
        case ActionPlay:
            SetAnimationTimer(1);
            break;
        case ActionPause:
            if (animState != ActionStop) {
                SetAnimationTimer(0);
                animState = ActionPause;
            }
            break;
        case ActionStep:
            SetAnimationTimer(0);
            currentFrame = currentFrame >= FrameCount() ? 1 : currentFrame + 1;
            animState = ActionPause;
            host_->refresh();
            raiseFrameChanged(currentFrame, false);
            break;
        case ActionRestart:
            stopAndRewind();
            SetAnimationTimer(1);
            break;
        default:
            break;
    }
}

void ucAniGIF::ShowFrame(int32_t FrameIndex) {
    if (currentFrame == 0 || !host_->userMode()) return;
    finishDeferredDecode(true);
    if (currentFrame == 0) return;  // the finishing load may have failed
    SetAnimationTimer(0);
    currentFrame = std::clamp(FrameIndex, 1, FrameCount());
    animState = ActionPause;
    host_->refresh();
    raiseFrameChanged(currentFrame, false);
}

void ucAniGIF::UserControl_Hide() {
    // A held load whose remaining frames wait for their timer is not playing and will not play:
    // the decode is left to its timer, which announces the held frame 1 then, not from inside
    // the hide.
    if (pendingTimer_ == PendingTimer::DeferredDecode && (delayMode & 2) != 0) return;
    Action(ActionPause);
}

void ucAniGIF::UserControl_Show() {
    if (animState == ActionPause) SetAnimationTimer(1);
}

void ucAniGIF::MinFrameDelay(int32_t Delay) {
    const auto clamped =
        static_cast<int16_t>(std::clamp(Delay, kMinFrameDelayLow, kMinFrameDelayHigh));
    if (clamped == minFrameDelay) return;
    minFrameDelay = clamped;
    host_->propertyChanged("Delay");
}

void ucAniGIF::SteppedDelay(int32_t newDelay) {
    steppedDelay = newDelay > 0 ? newDelay : 0;
}

void ucAniGIF::Loops(int32_t Count) {
    if (Count == loopSetting) return;
    if (Count == std::numeric_limits<int32_t>::min()) platform::raiseOverflow("Loops");
    loopSetting = std::abs(Count);
    host_->propertyChanged("Loops");
}

int32_t ucAniGIF::LoopsRemaining() const noexcept {
    if (currentFrame == 0) return 0;
    if (loopSetting == 0) return std::numeric_limits<int32_t>::max();
    return loopsRemaining;
}

void ucAniGIF::raiseLoopsEnded() {
    host_->raiseEvent(EventLoopsEnded, "LoopsEnded", {});
}

void ucAniGIF::ReleaseTimerCallback() noexcept {
    timerBinding_.ReleaseTimerCallback();
    timerCallback = nullptr;
}

void ucAniGIF::reportTimerError(std::string_view text, std::string_view title) const {
    if (timerErrorReporter) {
        timerErrorReporter(text, title);
    } else {
        std::cerr << title << ": " << text << '\n';
    }
}

}  // namespace anigif

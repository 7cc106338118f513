#pragma once
// What the animated-GIF control asks of the window it sits in. AniGifWidget implements it for
// Qt; a host of your own overrides the pure members and whichever others it supports (the
// defaults below are what a host without that feature answers).
//
// Contract shared by every implementation:
//  - Everything is called on the user-interface thread; nothing here re-enters the control from
//    another thread.
//  - `userMode` is read afresh at each use: true while the program runs, false in a designer.
//  - `refresh` repaints at once: the control's paint handler (AniGifControl::paintInto) has run
//    when the call returns.
//  - `setSize` changes the control's inner size; the host then delivers the control's resize
//    handler, also for a change the control made itself.
//  - `raiseEvent` returns after the host's handler has run; the control reads its by-reference
//    arguments back from `args` afterwards.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "anigif/timer_service.h"

namespace platform {

class Surface;  // a drawing surface of the library's own

// One argument of a raised event. Booleans travel as bool; the host maps them to whatever its
// event surface uses.
struct EventArg {
    std::string_view name;
    std::variant<int16_t, int32_t, float, bool> value;
};

// The encoded bytes of a picture (mouse icon); a null pointer stands for no picture.
using PictureBytes = std::vector<uint8_t>;
using PicturePtr = std::shared_ptr<const PictureBytes>;

class ControlHost {
  public:
    virtual ~ControlHost() = default;

    // Ambient run mode: true while the host program runs, false in a form designer.
    virtual bool userMode() const = 0;

    // Repaints the control now (synchronously).
    virtual void refresh() = 0;
    // For hosts inside the library that paint on a surface of its own: the drawing target of
    // the paint in progress. Hosts that paint with paintInto keep the default.
    virtual Surface* paintTarget() { return nullptr; }

    // The control's inner size in pixels (the host may keep fractions).
    virtual double scaleWidth() const = 0;
    virtual double scaleHeight() const = 0;
    // Sets the control's size from an inner size in pixels.
    virtual void setSize(double widthPx, double heightPx) = 0;

    // Converts a horizontal / vertical length in pixels to the container's units (default:
    // the container counts in pixels).
    virtual double scaleX(double pixels) const { return pixels; }
    virtual double scaleY(double pixels) const { return pixels; }

    // Marks the stored description stale: the named stored property changed.
    virtual void propertyChanged(std::string_view /*name*/) {}

    // Raises event `number` (1 Click ... 8 RemoteLoadFailure) with its arguments.
    virtual void raiseEvent(int32_t /*number*/, std::string_view /*eventName*/,
                            std::span<EventArg> /*args*/) {}

    // Read option bit of asyncRead: take the cached copy when the network fails.
    static constexpr int32_t kReadCachedCopyWhenOffline = 0x80000;

    // Starts an asynchronous read of `target` as a byte array under `propertyName`. Returns
    // false when the read could not be started (default: no downloads). Completion and progress
    // arrive later through the control's notification handlers.
    virtual bool asyncRead(std::string_view /*target*/, std::string_view /*propertyName*/,
                           int32_t /*readOption*/) {
        return false;
    }
    virtual void cancelAsyncRead(std::string_view /*propertyName*/) {}

    // What the next asyncRead may take: it fails as soon as more than maxBytes have arrived, when
    // its first headBytes bytes do not satisfy acceptHead (null: any), or when it has not ended
    // deadlineMs milliseconds after it started (0: no deadline). Given before every read; a host
    // that keeps none of it may ignore it.
    struct AsyncReadLimits {
        int64_t maxBytes = 0;
        int64_t deadlineMs = 0;
        int32_t headBytes = 0;
        bool (*acceptHead)(std::span<const uint8_t> head) = nullptr;
    };
    virtual void setAsyncReadLimits(const AsyncReadLimits& /*limits*/) {}

    // The parent form's window, which owns the control's timers; 0 when there is none.
    virtual WindowId parentWindow() const = 0;
    // The timer service of the user-interface thread; null when the host has none.
    virtual TimerService* timers() = 0;

    // The host control's own state that the control forwards to. The defaults keep none of it:
    // always enabled, no mouse pointers or icons, the dotted outline in the window-frame colour
    // that the control asks for at creation.
    virtual bool enabled() const { return true; }
    virtual void setEnabled(bool /*enabled*/) {}
    virtual int16_t mousePointer() const { return 0; }
    // Returns false when the host refuses the value.
    virtual bool setMousePointer(int16_t /*pointer*/) { return false; }
    virtual PicturePtr mouseIcon() const { return nullptr; }
    // By value: a sink; hosts that keep the icon move it in.
    virtual bool setMouseIcon(PicturePtr /*icon*/) {  // NOLINT(performance-unnecessary-value-param)
        return false;
    }
    virtual int32_t lineStyle() const { return 2; }  // 0 solid ... 2 dotted ... 5 none
    virtual void setLineStyle(int32_t /*style*/) {}
    // A 0x00BBGGRR colour or a system-colour reference (top bit set).
    virtual int32_t foreColor() const { return static_cast<int32_t>(0x80000006u); }
    virtual void setForeColor(int32_t /*colour*/) {}
};

}  // namespace platform

#pragma once
// What the animated-GIF control asks of the window it sits in. A Qt widget implements it for
// real use; HeadlessHost (headless_host.h) serves tests and command-line tools.
//
// Contract shared by every implementation:
//  - Everything is called on the user-interface thread; nothing here re-enters the control from
//    another thread.
//  - `userMode` is read afresh at each use: true while the program runs, false in a designer.
//  - `refresh` repaints at once: the control's paint handler has run when the call returns.
//  - `setSize` changes the control's inner size; the host then delivers the control's resize
//    handler, also for a change the control made itself.
//  - `paintTarget` is the control's drawing target while its paint handler runs: a 24-bit
//    surface of the rounded inner size that already holds what lies behind the control, so
//    that transparent pixels show it. Outside the paint handler it may be null.
//  - `raiseEvent` returns after the host's handler has run; the control reads its by-reference
//    arguments back from `args` afterwards.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/timer_service.h"

namespace platform {

class Surface;  // platform/surface.h

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
    // The drawing target of the paint in progress; null when there is none (nothing to draw on,
    // or no paint running).
    virtual Surface* paintTarget() { return nullptr; }

    // The control's inner size in pixels (the host may keep fractions).
    virtual double scaleWidth() const = 0;
    virtual double scaleHeight() const = 0;
    // Sets the control's size from an inner size in pixels.
    virtual void setSize(double widthPx, double heightPx) = 0;

    // Converts a horizontal / vertical length in pixels to the container's units.
    virtual double scaleX(double pixels) const = 0;
    virtual double scaleY(double pixels) const = 0;

    // Marks the stored description stale: the named stored property changed.
    virtual void propertyChanged(std::string_view name) = 0;

    // Raises event `number` (1 Click ... 8 RemoteLoadFailure) with its arguments.
    virtual void raiseEvent(int32_t number, std::string_view eventName,
                            std::span<EventArg> args) = 0;

    // Read option bit of asyncRead: take the cached copy when the network fails.
    static constexpr int32_t kReadCachedCopyWhenOffline = 0x80000;

    // Starts an asynchronous read of `target` as a byte array under `propertyName`. Returns
    // false when the read could not be started. Completion and progress arrive later through
    // the control's notification handlers.
    virtual bool asyncRead(std::string_view target, std::string_view propertyName,
                           int32_t readOption) = 0;
    virtual void cancelAsyncRead(std::string_view propertyName) = 0;

    // The parent form's window, which owns the control's timers; 0 when there is none.
    virtual WindowId parentWindow() const = 0;
    // The timer service of the user-interface thread; null when the host has none.
    virtual TimerService* timers() = 0;

    // The host control's own state that the control forwards to.
    virtual bool enabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual int16_t mousePointer() const = 0;
    // Returns false when the host refuses the value.
    virtual bool setMousePointer(int16_t pointer) = 0;
    virtual PicturePtr mouseIcon() const = 0;
    virtual bool setMouseIcon(PicturePtr icon) = 0;
    virtual int32_t lineStyle() const = 0;
    virtual void setLineStyle(int32_t style) = 0;
    // A 0x00BBGGRR colour or a system-colour reference (top bit set).
    virtual int32_t foreColor() const = 0;
    virtual void setForeColor(int32_t colour) = 0;
};

}  // namespace platform

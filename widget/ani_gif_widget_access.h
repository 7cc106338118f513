#pragma once
// What the library's own programs and tests reach inside an AniGifWidget beyond its Qt face:
// the control with its state, the host, its timer service and reader, and what its paints hold.
// Not installed.
#include <cstddef>

#include "anigif/ani_gif_widget.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/qt/async_reader.h"
#include "platform/qt/qt_timer_service.h"

namespace anigif {

struct WidgetAccess {
    static ucAniGIF& control(AniGifWidget& w);
    static platform::ControlHost& host(AniGifWidget& w);
    static platform::qt::QtTimerService& timerService(AniGifWidget& w);
    static platform::qt::AsyncReader& reader(AniGifWidget& w);
    // The window the control's timers are attached to.
    static platform::WindowId parentWindow(const AniGifWidget& w);
    // Bytes the widget's paints hold between paints (its buffer and the control's).
    static std::size_t paintMemoryBytes(const AniGifWidget& w);
};

}  // namespace anigif

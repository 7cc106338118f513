#pragma once
// The frame a window manager will put around a window, asked for before the window is shown.
#include <QMargins>
#include <optional>

class QWindow;

namespace platform::qt {

// The frame (left, top, right, bottom, in the window's logical pixels) that the running window
// manager announces for `window` before it is mapped, through the extended window manager hints'
// frame-extents request. Creates the native window (unmapped) when it does not exist yet.
// Nothing when the window system is not X11, no window manager offers the request, the window is
// already shown, or no answer comes within `waitMs` milliseconds.
std::optional<QMargins> frameExtentsBeforeShowing(QWindow& window, int waitMs = 250);

}  // namespace platform::qt

#pragma once
class QWidget;

namespace windows {

// Centres a top-level window on its screen from its outer (framed) size. A window manager
// reports the frame only after the window is mapped, so the first centring can only use the
// inner size: the window is centred once more as soon as its frame size becomes known (the
// first move or resize that shows a different outer size), and then left where the user puts it.
void centreOnScreen(QWidget& window);

}  // namespace windows

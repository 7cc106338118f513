#pragma once
class QWidget;

namespace windows {

// Centres a top-level window on its screen from its outer (framed) size; call it while the
// window is being shown, before it is mapped. A window manager that announces its frame before
// mapping (the frame-extents request) lets the window be placed once, exactly, before it
// appears. Otherwise the first centring can only use the inner size, and the window is centred
// once more as soon as the frame it was given is known; after that it stays where the user
// puts it.
void centreOnScreen(QWidget& window);

}  // namespace windows

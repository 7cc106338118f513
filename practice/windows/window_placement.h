#pragma once
class QWidget;

namespace windows {

// Centres a top-level window on its screen from its outer (framed) size.
void centreOnScreen(QWidget& window);

}  // namespace windows

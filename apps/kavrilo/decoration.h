#pragma once
// The main window's decoration, ucAniGIF1: an animated-GIF control created from the stored
// description kept with the program (practice/decoration.bag, built into the executable).
#include <QByteArray>
#include <QWidget>
#include <cstdint>
#include <span>

namespace anigif {
class AniGifWidget;
}

namespace decoration {

// The stored description of ucAniGIF1 as built into the program.
std::span<const uint8_t> storedDescription() noexcept;

// Creates ucAniGIF1 filling `slot`, in the order a window creates a stored control: the
// control's starting values, its stored properties (which load the stored GIF and start the
// deferred decode), then the window's own assignment of "fc.gif" to AnimatedGIF, which a
// running control ignores. Nothing changes the control afterwards. A description that cannot
// be read leaves the control empty. The widget belongs to `slot`.
anigif::AniGifWidget* createDecoration(QWidget& slot, const QByteArray& fcGif);

}  // namespace decoration

#include "decoration.h"

#include <exception>
#include <memory>

#include "anigif/ani_gif_control.h"
#include "anigif/ani_gif_widget.h"
#include "stored_decoration.h"

namespace decoration {

std::span<const uint8_t> storedDescription() noexcept {
    return kStoredDecoration;
}

anigif::AniGifWidget* createDecoration(QWidget& slot, const QByteArray& fcGif) {
    auto* widget = new anigif::AniGifWidget(&slot);
    widget->setObjectName(slot.objectName());
    widget->setGeometry(0, 0, slot.width(), slot.height());
    anigif::AniGifControl& control = widget->control();
    try {
        control.ReadProperties(storedDescription());
    } catch (const std::exception&) {
        // A damaged description leaves the decoration empty; the window works without it.
    }
    // The window's load handler assigns "fc.gif"; in run mode the control ignores it.
    if (!fcGif.isEmpty())
        control.AnimatedGIF({reinterpret_cast<const uint8_t*>(fcGif.constData()),
                             static_cast<std::size_t>(fcGif.size())});
    widget->show();
    return widget;
}

}  // namespace decoration

#include "decoration.h"

#include <exception>
#include <memory>

#include "anigif/ani_gif_widget.h"
#include "gifcontrol/decode/bytes_to_picture.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/property_bag.h"
#include "stored_decoration.h"

namespace decoration {

std::span<const uint8_t> storedDescription() noexcept {
    return kStoredDecoration;
}

anigif::AniGifWidget* createDecoration(QWidget& slot, const QByteArray& fcGif) {
    auto* widget = new anigif::AniGifWidget(&slot);
    widget->setObjectName(slot.objectName());
    widget->setGeometry(0, 0, slot.width(), slot.height());
    anigif::ucAniGIF& control = widget->control();
    try {
        control.ReadProperties(platform::PropertyBag::fromBytes(storedDescription()));
    } catch (const std::exception&) {
        // A damaged description leaves the decoration empty; the window works without it.
    }
    // The window's load handler assigns "fc.gif"; in run mode the control ignores it.
    const auto* bytes = reinterpret_cast<const uint8_t*>(fcGif.constData());
    const std::unique_ptr<anigif::Picture> picture =
        anigif::BytesToPicture(bytes, static_cast<int64_t>(fcGif.size()));
    if (picture) control.AnimatedGIF(picture.get());
    widget->show();
    return widget;
}

}  // namespace decoration

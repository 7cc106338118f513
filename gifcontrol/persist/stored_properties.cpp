// WriteProperties and ReadProperties: the control's stored description in the host's property
// bag. The keys, their order, types and defaults are fixed: descriptions saved by one version
// must read the same in the next.
#include <cstdint>
#include <memory>
#include <span>
#include <utility>

#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/property_bag.h"

namespace anigif {

namespace {

using platform::PictureData;
using platform::PropertyValue;

constexpr int16_t kDefaultDelay = 50;
constexpr int32_t kDefaultStretch = StretchFit;
constexpr int32_t kDefaultDelayLoad = DelayFirstFrame;
// A stored "DelayLoad" of -1 (True as a Boolean) stands for the default mode.
constexpr int32_t kDelayLoadTrue = -1;

PictureData pictureOf(const platform::PicturePtr& icon) {
    return icon ? PictureData{*icon} : PictureData{};
}

}  // namespace

void ucAniGIF::WriteProperties(platform::PropertyBag& PropBag) const {
    const std::span<const uint8_t> gif = std::as_const(GifBytes).span();
    PropBag.writeProperty("GIF", platform::ByteArray(gif.begin(), gif.end()));
    PropBag.writeProperty("Delay", PropertyValue{minFrameDelay}, PropertyValue{kDefaultDelay});
    PropBag.writeProperty("Stretch", PropertyValue{stretchMode}, PropertyValue{kDefaultStretch});
    PropBag.writeProperty("Loops", PropertyValue{loopSetting}, PropertyValue{int16_t{0}});
    PropBag.writeProperty("DelayLoad", PropertyValue{delayMode}, PropertyValue{kDefaultDelayLoad});
    PropBag.writeProperty("Mirror", PropertyValue{Mirrored()}, PropertyValue{int32_t{0}});
    PropBag.writeProperty("MouseIcon", pictureOf(host_->mouseIcon()), PictureData{});
    PropBag.writeProperty("MousePointer", PropertyValue{host_->mousePointer()},
                          PropertyValue{int32_t{0}});
    PropBag.writeProperty("Enabled", PropertyValue{host_->enabled()}, PropertyValue{true});
    PropBag.writeProperty("OffsetX", PropertyValue{offsetX}, PropertyValue{int32_t{0}});
    PropBag.writeProperty("OffsetY", PropertyValue{offsetY}, PropertyValue{int32_t{0}});
    PropBag.writeProperty("BkgFill", PropertyValue{bkgColor}, PropertyValue{int32_t{0}});
    PropBag.writeProperty("BkgUsed", PropertyValue{bkgColorUsed}, PropertyValue{false});
    PropBag.writeProperty("StepDelay", PropertyValue{steppedDelay}, PropertyValue{int32_t{0}});
}

void ucAniGIF::ReadProperties(const platform::PropertyBag& PropBag) {
    // Values go straight into the fields: no clamping, no change notices. A conversion error
    // ends the read where it happens; what was applied before it stays.
    {
        const std::span<const uint8_t> held = std::as_const(GifBytes).span();
        const platform::ByteArray gif =
            PropBag.readProperty("GIF", platform::ByteArray(held.begin(), held.end())).toBytes();
        holdGifBytes(gif);
    }
    minFrameDelay = PropBag.readProperty("Delay", PropertyValue{minFrameDelay}).toInt16();
    stretchMode = PropBag.readProperty("Stretch", PropertyValue{kDefaultStretch}).toInt32();
    const int32_t delayLoad =
        PropBag.readProperty("DelayLoad", PropertyValue{kDefaultDelayLoad}).toInt32();
    delayMode = delayLoad == kDelayLoadTrue ? kDefaultDelayLoad : delayLoad;
    mirrorStyle = PropBag.readProperty("Mirror", PropertyValue{int32_t{0}}).toInt32();

    host_->setEnabled(PropBag.readProperty("Enabled", PropertyValue{true}).toBool());
    const PictureData icon = PropBag.readProperty("MouseIcon", PictureData{}).toPicture();
    host_->setMouseIcon(
        icon.empty() ? nullptr : std::make_shared<const platform::PictureBytes>(icon.encoded));
    host_->setMousePointer(
        PropBag.readProperty("MousePointer", PropertyValue{int32_t{0}}).toInt16());

    bkgColor = PropBag.readProperty("BkgFill", PropertyValue{int32_t{0}}).toInt32();
    bkgColorUsed = PropBag.readProperty("BkgUsed", PropertyValue{false}).toBool();
    steppedDelay = PropBag.readProperty("StepDelay", PropertyValue{int32_t{0}}).toInt32();
    offsetX = PropBag.readProperty("OffsetX", PropertyValue{int32_t{0}}).toInt32();
    offsetY = PropBag.readProperty("OffsetY", PropertyValue{int32_t{0}}).toInt32();

    if (LoadAndStart() == 0) return;
    // Read after the load, so that the GIF's own loop count is the value unless the bag says
    // otherwise. loopsRemaining is 32 bits wide: every stored count fits.
    loopSetting = PropBag.readProperty("Loops", PropertyValue{loopSetting}).toInt32();
    loopsRemaining = loopSetting;
}

}  // namespace anigif

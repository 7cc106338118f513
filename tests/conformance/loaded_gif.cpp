#include "tests/conformance/loaded_gif.h"

namespace conformance {

LoadedGif::LoadedGif(std::span<const uint8_t> bytes) {
    host_.setUserMode(true);
    host_.setTimerService(&clock_);
    host_.setInnerSize(100, 100);
    control_ = std::make_unique<anigif::ucAniGIF>(host_);
    control_->delayMode = anigif::DelayOff;
    control_->stretchMode = anigif::StretchNone;
    control_->loadGifBytes(bytes);
}

std::vector<RgbaImage> LoadedGif::presentAll() {
    auto& c = *control_;
    std::vector<RgbaImage> out;
    if (c.FrameCount() == 0 || !c.Strip) return out;
    std::vector<uint8_t> maskSave, compositeSave;
    for (int32_t i = 1; i <= c.FrameCount(); ++i) {
        const auto& info = c.Frames(i);
        FrameRect f{info.Left,           info.Top,       info.Width, info.Height, info.StripX,
                    info.TransFlag == 1, info.TransIndex};
        std::span<const uint32_t> table;
        if (info.TableIndex >= 0 && static_cast<size_t>(info.TableIndex) < c.ColorTables.size())
            table = std::span<const uint32_t>(c.ColorTables[info.TableIndex]).first(256);
        if (c.Composite) {
            c.ComposeFrame(i, false, maskSave, compositeSave);
            drawFrame(*c.Composite, *c.Strip, f, table);
            out.push_back(presentComposite(*c.Composite, c.Mask.get()));
            if (info.Disposal >= 2) c.ComposeFrame(i, true, maskSave, compositeSave);
        } else {
            out.push_back(presentDirect(c.screenWidth, c.screenHeight, *c.Strip, f, table));
        }
    }
    return out;
}

}  // namespace conformance

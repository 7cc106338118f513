#include "apps/anigif-render/render_session.h"

#include <string>
#include <vector>

namespace anigifrender {

RenderSession::RenderSession(const Options& options) : options_(options) {
    host_.setUserMode(true);
    host_.setTimerService(&clock_);
    host_.setBackground(options.background);
    control_ = std::make_unique<anigif::ucAniGIF>(host_);
    host_.onPaint = [this] { control_->UserControl_Paint(); };
    host_.onResize = [this] { control_->UserControl_Resize(); };

    auto& c = *control_;
    c.DelayAnimation(anigif::DelayOff);
    if (options.size) host_.setInnerSize(options.size->first, options.size->second);
    if (options.stretch) c.Stretch(*options.stretch);
    if (options.mirror) c.Mirrored(*options.mirror);
    if (options.offset) {
        c.OffsetX(options.offset->first);
        c.OffsetY(options.offset->second);
    }
    if (options.solid) {
        c.SolidBkgColor(*options.solid);
        c.SolidBkgColorUsed(true);
    }
}

bool RenderSession::load(std::string_view fileName) {
    painted_ = 0;
    if (!control_->LoadAnimatedGIF_File(fileName)) return false;
    control_->Action(anigif::ActionPause);
    if (!options_.size) host_.setSize(control_->screenWidth, control_->screenHeight);
    return control_->FrameCount() > 0;
}

const platform::Surface* RenderSession::paintNext() {
    auto& c = *control_;
    if (c.FrameCount() == 0) return nullptr;
    if (painted_++ == 0)
        c.Refresh();
    else
        c.Action(anigif::ActionStep);
    return host_.surface();
}

std::string RenderSession::summaryLine() const {
    const auto& c = *control_;
    if (c.FrameCount() == 0) return "gif frames=0";
    return "gif frames=" + std::to_string(c.FrameCount()) +
           " width=" + std::to_string(c.screenWidth) + " height=" + std::to_string(c.screenHeight) +
           " loops=" + std::to_string(c.loopSetting);
}

std::string RenderSession::frameLine(int32_t i) const {
    const anigif::FrameInfo& f = control_->Frames(i);
    return "frame " + std::to_string(i) + " left=" + std::to_string(f.Left) +
           " top=" + std::to_string(f.Top) + " width=" + std::to_string(f.Width) +
           " height=" + std::to_string(f.Height) + " delay=" + std::to_string(f.Delay) +
           " table=" + std::to_string(f.TableIndex) + " stripx=" + std::to_string(f.StripX) +
           " transindex=" + std::to_string(f.TransIndex) +
           " transflag=" + std::to_string(f.TransFlag) + " disposal=" + std::to_string(f.Disposal);
}

std::vector<uint8_t> ppmBytes(const platform::Surface* s) {
    const int32_t width = s ? s->width() : 0, height = s ? s->height() : 0;
    const std::string header =
        "P6\n" + std::to_string(width) + ' ' + std::to_string(height) + "\n255\n";
    std::vector<uint8_t> out(header.begin(), header.end());
    out.reserve(header.size() + static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* p = s->line(y);
        for (int32_t x = 0; x < width; ++x) {  // the surface holds B, G, R
            out.push_back(p[x * 3 + 2]);
            out.push_back(p[x * 3 + 1]);
            out.push_back(p[x * 3]);
        }
    }
    return out;
}

}  // namespace anigifrender

#include "apps/anigif-render/render_session.h"

#include <png.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/memory_budget.h"

namespace anigifrender {

RenderSession::RenderSession(const Options& options) : options_(options) {
    host_.setUserMode(true);
    host_.setTimerService(&clock_);
    control_ = std::make_unique<anigif::ucAniGIF>(host_);
    host_.onPaint = [this] { paint(); };
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
    return loadWith([fileName](anigif::ucAniGIF& c) { return c.LoadAnimatedGIF_File(fileName); });
}

bool RenderSession::loadWith(const std::function<bool(anigif::ucAniGIF&)>& loader) {
    painted_ = 0;
    if (!loader(*control_)) return false;
    control_->Action(anigif::ActionPause);
    if (!options_.size) host_.setSize(control_->screenWidth, control_->screenHeight);
    return control_->FrameCount() > 0;
}

void RenderSession::paint() {
    framePainted_ = false;
    // The inner size in whole pixels, as the paint covers it.
    auto pixels = [](double v) {
        return std::isfinite(v) && v >= 0.5 ? static_cast<int64_t>(std::min(std::round(v), 1e6))
                                            : int64_t{0};
    };
    const int64_t w = pixels(host_.scaleWidth()), h = pixels(host_.scaleHeight());
    // The painted pixels share the control's budget.
    if (w == 0 || h == 0 || w * h * 4 > static_cast<int64_t>(control_->paintRoomBytes())) {
        frame_ = {};
        return;
    }
    frame_.width = static_cast<int32_t>(w);
    frame_.height = static_cast<int32_t>(h);
    frame_.pixels.assign(static_cast<std::size_t>(w * h), 0xFF000000u | options_.background);
    anigif::PaintTarget target;
    target.pixels = frame_.pixels.data();
    target.stride = w * 4;
    target.width = frame_.width;
    target.height = frame_.height;
    framePainted_ = true;
    control_->paintInto(target);
}

const PaintedFrame* RenderSession::paintNext() {
    auto& c = *control_;
    if (c.FrameCount() == 0) return nullptr;
    if (painted_++ == 0)
        c.Refresh();
    else
        c.Action(anigif::ActionStep);
    return framePainted_ ? &frame_ : nullptr;
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

std::vector<uint8_t> ppmBytes(const PaintedFrame* s) {
    const int32_t width = s ? s->width : 0, height = s ? s->height : 0;
    const std::string header =
        "P6\n" + std::to_string(width) + ' ' + std::to_string(height) + "\n255\n";
    std::vector<uint8_t> out(header.begin(), header.end());
    out.reserve(header.size() + static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t rgb = s->colorAt(x, y);
            out.push_back(static_cast<uint8_t>(rgb >> 16));
            out.push_back(static_cast<uint8_t>(rgb >> 8));
            out.push_back(static_cast<uint8_t>(rgb));
        }
    return out;
}

std::vector<uint8_t> pngBytes(const PaintedFrame* s) {
    const int32_t width = s ? s->width : 0, height = s ? s->height : 0;
    std::vector<uint8_t> out;
    if (width < 1 || height < 1) return out;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb;
    rgb.reserve(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t c = s->colorAt(x, y);
            rgb.push_back(static_cast<uint8_t>(c >> 16));
            rgb.push_back(static_cast<uint8_t>(c >> 8));
            rgb.push_back(static_cast<uint8_t>(c));
        }
    // libpng's simplified writer: first the size it needs, then the file.
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr)) return out;
    out.resize(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgb.data(), 0, nullptr))
        out.clear();
    out.resize(size);
    return out;
}

}  // namespace anigifrender

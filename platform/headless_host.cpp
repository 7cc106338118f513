#include "platform/headless_host.h"

#include <algorithm>
#include <cmath>

namespace platform {

void HeadlessHost::clearRecords() {
    refreshes_ = 0;
    changed_.clear();
    events_.clear();
    reads_.clear();
    cancels_.clear();
}

void HeadlessHost::refresh() {
    ++refreshes_;
    surfaceReady_ = false;
    struct Painting {
        bool& flag;
        explicit Painting(bool& f) : flag(f) { flag = true; }
        ~Painting() { flag = false; }
    } painting(painting_);
    if (onPaint) onPaint();
}

Surface* HeadlessHost::paintTarget() {
    if (!painting_) return nullptr;
    if (surfaceReady_) return surface_.get();
    surfaceReady_ = true;
    // The inner size in whole pixels, kept within what a surface can hold.
    auto pixels = [](double v) {
        return std::isfinite(v) && v >= 0.5 ? static_cast<int32_t>(std::min(std::nearbyint(v), 1e6))
                                            : 0;
    };
    const int32_t w = pixels(width_), h = pixels(height_);
    if (w == 0 || h == 0) {
        surface_.reset();
    } else if (!surface_ || surface_->width() != w || surface_->height() != h) {
        surface_ = Surface::create(24, w, h);
    }
    if (surface_) surface_->fill(0, 0, w, h, background_);
    return surface_.get();
}

void HeadlessHost::setSize(double widthPx, double heightPx) {
    width_ = widthPx;
    height_ = heightPx;
    if (onResize) onResize();
}

void HeadlessHost::raiseEvent(int32_t number, std::string_view eventName,
                              std::span<EventArg> args) {
    if (onEvent) onEvent(number, eventName, args);
    RecordedEvent rec;
    rec.number = number;
    rec.name = std::string(eventName);
    for (const auto& a : args) rec.args.emplace_back(std::string(a.name), a.value);
    events_.push_back(std::move(rec));
}

bool HeadlessHost::asyncRead(std::string_view target, std::string_view propertyName,
                             int32_t readOption) {
    if (!asyncAccepted_) return false;
    reads_.push_back({std::string(target), std::string(propertyName), readOption});
    return onAsyncRead ? onAsyncRead(target, propertyName, readOption) : true;
}

bool HeadlessHost::setMousePointer(int16_t pointer) {
    // The host knows pointers 0..15 and 99 (custom icon).
    if ((pointer < 0 || pointer > 15) && pointer != 99) return false;
    mousePointer_ = pointer;
    return true;
}

}  // namespace platform

#include "gifcontrol/decode/bytes_to_picture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/gif_decoder.h"

namespace anigif {

uint8_t Picture::index(int32_t x, int32_t y) const noexcept {
    return static_cast<uint8_t>(pixels_->pixel(x, y));
}

std::vector<uint8_t> Picture::indices() const {
    const auto w = static_cast<std::size_t>(width());
    std::vector<uint8_t> out(w * static_cast<std::size_t>(height()));
    for (int32_t y = 0; y < height(); ++y)
        std::memcpy(out.data() + static_cast<std::size_t>(y) * w, pixels_->line(y), w);
    return out;
}

void Picture::render(platform::Surface& target, int32_t dx, int32_t dy, int32_t dw, int32_t dh,
                     int32_t x, int32_t y, int32_t cx, int32_t cy) const noexcept {
    if (cx == 0 || cy == 0 || dw == 0 || dh == 0) return;
    // Picture units run upwards from the bottom edge; the surface counts lines from the top.
    // An edge at picture x is the left edge of column x; an edge at picture y is the top edge
    // of line height - y.
    const int64_t h = height();
    const int64_t sx = cx > 0 ? int64_t{x} : int64_t{x} - 1;
    const int64_t sy = cy < 0 ? h - y : h - y - 1;
    const int64_t sh = -int64_t{cy};
    auto fits = [](int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; };
    if (!fits(sx) || !fits(sy) || !fits(sh)) return;
    if (transparent_ < 0) {
        platform::stretchBlt(target, dx, dy, dw, dh, *pixels_, static_cast<int32_t>(sx),
                             static_cast<int32_t>(sy), cx, static_cast<int32_t>(sh),
                             platform::kRopCopy);
        return;
    }
    renderTransparent(target, dx, dy, dw, dh, static_cast<int32_t>(sx), static_cast<int32_t>(sy),
                      cx, static_cast<int32_t>(sh));
}

void Picture::renderTransparent(platform::Surface& target, int32_t dx, int32_t dy, int32_t dw,
                                int32_t dh, int32_t sx, int32_t sy, int32_t sw,
                                int32_t sh) const noexcept {
    // The part of the target rectangle inside the target.
    const int64_t x0 = std::max<int64_t>(dx, 0), y0 = std::max<int64_t>(dy, 0);
    const int64_t x1 = std::min<int64_t>(int64_t{dx} + std::abs(int64_t{dw}), target.width());
    const int64_t y1 = std::min<int64_t>(int64_t{dy} + std::abs(int64_t{dh}), target.height());
    if (x1 <= x0 || y1 <= y0) return;
    const auto w = static_cast<int32_t>(x1 - x0), h = static_cast<int32_t>(y1 - y0);
    const auto ox = static_cast<int32_t>(dx - x0), oy = static_cast<int32_t>(dy - y0);

    // The scaled indices of that part, and which of them are drawn: the same nearest-neighbour
    // mapping applied to the picture and to its coverage (1 = opaque), so that target pixels
    // whose source lies outside the picture stay uncovered too.
    auto indices = platform::Surface::create(8, w, h);
    auto covered = platform::Surface::create(8, w, h);
    auto coverage = platform::Surface::create(8, width(), height());
    if (!indices || !covered || !coverage) return;
    const auto transparent = static_cast<uint8_t>(transparent_);
    for (int32_t y = 0; y < height(); ++y) {
        const uint8_t* from = pixels_->line(y);
        uint8_t* to = coverage->line(y);
        for (int32_t x = 0; x < width(); ++x) to[x] = from[x] != transparent;
    }
    platform::stretchBlt(*indices, ox, oy, dw, dh, *pixels_, sx, sy, sw, sh, platform::kRopCopy);
    platform::stretchBlt(*covered, ox, oy, dw, dh, *coverage, sx, sy, sw, sh, platform::kRopCopy);

    const auto colours = pixels_->colorTable();
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* index = indices->line(y);
        const uint8_t* drawn = covered->line(y);
        const auto ty = static_cast<int32_t>(y0 + y);
        for (int32_t x = 0; x < w; ++x) {
            if (!drawn[x]) continue;
            const auto tx = static_cast<int32_t>(x0 + x);
            switch (target.bitsPerPixel()) {
                case 8:
                    target.setPixel(tx, ty, index[x]);
                    break;
                case 24:
                    target.setPixel(tx, ty, colours[index[x]]);
                    break;
                default:
                    target.fill(tx, ty, 1, 1, colours[index[x]]);  // nearest table entry
                    break;
            }
        }
    }
}

std::unique_ptr<Picture> BytesToPicture(const uint8_t* bytes, int64_t length) noexcept {
    if (bytes == nullptr || length < 1) return nullptr;
    try {
        std::unique_ptr<Picture> picture(new Picture());
        picture->bytes_.assign(bytes, bytes + length);

        auto place = [&picture](const platform::GifImageInfo& info) -> platform::GifLineTarget {
            const int64_t w = std::max<int64_t>(info.screenWidth, int64_t{info.left} + info.width);
            const int64_t h = std::max<int64_t>(info.screenHeight, int64_t{info.top} + info.height);
            if (w > INT32_MAX || h > INT32_MAX) return {};
            picture->pixels_ = platform::Surface::create(8, static_cast<int32_t>(w),
                                                         static_cast<int32_t>(h), info.colors);
            if (!picture->pixels_) return {};
            picture->colors_ = info.colors;
            picture->transparent_ = info.transparentIndex;
            platform::Surface& s = *picture->pixels_;
            const bool covers =
                info.left == 0 && info.top == 0 && info.width == w && info.height == h;
            if (info.background != 0 && !covers) s.fillBytes(info.background);
            if (info.width <= 0 || info.height <= 0) {
                // Nothing to decode, but the image exists: hand over a valid line anyway.
                return {s.line(0), 0};
            }
            // The image lines are zero-filled before decoding: a cut stream leaves them at 0.
            if (info.background != 0 && !covers) {
                for (int32_t y = 0; y < info.height; ++y)
                    std::memset(s.line(info.top + y) + info.left, 0,
                                static_cast<std::size_t>(info.width));
            }
            return {s.line(info.top) + info.left, -static_cast<std::ptrdiff_t>(s.rowBytes())};
        };

        const auto status = platform::decodeFirstGifImage(
            std::span<const uint8_t>(picture->bytes_.data(), picture->bytes_.size()), place);
        if (status != platform::GifDecodeStatus::Complete &&
            status != platform::GifDecodeStatus::Partial)
            return nullptr;
        return picture;
    } catch (...) {
        return nullptr;
    }
}

}  // namespace anigif

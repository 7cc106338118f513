#pragma once
// Picture from bytes: a complete GIF in memory in, a picture (or none) out. This is the only way
// the control decodes image data; decoding itself is done by the giflib adapter.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/surface.h"

namespace anigif {

// A decoded still picture: the first image of a GIF stream.
//
// Its size is the stream's logical screen, enlarged where needed to hold the image; the image
// sits at its stored position and pixels outside it hold the background index. A stream cut
// inside the image data keeps the lines decoded so far; the rest is index 0.
class Picture {
  public:
    int32_t width() const noexcept { return pixels_->width(); }
    int32_t height() const noexcept { return pixels_->height(); }

    // Colour index at (x, y), y = 0 the top line; 0 outside the picture.
    uint8_t index(int32_t x, int32_t y) const noexcept;
    // All indices, row-major, top line first (width * height bytes).
    std::vector<uint8_t> indices() const;
    // The pixels as an 8-bit surface whose colour table is colorTable() padded with black.
    const platform::Surface& surface() const noexcept { return *pixels_; }

    // The colour table of the image (local, else global), 0x00RRGGBB; empty when the stream has
    // none (the surface's table is then all black).
    const std::vector<uint32_t>& colorTable() const noexcept { return colors_; }
    // Transparent index from the image's graphic control extension, or -1. render() leaves the
    // target unchanged under pixels of this index.
    int32_t transparentIndex() const noexcept { return transparent_; }
    // The encoded bytes the picture was made from.
    const std::vector<uint8_t>& bytes() const noexcept { return bytes_; }

    // Draws the source rectangle of the picture scaled into the target rectangle
    // (dx, dy, dw, dh) of `target` (pixels, y downwards).
    //
    // Picture units are pixels measured from the picture's bottom-left corner with y upwards,
    // as picture objects usually measure themselves. The source rectangle spans x .. x + cx and
    // y .. y + cy; the target's left edge takes the source's x edge and its top edge the
    // source's y edge, so a negative extent mirrors that axis relative to the upright drawing.
    // Drawing upright: source origin (0, height()), extent (width(), -height()).
    //
    // Onto an 8-bit target the picture's own indices are written unchanged (the control's
    // strip shares the index-coding table with the rebuilt frames, so going through colours
    // would give the same indices); onto 24 and 1 bits the colours go through the colour table.
    // Pixels of the transparent index are not drawn: the target shows through them. Scaling
    // takes the nearest source pixel, so that indices and transparent edges stay exact.
    void render(platform::Surface& target, int32_t dx, int32_t dy, int32_t dw, int32_t dh,
                int32_t x, int32_t y, int32_t cx, int32_t cy) const noexcept;

  private:
    friend std::unique_ptr<Picture> BytesToPicture(const uint8_t* bytes, int64_t length) noexcept;
    Picture() = default;
    // render() for a picture with a transparent index; source already in surface coordinates.
    void renderTransparent(platform::Surface& target, int32_t dx, int32_t dy, int32_t dw,
                           int32_t dh, int32_t sx, int32_t sy, int32_t sw,
                           int32_t sh) const noexcept;

    std::unique_ptr<platform::Surface> pixels_;
    std::vector<uint32_t> colors_;
    int32_t transparent_ = -1;
    std::vector<uint8_t> bytes_;
};

// Decodes the first `length` bytes at `bytes` as a GIF. Returns null, never throws, for bytes
// that are not a GIF image, a null pointer, a length below 1, a picture beyond the surface
// budget or a failed allocation.
std::unique_ptr<Picture> BytesToPicture(const uint8_t* bytes, int64_t length) noexcept;

inline std::unique_ptr<Picture> BytesToPicture(std::span<const uint8_t> bytes) noexcept {
    return BytesToPicture(bytes.data(), static_cast<int64_t>(bytes.size()));
}

}  // namespace anigif

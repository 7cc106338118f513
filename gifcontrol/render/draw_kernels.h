#pragma once
// The pixel loops behind BlitFrame. Exact copies combine the target with a source through colour
// lookups (copy, or AND then OR); scaled copies average areas of the source with premultiplied
// coverage, so that a transparent edge blends with the target instead of darkening it.
//
// Targets are canvases: a 24-bit surface of the control's own, or premultiplied ARGB pixels a
// host owns. On the latter every operation gives, in one pass, exactly the colour and alpha that
// painting twice, over black and over white, would reveal: a pixel p (colour c, alpha a) stands
// for c over black and c + 255 - a over white, each operation is applied to both, and what the
// two give back is the new colour and alpha.
//
// Every function clips to the canvas, its clip rectangle and the source; nothing outside them is
// read or written.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/surface.h"

namespace anigif::draw {

// Where a draw lands. A canvas is width x height pixels: every draw is cut at its edges, as at a
// surface's, and only pixels inside its clip rectangle are written. Pixels are three bytes
// (blue, green, red: a 24-bit surface) or, with `alpha`, 32-bit words 0xAARRGGBB with colours
// premultiplied by alpha.
struct Canvas {
    uint8_t* base = nullptr;           // buffer pixel (0, 0)
    std::ptrdiff_t stride = 0;         // bytes from one buffer line to the one below it
    int32_t bufferX = 0, bufferY = 0;  // buffer position of canvas pixel (0, 0)
    int32_t width = 0, height = 0;
    int32_t clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;  // inside the canvas
    bool alpha = false;

    // All of a 24-bit surface.
    static Canvas of(platform::Surface& surface) noexcept;
    bool empty() const noexcept { return clipRight <= clipLeft || clipBottom <= clipTop; }
    // Canvas pixel (x, y), which must lie inside the clip rectangle.
    uint8_t* at(int32_t x, int32_t y) const noexcept {
        return base + (std::ptrdiff_t{y} + bufferY) * stride +
               (std::ptrdiff_t{x} + bufferX) * (alpha ? 4 : 3);
    }
};

// Fills the rectangle (x, y, w, h) with an opaque colour (0x00RRGGBB), cut to the clip.
void fill(const Canvas& dst, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rgb) noexcept;
// Sets one pixel to an opaque colour; nothing outside the clip.
void setPixel(const Canvas& dst, int32_t x, int32_t y, uint32_t rgb) noexcept;

// A source rectangle: an 8-bit cell or a 24-bit picture.
struct SourceRect {
    int32_t x = 0, y = 0, w = 0, h = 0;
};
struct TargetRect {
    int32_t x = 0, y = 0, w = 0, h = 0;
};

// Colours of an 8-bit source by index, 0x00RRGGBB.
using Lookup = std::array<uint32_t, 256>;

// Exact cell copy of an 8-bit source at (dx, dy), cut to the cell and the canvas. Without andLut
// every pixel becomes orLut[index]; with it the pixel becomes (target AND andLut[index]) OR
// orLut[index], byte by byte.
void cellExact(const Canvas& dst, int32_t dx, int32_t dy, const platform::Surface& src,
               const SourceRect& cell, const Lookup* andLut, const Lookup& orLut) noexcept;

// Exact copy of a 24-bit picture at (dx, dy). With a 1-bit mask of the same size the pixel
// becomes (target AND mask colour) OR picture, mask bit 1 being white.
void pictureExact(const Canvas& dst, int32_t dx, int32_t dy, const platform::Surface& src,
                  const platform::Surface* mask, const SourceRect& from) noexcept;

// Working memory of one band of rows of a scaled copy.
struct BandRows {
    std::vector<uint64_t> source;  // one source row, premultiplied channels
    std::vector<uint64_t> rows;    // horizontally averaged rows and the sum of a line
    std::size_t bytes() const noexcept {
        return (source.capacity() + rows.capacity()) * sizeof(uint64_t);
    }
};

// Working memory of the scaled copies, owned by the caller and reused between calls.
struct ScaleScratch {
    std::vector<uint64_t>& source;  // as BandRows, for the first (or only) band
    std::vector<uint64_t>& rows;
    int32_t threadLimit = 0;  // threads a large paint may use (0 = ANIGIF_THREADS or all)
    std::vector<BandRows>* bands = nullptr;  // the other bands' rows; null: made for each paint
};

// Scaled copy of an 8-bit cell into `to`. A pixel whose index has covers[index] false keeps the
// target; the rest show colours[index]. Each target pixel is the area average of the source
// pixels it covers, blended over the target by the covered share.
void cellScaled(const Canvas& dst, const TargetRect& to, const platform::Surface& src,
                const SourceRect& cell, const Lookup& colors, const std::array<bool, 256>& covers,
                ScaleScratch scratch);

// Scaled copy of a 24-bit picture into `to`; with a mask, pixels whose mask bit is 1 (white) keep
// the target.
void pictureScaled(const Canvas& dst, const TargetRect& to, const platform::Surface& src,
                   const platform::Surface* mask, const SourceRect& from, ScaleScratch scratch);

// The same onto a whole 24-bit surface (nothing for another depth).
void cellExact(platform::Surface& dst, int32_t dx, int32_t dy, const platform::Surface& src,
               const SourceRect& cell, const Lookup* andLut, const Lookup& orLut) noexcept;
void pictureExact(platform::Surface& dst, int32_t dx, int32_t dy, const platform::Surface& src,
                  const platform::Surface* mask, const SourceRect& from) noexcept;
void cellScaled(platform::Surface& dst, const TargetRect& to, const platform::Surface& src,
                const SourceRect& cell, const Lookup& colors, const std::array<bool, 256>& covers,
                ScaleScratch scratch);
void pictureScaled(platform::Surface& dst, const TargetRect& to, const platform::Surface& src,
                   const platform::Surface* mask, const SourceRect& from, ScaleScratch scratch);

// Scaled frames kept between paints. A looping animation shows the same pictures again and
// again; once one is averaged at a size, later paints blend the kept result instead of
// averaging again. A kept picture is found by what it was made from (a hash of the source
// pixels and mask, the colours and the placement), so any change to those makes a new one.
// Kept pixels take four bytes per target pixel; what would pass the budget is drawn directly.
// A kept picture covers the whole canvas, whatever part of it a draw's clip lets through, so that
// paints of other parts of the same canvas find it.
class ScaledFrames {
  public:
    explicit ScaledFrames(std::size_t budgetBytes = std::size_t{64} << 20);
    ~ScaledFrames();
    ScaledFrames(const ScaledFrames&) = delete;
    ScaledFrames& operator=(const ScaledFrames&) = delete;

    void clear() noexcept;
    // A new most the kept pictures may hold; all are dropped when they hold more.
    void setBudget(std::size_t budgetBytes) noexcept;
    // The kept pictures' pixels and tile hashes.
    std::size_t keptBytes() const noexcept;
    // Everything held: the kept pictures and the working memory of their hashing and taps.
    std::size_t bytes() const noexcept;

    // As cellScaled and pictureScaled, keeping the result under `slot`.
    void drawCell(int32_t slot, const Canvas& dst, const TargetRect& to,
                  const platform::Surface& src, const SourceRect& cell, const Lookup& colors,
                  const std::array<bool, 256>& covers, ScaleScratch scratch);
    // A caller that wrote nothing of src and mask outside the rectangles `writtenSince` (source
    // pixels) since the previous drawPicture spares hashing the rest: when that draw was of the
    // same source, the tiles outside keep their hashes. None: anything may have changed.
    void drawPicture(int32_t slot, const Canvas& dst, const TargetRect& to,
                     const platform::Surface& src, const platform::Surface* mask,
                     const SourceRect& from, ScaleScratch scratch,
                     std::optional<std::span<const SourceRect>> writtenSince = std::nullopt);
    // The same onto a whole 24-bit surface.
    void drawCell(int32_t slot, platform::Surface& dst, const TargetRect& to,
                  const platform::Surface& src, const SourceRect& cell, const Lookup& colors,
                  const std::array<bool, 256>& covers, ScaleScratch scratch);
    void drawPicture(int32_t slot, platform::Surface& dst, const TargetRect& to,
                     const platform::Surface& src, const platform::Surface* mask,
                     const SourceRect& from, ScaleScratch scratch);

  private:
    struct Kept;
    std::unique_ptr<Kept> kept_;
};

}  // namespace anigif::draw

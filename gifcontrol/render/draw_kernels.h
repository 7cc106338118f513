#pragma once
// The pixel loops behind BlitFrame, onto 24-bit targets. Exact copies combine the target with a
// source through colour lookups (copy, or AND then OR); scaled copies average areas of the
// source with premultiplied coverage, so that a transparent edge blends with the target instead
// of darkening it.
//
// Every function clips to the target and the source; nothing outside either is read or written.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/surface.h"

namespace anigif::draw {

// A source rectangle: an 8-bit cell or a 24-bit picture.
struct SourceRect {
    int32_t x = 0, y = 0, w = 0, h = 0;
};
struct TargetRect {
    int32_t x = 0, y = 0, w = 0, h = 0;
};

// Colours of an 8-bit source by index, 0x00RRGGBB.
using Lookup = std::array<uint32_t, 256>;

// Exact cell copy of an 8-bit source onto a 24-bit target at (dx, dy), cut to the cell and the
// target. Without andLut every pixel becomes orLut[index]; with it the pixel becomes
// (target AND andLut[index]) OR orLut[index], byte by byte.
void cellExact(platform::Surface& dst, int32_t dx, int32_t dy, const platform::Surface& src,
               const SourceRect& cell, const Lookup* andLut, const Lookup& orLut) noexcept;

// Exact copy of a 24-bit picture onto a 24-bit target at (dx, dy). With a 1-bit mask of the same
// size the pixel becomes (target AND mask colour) OR picture, mask bit 1 being white.
void pictureExact(platform::Surface& dst, int32_t dx, int32_t dy, const platform::Surface& src,
                  const platform::Surface* mask, const SourceRect& from) noexcept;

// Working memory of the scaled copies, owned by the caller and reused between calls.
struct ScaleScratch {
    std::vector<uint64_t>& source;  // one source row, premultiplied channels
    std::vector<uint64_t>& rows;    // horizontally averaged rows and the sum of a line
    int32_t threadLimit = 0;        // threads a large paint may use (0 = ANIGIF_THREADS or all)
};

// Scaled copy of an 8-bit cell into `to`. A pixel whose index has covers[index] false keeps the
// target; the rest show colours[index]. Each target pixel is the area average of the source
// pixels it covers, blended over the target by the covered share.
void cellScaled(platform::Surface& dst, const TargetRect& to, const platform::Surface& src,
                const SourceRect& cell, const Lookup& colors, const std::array<bool, 256>& covers,
                ScaleScratch scratch);

// Scaled copy of a 24-bit picture into `to`; with a mask, pixels whose mask bit is 1 (white) keep
// the target.
void pictureScaled(platform::Surface& dst, const TargetRect& to, const platform::Surface& src,
                   const platform::Surface* mask, const SourceRect& from, ScaleScratch scratch);

// Scaled frames kept between paints. A looping animation shows the same pictures again and
// again; once one is averaged at a size, later paints blend the kept result instead of
// averaging again. A kept picture is found by what it was made from (a hash of the source
// pixels and mask, the colours and the placement), so any change to those makes a new one.
// Kept pixels take four bytes per target pixel; what would pass the budget is drawn directly.
class ScaledFrames {
  public:
    explicit ScaledFrames(std::size_t budgetBytes = std::size_t{64} << 20);
    ~ScaledFrames();
    ScaledFrames(const ScaledFrames&) = delete;
    ScaledFrames& operator=(const ScaledFrames&) = delete;

    void clear() noexcept;
    std::size_t keptBytes() const noexcept;

    // As cellScaled and pictureScaled, keeping the result under `slot`.
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

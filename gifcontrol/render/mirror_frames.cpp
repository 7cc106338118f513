// Mirroring the decoded frames, and optionally the composite, in place.
#include <algorithm>
#include <cstring>
#include <vector>

#include "gifcontrol/render/uc_ani_gif.h"

namespace anigif {
namespace {

// Reverses columns x0 .. x0 + w - 1 of lines 0 .. h - 1 of a 1-, 8- or 24-bit surface.
void flipColumns(platform::Surface& s, int32_t x0, int32_t w, int32_t h) {
    x0 = std::max(x0, 0);
    w = std::min(w, s.width() - x0);
    h = std::min(h, s.height());
    if (w < 2 || h < 1) return;
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* line = s.line(y);
        if (s.bitsPerPixel() == 8) {
            std::reverse(line + x0, line + x0 + w);
        } else if (s.bitsPerPixel() == 24) {
            for (int32_t a = x0, b = x0 + w - 1; a < b; ++a, --b)
                std::swap_ranges(line + std::ptrdiff_t{a} * 3, line + std::ptrdiff_t{a} * 3 + 3,
                                 line + std::ptrdiff_t{b} * 3);
        } else {
            for (int32_t a = x0, b = x0 + w - 1; a < b; ++a, --b) {
                const uint32_t va = s.pixel(a, y), vb = s.pixel(b, y);
                s.setPixel(a, y, vb);
                s.setPixel(b, y, va);
            }
        }
    }
}

// Reverses lines 0 .. h - 1 within columns x0 .. x0 + w - 1 (bytes of whole rows for 1 bit,
// where the area always spans full rows).
void flipLines(platform::Surface& s, int32_t x0, int32_t w, int32_t h) {
    x0 = std::max(x0, 0);
    w = std::min(w, s.width() - x0);
    h = std::min(h, s.height());
    if (w < 1 || h < 2) return;
    std::ptrdiff_t from = 0;
    std::size_t bytes = static_cast<std::size_t>(s.rowBytes());
    if (s.bitsPerPixel() != 1) {
        const int32_t bpp = s.bitsPerPixel() / 8;
        from = std::ptrdiff_t{x0} * bpp;
        bytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(bpp);
    }
    for (int32_t a = 0, b = h - 1; a < b; ++a, --b)
        std::swap_ranges(s.line(a) + from, s.line(a) + from + bytes, s.line(b) + from);
}

}  // namespace

void ucAniGIF::MirrorFrames(int32_t newStyle, bool firstFrameOnly, bool includeComposite) {
    int32_t first = 1;
    if (mirrorStyle & kMirrorFirstFrameDone) {
        mirrorStyle &= ~kMirrorFirstFrameDone;
        first = 2;
    }
    const int32_t flips = (mirrorStyle ^ newStyle) & MirrorBoth;
    if (flips == 0) return;
    const bool horizontal = (flips & MirrorHorizontal) != 0;
    const bool vertical = (flips & MirrorVertical) != 0;
    const int32_t last = firstFrameOnly ? 1 : Frames.upperBound();
    for (int32_t i = first; i <= last; ++i) {
        FrameInfo& f = Frames(i);
        if (horizontal) {
            f.Left = platform::checkedNarrow<int32_t>(
                int64_t{screenWidth} - (int64_t{f.Left} + f.Width), "MirrorFrames");
            if (Strip) flipColumns(*Strip, f.StripX, f.Width, f.Height);
        }
        if (vertical) {
            f.Top = platform::checkedNarrow<int32_t>(
                int64_t{screenHeight} - (int64_t{f.Top} + f.Height), "MirrorFrames");
            if (Strip) flipLines(*Strip, f.StripX, f.Width, f.Height);
        }
    }
    dropKeptComposites();
    if (!includeComposite) composedThrough_ = 0;
    if (includeComposite && Composite) {
        for (platform::Surface* s : {Composite.get(), Mask.get()}) {
            if (!s) continue;
            if (horizontal) flipColumns(*s, 0, s->width(), s->height());
            if (vertical) flipLines(*s, 0, s->width(), s->height());
        }
    }
}

}  // namespace anigif

// Drawing the control: a frame straight from the strip or through the composite, the solid
// background, the design-time outline, and the control's paint and resize events.
#include <algorithm>
#include <cstdlib>

#include "gifcontrol/render/draw_kernels.h"
#include "gifcontrol/render/rounding.h"
#include "gifcontrol/render/uc_ani_gif.h"

namespace anigif {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

int32_t checkedSum(int64_t a, int64_t b, const char* source) {
    return platform::checkedNarrow<int32_t>(a + b, source);
}

// On/off runs of the host's line styles, in pixels; empty = solid.
struct LinePattern {
    int runs[6];
    int count;
};
LinePattern linePattern(int32_t style) {
    switch (style) {
        case 1:  // dash
            return {{6, 2}, 2};
        case 2:  // dot
            return {{1, 1}, 2};
        case 3:  // dash-dot
            return {{6, 2, 1, 2}, 4};
        case 4:  // dash-dot-dot
            return {{6, 2, 1, 2, 1, 2}, 6};
        default:
            return {{}, 0};
    }
}

}  // namespace

bool ucAniGIF::PaintFrame(int32_t frameIndex, platform::Surface& target) {
    if (frameIndex == 0) return false;
    const bool stretch = scaleX != 1.0f || scaleY != 1.0f;
    const FrameInfo& f = Frames(frameIndex);
    const double sx = scaleX, sy = scaleY;

    if (!Composite) {
        // The offsets move with the picture's scale on this path.
        const DrawRect rect{
            roundHalfEven(sx * checkedSum(offsetX, f.Left, "PaintFrame"), "PaintFrame"),
            roundHalfEven(sy * checkedSum(offsetY, f.Top, "PaintFrame"), "PaintFrame"),
            roundHalfEven(sx * f.Width, "PaintFrame"), roundHalfEven(sy * f.Height, "PaintFrame")};
        BlitFrame(frameIndex, target, stretch, rect);
        return true;
    }

    std::vector<uint8_t> maskSave, compositeSave;
    ComposeFrame(frameIndex, false, maskSave, compositeSave);
    BlitFrame(frameIndex, *Composite, false, {f.Left, f.Top, f.Width, f.Height});
    // The composite is presented over the whole inner area, its corner at the unscaled offsets.
    BlitFrame(-frameIndex, target, stretch,
              {offsetX, offsetY, roundHalfEven(host_->scaleWidth(), "PaintFrame"),
               roundHalfEven(host_->scaleHeight(), "PaintFrame")});
    if (f.Disposal >= 2) ComposeFrame(frameIndex, true, maskSave, compositeSave);
    return true;
}

void ucAniGIF::BlitFrame(int32_t index, platform::Surface& target, bool stretch,
                         const DrawRect& rect) {
    if (rect.h < 1 || rect.w < 1) return;
    const int32_t frame = platform::checkedNarrow<int32_t>(std::abs(int64_t{index}), "BlitFrame");
    const FrameInfo& f = Frames(frame);

    if (bkgColorUsed && &target != Composite.get()) {
        const int32_t w = roundHalfEven(double(scaleX) * screenWidth, "BlitFrame");
        const int32_t h = roundHalfEven(double(scaleY) * screenHeight, "BlitFrame");
        target.fill(0, 0, w, h, platform::colorRefToRgb(static_cast<uint32_t>(bkgColor)));
    }

    if (index < 0) {
        if (!Composite) return;
        const draw::SourceRect whole{0, 0, Composite->width(), Composite->height()};
        if (stretch)
            scaledFrames_.drawPicture(index, target, {rect.x, rect.y, rect.w, rect.h}, *Composite,
                                      Mask.get(), whole, {scaleSource_, scaleRows_, threadLimit});
        else
            draw::pictureExact(target, rect.x, rect.y, *Composite, Mask.get(),
                               {0, 0, std::min(rect.w, whole.w), std::min(rect.h, whole.h)});
        return;
    }

    if (!Strip) return;
    if (f.TableIndex < 0 || static_cast<size_t>(f.TableIndex) >= ColorTables.size())
        platform::raiseSubscript("BlitFrame");
    const ColorTable& table = ColorTables[static_cast<size_t>(f.TableIndex)];
    const bool transparent = f.TransFlag == 1;
    // All 256 entries are loaded, not only the table's colour count: an index beyond the count
    // then shows that entry of the table (black) whatever was loaded before, and the loaded-table
    // cache stays right for every index.
    constexpr size_t n = 256;

    // First pass of a transparent frame: the mask palette, white only at the transparent index,
    // so that an AND keeps the target there and clears it elsewhere.
    draw::Lookup andLut{};
    if (transparent) {
        if (MaskPalette.size() != 256) MaskPalette.assign(256, 0);
        MaskPalette[f.TransIndex] = kWhite;
        Strip->setColorTable(0, std::span<const uint32_t>(MaskPalette).first(n));
        MaskPalette[f.TransIndex] = 0;
        std::copy_n(Strip->colorTable().begin(), 256, andLut.begin());
    }
    // The frame's own colours, the transparent entry black so that the OR adds nothing there. A
    // table whose last load blackened an entry is loaded again for a frame that shows it.
    if (transparent || TableCount != f.TableIndex || loadedTableBlackened_) {
        std::array<uint32_t, 256> colours{};
        std::copy_n(table.begin(), n, colours.begin());
        if (transparent) colours[f.TransIndex] = 0;
        Strip->setColorTable(0, std::span<const uint32_t>(colours).first(n));
        TableCount = f.TableIndex;
        loadedTableBlackened_ = transparent;
    }
    draw::Lookup orLut{};
    std::copy_n(Strip->colorTable().begin(), 256, orLut.begin());

    const draw::SourceRect cell{f.StripX, 0, f.Width, f.Height};
    if (!stretch) {
        draw::cellExact(target, rect.x, rect.y, *Strip,
                        {cell.x, cell.y, std::min(rect.w, cell.w), std::min(rect.h, cell.h)},
                        transparent ? &andLut : nullptr, orLut);
        return;
    }
    // Scaled: a pixel covers the target unless the mask palette made it white.
    std::array<bool, 256> covers{};
    for (size_t k = 0; k < 256; ++k) covers[k] = !transparent || andLut[k] != kWhite;
    scaledFrames_.drawCell(index, target, {rect.x, rect.y, rect.w, rect.h}, *Strip, cell, orLut,
                           covers, {scaleSource_, scaleRows_, threadLimit});
}

void ucAniGIF::UserControl_Paint() {
    platform::Surface* target = host_->paintTarget();
    if (!target) return;
    PaintFrame(currentFrame, *target);
    if (!host_->userMode())
        drawOutline(*target, roundHalfEven(host_->scaleWidth(), "UserControl_Paint"),
                    roundHalfEven(host_->scaleHeight(), "UserControl_Paint"));
}

void ucAniGIF::drawOutline(platform::Surface& target, int32_t w, int32_t h) const {
    const int32_t style = host_->lineStyle();
    if (style == 5 || w < 1 || h < 1) return;  // 5: transparent line
    const uint32_t colour = platform::colorRefToRgb(static_cast<uint32_t>(host_->foreColor()));
    const LinePattern pattern = linePattern(style);
    int run = 0, left = pattern.count ? pattern.runs[0] : 0;
    auto plot = [&](int32_t x, int32_t y) {
        if (pattern.count == 0) return target.setPixel(x, y, colour);
        if (run % 2 == 0) target.setPixel(x, y, colour);
        if (--left == 0) {
            run = (run + 1) % pattern.count;
            left = pattern.runs[run];
        }
    };
    // Clockwise from the top-left corner; right and bottom edges exclusive of (w, h).
    const int32_t r = w - 1, b = h - 1;
    for (int32_t x = 0; x <= r; ++x) plot(x, 0);
    for (int32_t y = 1; y <= b; ++y) plot(r, y);
    if (b > 0)
        for (int32_t x = r - 1; x >= 0; --x) plot(x, b);
    if (r > 0)
        for (int32_t y = b - 1; y >= 1; --y) plot(0, y);
}

void ucAniGIF::UserControl_Resize() {
    if (currentFrame == 0 || resizeInProgress_) return;
    int32_t width = roundHalfEven(host_->scaleWidth(), "UserControl_Resize");
    int32_t height = roundHalfEven(host_->scaleHeight(), "UserControl_Resize");
    ComputeScale(width, height, scaleX, scaleY);
    struct Guard {
        bool& flag;
        explicit Guard(bool& f) : flag(f) { flag = true; }
        ~Guard() { flag = false; }
    } guard(resizeInProgress_);
    host_->setSize(width, height);
}

}  // namespace anigif

// Drawing the control: a frame straight from the strip or through the composite, the solid
// background, the design-time outline, and the control's paint and resize events, on its own
// surfaces and into a host's pixels.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "gifcontrol/render/draw_kernels.h"
#include "gifcontrol/render/rounding.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/system_colors.h"

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

// The canvas of one of the control's own surfaces: none for a depth it cannot draw on.
draw::Canvas canvasOf(platform::Surface& surface) noexcept {
    return surface.bitsPerPixel() == 24 ? draw::Canvas::of(surface) : draw::Canvas{};
}

// Half-way rounded away from zero, as a window system sizes a widget at device pixels.
double roundAway(double v) noexcept {
    return std::round(v);
}

}  // namespace

std::size_t ucAniGIF::PaintMemory::bytes() const noexcept {
    std::size_t n = (scaleSource.capacity() + scaleRows.capacity()) * sizeof(uint64_t) +
                    maskSave.capacity() + compositeSave.capacity() + scaledFrames.bytes();
    for (const draw::BandRows& b : bands) n += b.bytes();
    return n;
}

draw::ScaleScratch ucAniGIF::scaleScratch() noexcept {
    return {paintMemory_.scaleSource, paintMemory_.scaleRows, threadLimit, &paintMemory_.bands};
}

ucAniGIF::PaintView ucAniGIF::ownView() const {
    return {scaleX, scaleY, offsetX, offsetY, host_->scaleWidth(), host_->scaleHeight()};
}

bool ucAniGIF::PaintFrame(int32_t frameIndex, platform::Surface& target) {
    return paintFrameOn(frameIndex, canvasOf(target), ownView());
}

void ucAniGIF::BlitFrame(int32_t index, platform::Surface& target, bool stretch,
                         const DrawRect& rect) {
    compositeWritten(nullptr);  // the target may be the composite
    blitFrameOn(index, canvasOf(target), &target != Composite.get(), stretch, rect, ownView());
    if (&target == Composite.get()) compositeWritten(nullptr);
}

void ucAniGIF::compositeWritten(const FrameInfo* f) noexcept {
    CompositeWrites& w = compositeWrites_;
    if (!f || !w.known) {
        w = {};
        return;
    }
    if (f->Width < 1 || f->Height < 1) return;
    const int64_t x0 = f->Left, y0 = f->Top, x1 = x0 + f->Width, y1 = y0 + f->Height;
    for (int32_t k = 0; k < w.count; ++k) {
        const draw::SourceRect& r = w.rects[static_cast<std::size_t>(k)];
        if (r.x <= x0 && r.y <= y0 && int64_t{r.x} + r.w >= x1 && int64_t{r.y} + r.h >= y1) return;
    }
    if (w.count < static_cast<int32_t>(w.rects.size())) {
        w.rects[static_cast<std::size_t>(w.count++)] = {f->Left, f->Top, f->Width, f->Height};
        return;
    }
    draw::SourceRect& last = w.rects.back();
    const int64_t left = std::min<int64_t>(last.x, x0), top = std::min<int64_t>(last.y, y0);
    const int64_t right = std::max(int64_t{last.x} + last.w, x1);
    const int64_t bottom = std::max(int64_t{last.y} + last.h, y1);
    if (right - left > std::numeric_limits<int32_t>::max() ||
        bottom - top > std::numeric_limits<int32_t>::max()) {
        w = {};
        return;
    }
    last = {static_cast<int32_t>(left), static_cast<int32_t>(top),
            static_cast<int32_t>(right - left), static_cast<int32_t>(bottom - top)};
}

bool ucAniGIF::paintFrameOn(int32_t frameIndex, const draw::Canvas& target, const PaintView& view) {
    if (frameIndex == 0) return false;
    // What a finished build let go of is room for kept frames again.
    paintMemory_.scaledFrames.setBudget(keptFramesRoom());
    const bool stretch = view.scaleX != 1.0f || view.scaleY != 1.0f;
    const FrameInfo& f = Frames(frameIndex);
    const double sx = view.scaleX, sy = view.scaleY;

    if (!Composite) {
        // The offsets move with the picture's scale on this path.
        const DrawRect rect{
            roundHalfEven(sx * checkedSum(offsetX, f.Left, "PaintFrame"), "PaintFrame"),
            roundHalfEven(sy * checkedSum(offsetY, f.Top, "PaintFrame"), "PaintFrame"),
            roundHalfEven(sx * f.Width, "PaintFrame"), roundHalfEven(sy * f.Height, "PaintFrame")};
        blitFrameOn(frameIndex, target, true, stretch, rect, view);
        return true;
    }

    PaintMemory& m = paintMemory_;
    // A jump (or a paint that was skipped) first brings the composite to the frame before.
    if (frameIndex > 1 && composedThrough_ != frameIndex - 1 && composedThrough_ != frameIndex)
        composeThrough(frameIndex - 1);
    ComposeFrame(frameIndex, false, m.maskSave, m.compositeSave);
    blitFrameOn(frameIndex, draw::Canvas::of(*Composite), false, false,
                {f.Left, f.Top, f.Width, f.Height}, view);
    // The composite is presented over the whole inner area, its corner at the unscaled offsets.
    blitFrameOn(-frameIndex, target, true, stretch,
                {view.presentX, view.presentY, roundHalfEven(view.innerWidth, "PaintFrame"),
                 roundHalfEven(view.innerHeight, "PaintFrame")},
                view);
    if (f.Disposal >= 2) ComposeFrame(frameIndex, true, m.maskSave, m.compositeSave);
    composedThrough_ = frameIndex;
    keepComposite(frameIndex);
    return true;
}

void ucAniGIF::blitFrameOn(int32_t index, const draw::Canvas& target, bool onDisplay, bool stretch,
                           const DrawRect& rect, const PaintView& view) {
    if (rect.h < 1 || rect.w < 1) return;
    const int32_t frame = platform::checkedNarrow<int32_t>(std::abs(int64_t{index}), "BlitFrame");
    const FrameInfo& f = Frames(frame);

    if (bkgColorUsed && onDisplay) {
        const int32_t w = roundHalfEven(double(view.scaleX) * screenWidth, "BlitFrame");
        const int32_t h = roundHalfEven(double(view.scaleY) * screenHeight, "BlitFrame");
        draw::fill(target, 0, 0, w, h, platform::colorRefToRgb(static_cast<uint32_t>(bkgColor)));
    }

    if (index < 0) {
        if (!Composite) return;
        const draw::SourceRect whole{0, 0, Composite->width(), Composite->height()};
        if (stretch) {
            const CompositeWrites& w = compositeWrites_;
            std::optional<std::span<const draw::SourceRect>> written;
            if (w.known) written = std::span(w.rects).first(static_cast<std::size_t>(w.count));
            paintMemory_.scaledFrames.drawPicture(index, target, {rect.x, rect.y, rect.w, rect.h},
                                                  *Composite, Mask.get(), whole, scaleScratch(),
                                                  written);
            compositeWrites_ = {};  // hashed as it is now
            compositeWrites_.known = true;
        } else {
            draw::pictureExact(target, rect.x, rect.y, *Composite, Mask.get(),
                               {0, 0, std::min(rect.w, whole.w), std::min(rect.h, whole.h)});
        }
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
    paintMemory_.scaledFrames.drawCell(index, target, {rect.x, rect.y, rect.w, rect.h}, *Strip,
                                       cell, orLut, covers, scaleScratch());
}

void ucAniGIF::UserControl_Paint() {
    platform::Surface* target = host_->paintTarget();
    if (!target) return;
    const draw::Canvas canvas = canvasOf(*target);
    paintFrameOn(currentFrame, canvas, ownView());
    if (!host_->userMode())
        drawOutline(canvas, roundHalfEven(host_->scaleWidth(), "UserControl_Paint"),
                    roundHalfEven(host_->scaleHeight(), "UserControl_Paint"));
}

bool ucAniGIF::paintInto(const PaintTarget& target) {
    const int64_t lineBytes = int64_t{target.width} * 4;
    const double scale = target.deviceScale;
    if (!target.pixels || target.width < 1 || target.height < 1 ||
        (target.stride < lineBytes && -target.stride < lineBytes) || !std::isfinite(scale) ||
        !(scale > 0))
        return false;
    // The control's area at device pixels.
    const double width = roundAway(host_->scaleWidth() * scale);
    const double height = roundAway(host_->scaleHeight() * scale);
    if (!(width >= 1 && height >= 1)) return false;
    PaintView view;
    view.scaleX = static_cast<float>(scaleX * scale);
    view.scaleY = static_cast<float>(scaleY * scale);
    // The composite's corner is placed by the offsets alone, so they take the device scale
    // themselves; a frame from the strip moves with the picture's scale.
    if (Composite) {
        view.presentX =
            platform::checkedNarrow<int32_t>(std::llround(offsetX * scale), "paintInto");
        view.presentY =
            platform::checkedNarrow<int32_t>(std::llround(offsetY * scale), "paintInto");
    }
    view.innerWidth = width;
    view.innerHeight = height;

    draw::Canvas canvas;
    canvas.base = reinterpret_cast<uint8_t*>(target.pixels);
    canvas.stride = target.stride;
    canvas.bufferX = target.originX;
    canvas.bufferY = target.originY;
    canvas.width = roundHalfEven(width, "paintInto");
    canvas.height = roundHalfEven(height, "paintInto");
    canvas.alpha = true;
    // What may change, in the canvas's pixels: the canvas, the buffer and the clip.
    int64_t left = 0, top = 0, right = canvas.width, bottom = canvas.height;
    auto cut = [&](int64_t x, int64_t y, int64_t w, int64_t h) {
        left = std::max(left, x - target.originX);
        top = std::max(top, y - target.originY);
        right = std::min(right, x + w - target.originX);
        bottom = std::min(bottom, y + h - target.originY);
    };
    cut(0, 0, target.width, target.height);
    const PixelRect& clip = target.clip;
    if (clip.width > 0 && clip.height > 0) cut(clip.x, clip.y, clip.width, clip.height);
    canvas.clipLeft = static_cast<int32_t>(left);
    canvas.clipTop = static_cast<int32_t>(top);
    canvas.clipRight = static_cast<int32_t>(std::max(left, right));
    canvas.clipBottom = static_cast<int32_t>(std::max(top, bottom));

    const bool drawn = paintFrameOn(currentFrame, canvas, view);
    if (!host_->userMode()) drawOutline(canvas, canvas.width, canvas.height);
    return drawn;
}

void ucAniGIF::drawOutline(const draw::Canvas& target, int32_t w, int32_t h) const {
    const int32_t style = host_->lineStyle();
    if (style == 5 || w < 1 || h < 1) return;  // 5: transparent line
    const uint32_t colour = platform::colorRefToRgb(static_cast<uint32_t>(host_->foreColor()));
    const LinePattern pattern = linePattern(style);
    int run = 0, left = pattern.count ? pattern.runs[0] : 0;
    auto plot = [&](int32_t x, int32_t y) {
        if (pattern.count == 0) return draw::setPixel(target, x, y, colour);
        if (run % 2 == 0) draw::setPixel(target, x, y, colour);
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

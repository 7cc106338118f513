// Frame compositing: the running picture of the animation (composite) and its coverage mask,
// prepared before a frame is drawn into the composite and disposed of after presentation.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <new>

#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/memory_budget.h"

namespace anigif {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
// Kept composites: one every other frame at most (a step back then composes at most one frame
// before the one it shows), within a small share of the budget and about as much as the frame
// strip holds: a played animation never pays more than twice its decoded frames for them, and a
// step back on a long one composes a few more frames (on 100 frames of 500 x 500, about 2 ms).
constexpr int32_t kKeepEvery = 2;
constexpr std::size_t kKeptShareOfBudget = 8;
constexpr std::size_t kKeptCeiling = std::size_t{256} << 20;
constexpr std::size_t kKeptAtLeast = 2;  // composites, whatever the strip holds

int64_t checkedProduct(int64_t a, int64_t b) {
    const int64_t p = a * b;  // both factors stay far below 2^31 here
    if (p > std::numeric_limits<int32_t>::max()) platform::raiseOverflow("ComposeFrame");
    return p;
}

// The part of a row span [start, start + n) that lies inside a row of rowBytes bytes.
struct Span {
    int64_t start = 0, n = 0;
};
Span clipSpan(int64_t start, int64_t n, int64_t rowBytes) {
    const int64_t from = std::max<int64_t>(start, 0);
    const int64_t to = std::min<int64_t>(start + n, rowBytes);
    return to > from ? Span{from, to - from} : Span{};
}

// Copies `rows` rows of `n` bytes between a surface and a save buffer (save row k = picture line
// top + k, starting at byte `left` of that line). Only bytes inside the surface move.
void transferRows(platform::Surface& s, std::vector<uint8_t>& save, int32_t top, int32_t rows,
                  int64_t left, int64_t n, bool toSave) {
    const Span span = clipSpan(left, n, s.rowBytes());
    if (span.n == 0) return;
    for (int32_t k = 0; k < rows; ++k) {
        const int64_t y = int64_t{top} + k;
        if (y < 0 || y >= s.height()) continue;
        const size_t at = static_cast<size_t>(k) * static_cast<size_t>(n) +
                          static_cast<size_t>(span.start - left);
        if (at + static_cast<size_t>(span.n) > save.size()) break;
        uint8_t* line = s.line(static_cast<int32_t>(y)) + span.start;
        if (toSave)
            std::memcpy(save.data() + at, line, static_cast<size_t>(span.n));
        else
            std::memcpy(line, save.data() + at, static_cast<size_t>(span.n));
    }
}

}  // namespace

void ucAniGIF::ComposeFrame(int32_t frameIndex, bool afterPresentation,
                            std::vector<uint8_t>& maskSave, std::vector<uint8_t>& compositeSave) {
    const FrameInfo& f = Frames(frameIndex);
    if (!Composite) return;
    compositeWritten(frameIndex == 1 && !afterPresentation ? nullptr : &f);
    const int64_t compositeBytes = checkedProduct(f.Width, 3);
    // Every mask byte the frame touches, first to last: a width rounded up to 32 bits from
    // left / 8 can stop one byte short of the frame's right edge when left is not aligned.
    const int64_t maskLeft = f.Left / 8;
    const int64_t maskBytes = f.Width > 0 ? (int64_t{f.Left} + f.Width - 1) / 8 - maskLeft + 1 : 0;

    if (afterPresentation) {
        if (f.Disposal == 2) {
            Composite->fill(f.Left, f.Top, f.Width, f.Height, 0);
            if (Mask) Mask->fill(f.Left, f.Top, f.Width, f.Height, kWhite);
        } else if (f.Disposal == 3) {
            transferRows(*Composite, compositeSave, f.Top, f.Height, int64_t{f.Left} * 3,
                         compositeBytes, false);
            if (Mask) transferRows(*Mask, maskSave, f.Top, f.Height, maskLeft, maskBytes, false);
        }
        return;
    }

    if (frameIndex == 1) {
        Composite->fillBytes(0);
        if (Mask) Mask->fillBytes(0xFF);
    }

    if (f.Disposal == 3) {
        // Not cleared: a restore reads back only the bytes this save writes.
        compositeSave.resize(static_cast<size_t>(checkedProduct(compositeBytes, f.Height)));
        transferRows(*Composite, compositeSave, f.Top, f.Height, int64_t{f.Left} * 3,
                     compositeBytes, true);
        if (Mask) {
            maskSave.resize(static_cast<size_t>(checkedProduct(maskBytes, f.Height)));
            transferRows(*Mask, maskSave, f.Top, f.Height, maskLeft, maskBytes, true);
        }
    }

    if (Mask && Strip) {
        if (f.TableIndex < 0 || static_cast<size_t>(f.TableIndex) >= ColorTables.size())
            platform::raiseSubscript("ComposeFrame");
        const uint32_t count = std::min<uint32_t>(
            ColorTables[static_cast<size_t>(f.TableIndex)][kColorCountEntry], 256);
        if (MaskPalette.size() != 256) MaskPalette.assign(256, 0);
        const std::span<const uint32_t> entries(MaskPalette.data(), count);
        if (f.TransFlag == 1) {
            // Only the transparent index is white: the AND keeps the mask white exactly where
            // it was white and the frame is transparent.
            MaskPalette[f.TransIndex] = kWhite;
            Strip->setColorTable(0, entries);
            MaskPalette[f.TransIndex] = 0;
            platform::bitBlt(*Mask, f.Left, f.Top, f.Width, f.Height, *Strip, f.StripX, 0,
                             platform::kRopAnd);
        } else {
            Strip->setColorTable(0, entries);
            platform::bitBlt(*Mask, f.Left, f.Top, f.Width, f.Height, *Strip, f.StripX, 0,
                             platform::kRopCopy);
        }
        TableCount = -1;
    }
}

void ucAniGIF::composeThrough(int32_t frames) {
    if (!Composite || frames < 1) return;
    compositeWritten(nullptr);  // from a kept composite, through frames that paint nothing
    frames = std::min(frames, FrameCount());
    int32_t from = composedThrough_ > 0 && composedThrough_ <= frames ? composedThrough_ : 0;
    // The nearest kept composite at or before `frames`, when it saves work.
    auto kept = std::upper_bound(keptComposites_.begin(), keptComposites_.end(), frames,
                                 [](int32_t k, const KeptComposite& c) { return k < c.after; });
    if (kept != keptComposites_.begin() && std::prev(kept)->after > from) {
        const KeptComposite& c = *std::prev(kept);
        std::memcpy(Composite->bits(), c.composite.data(), c.composite.size());
        if (Mask) std::memcpy(Mask->bits(), c.mask.data(), c.mask.size());
        from = c.after;
    }
    PaintMemory& m = paintMemory_;
    const PaintView view = ownView();
    for (int32_t k = from + 1; k <= frames; ++k) {
        const FrameInfo& f = Frames(k);
        ComposeFrame(k, false, m.maskSave, m.compositeSave);  // frame 1 starts afresh
        blitFrameOn(k, draw::Canvas::of(*Composite), false, false,
                    {f.Left, f.Top, f.Width, f.Height}, view);
        if (f.Disposal >= 2) ComposeFrame(k, true, m.maskSave, m.compositeSave);
        composedThrough_ = k;
        keepComposite(k);
    }
}

void ucAniGIF::keepComposite(int32_t k) {
    if (!Composite || k >= FrameCount()) return;
    const std::size_t compositeBytes = Composite->sizeBytes();
    const std::size_t maskBytes = Mask ? Mask->sizeBytes() : 0;
    if (keptSpacing_ == 0) {
        const std::size_t one = std::max<std::size_t>(compositeBytes + maskBytes, 1);
        const std::size_t strip = Strip ? Strip->sizeBytes() : 0;
        const std::size_t room = std::min({platform::memoryBudgetBytes() / kKeptShareOfBudget,
                                           kKeptCeiling, std::max(strip, kKeptAtLeast * one)});
        const std::size_t most = room / one;
        keptSpacing_ =
            most == 0 ? std::numeric_limits<int32_t>::max()
                      : std::max<int32_t>(kKeepEvery,
                                          static_cast<int32_t>((FrameCount() + most - 1) / most));
    }
    if (k % keptSpacing_ != 0) return;
    auto at = std::lower_bound(keptComposites_.begin(), keptComposites_.end(), k,
                               [](const KeptComposite& c, int32_t v) { return c.after < v; });
    if (at != keptComposites_.end() && at->after == k) return;
    // A copy that cannot be made is only a slower step back.
    try {
        KeptComposite c;
        c.after = k;
        c.composite.assign(Composite->bits(), Composite->bits() + compositeBytes);
        if (Mask) c.mask.assign(Mask->bits(), Mask->bits() + maskBytes);
        keptComposites_.insert(at, std::move(c));
    } catch (const std::bad_alloc&) {
    }
}

void ucAniGIF::dropKeptComposites() noexcept {
    compositeWritten(nullptr);  // new colours, orientation or frames
    keptComposites_.clear();
    keptComposites_.shrink_to_fit();
    keptSpacing_ = 0;
}

std::size_t ucAniGIF::keptCompositeBytes() const noexcept {
    std::size_t n = 0;
    for (const KeptComposite& c : keptComposites_) n += c.composite.capacity() + c.mask.capacity();
    return n;
}

}  // namespace anigif

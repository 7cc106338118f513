// Arbitrary bytes through the whole load (parse, strip build) of a headless control in run mode,
// then every frame composed in order with its disposal, as the animation plays it, and painted
// scaled into a host's pixels of the control's 64 x 64 area (twice round, so kept scaled frames
// are used too). What the control holds never passes its memory budget.
// Every parallel pass runs on real threads however small the input, and each load is checked
// against a one-thread load of the same bytes, also as a deferred load in two passes (where idle
// threads decode frames ahead during the first).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "gifcontrol/render/uc_ani_gif.h"
#include "gifcontrol/render/work_threads.h"
#include "platform/runtime_error.h"
#include "tests/support/headless_control.h"

namespace {

// Loads `size` bytes at `data`, deferred: frame 1, then the remaining-frames pass.
bool loadDeferred(anigif::ucAniGIF& gif, const uint8_t* data, size_t size) {
    gif.DelayAnimation(anigif::DelayHold);
    if (!gif.loadGifBytes(std::span<const uint8_t>(data, size))) return false;
    bool rest = false;
    return gif.FrameCount() == 1 || gif.BuildFrames(rest);
}

// The strip and frame table of a load on one thread must equal those of the parallel load.
void compareWithOneThread(const anigif::ucAniGIF& gif, bool loaded, const uint8_t* data,
                          size_t size, bool deferred = false) {
    giftest::HeadlessControl control(64, 64);
    anigif::ucAniGIF& one = *control.gif;
    one.SetThreadLimit(1);
    const bool oneLoaded = deferred ? loadDeferred(one, data, size)
                                    : one.loadGifBytes(std::span<const uint8_t>(data, size));
    if (oneLoaded != loaded) std::abort();
    if (!loaded) return;
    if (one.FrameCount() != gif.FrameCount() || !one.Strip ||
        one.Strip->sizeBytes() != gif.Strip->sizeBytes() ||
        std::memcmp(one.Strip->bits(), gif.Strip->bits(), gif.Strip->sizeBytes()) != 0)
        std::abort();
    for (int32_t i = 1; i <= gif.FrameCount(); ++i)
        if (one.Frames(i).StripX != gif.Frames(i).StripX) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool threaded = (anigif::setPieceSchedule({true, nullptr}), true);
    (void)threaded;
    // The deferred load goes first and is gone before the main one starts: no more than two
    // controls hold their budget at once.
    {
        giftest::HeadlessControl deferred(64, 64);
        const bool ok = loadDeferred(*deferred.gif, data, size);
        if (deferred.gif->heldBytes() > deferred.gif->MemoryBudget()) std::abort();
        compareWithOneThread(*deferred.gif, ok, data, size, true);
    }
    giftest::HeadlessControl control(64, 64);
    anigif::ucAniGIF& gif = *control.gif;
    const bool loaded = gif.loadGifBytes(std::span<const uint8_t>(data, size));
    compareWithOneThread(gif, loaded, data, size);
    if (gif.heldBytes() > gif.MemoryBudget()) std::abort();
    if (!loaded) return 0;

    // What the rest of the control relies on after a load, whatever the bytes were.
    const int32_t n = gif.FrameCount();
    if (n > 32767 || !gif.Strip) std::abort();
    for (int32_t i = 1; i <= n; ++i) {
        const auto& f = gif.Frames(i);
        const bool inArea =
            f.Left + f.Width <= gif.screenWidth && f.Top + f.Height <= gif.screenHeight;
        const bool inStrip = f.StripX >= 0 && f.StripX + f.Width <= gif.Strip->width() &&
                             f.Height <= gif.Strip->height();
        const bool laidOut =
            i == 1 ? f.StripX == 0 : f.StripX == gif.Frames(i - 1).StripX + gif.Frames(i - 1).Width;
        const bool tableKnown =
            f.TableIndex >= 0 && static_cast<size_t>(f.TableIndex) < gif.ColorTables.size();
        if (!inArea || !inStrip || !laidOut || !tableKnown || f.Disposal > 3 ||
            (i == 1 && f.Disposal == 3))
            std::abort();
    }
    // A composite may legitimately be as large as the surface budget; composing such a picture
    // takes seconds per input under the fuzzer's instrumentation and finds nothing a small one
    // does not, so large pictures are only loaded.
    const int64_t area = int64_t{gif.screenWidth} * gif.screenHeight;
    if (gif.Composite && area <= (int64_t{1} << 20)) {
        std::vector<uint8_t> maskSave, compositeSave;
        // Twice round, as a looping animation does.
        for (int round = 0; round < 2; ++round)
            for (int32_t i = 1; i <= n; ++i) {
                try {
                    gif.ComposeFrame(i, false, maskSave, compositeSave);
                    gif.ComposeFrame(i, true, maskSave, compositeSave);
                } catch (const platform::RuntimeError&) {
                    // Overflow and subscript errors are the documented way to fail.
                }
            }
    }
    if (area <= (int64_t{1} << 20)) {
        std::vector<uint32_t> pixels(64 * 64);
        anigif::PaintTarget target;
        target.pixels = pixels.data();
        target.stride = 64 * 4;
        target.width = target.height = 64;
        gif.Action(anigif::ActionPause);
        for (int round = 0; round < 2; ++round)
            for (int32_t i = 1; i <= n; ++i) {
                try {
                    gif.paintInto(target);
                    gif.Action(anigif::ActionStep);
                } catch (const platform::RuntimeError&) {
                }
            }
    }
    // Paints keep scaled frames within what the budget leaves.
    if (gif.heldBytes() > gif.MemoryBudget()) std::abort();
    return 0;
}

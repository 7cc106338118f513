// Arbitrary bytes through the whole load (parse, strip build) of a headless control in run mode,
// then every frame composed in order with its disposal, as the animation plays it.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/headless_host.h"
#include "platform/manual_clock.h"
#include "platform/runtime_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::ManualClock clock;
    platform::HeadlessHost host;
    host.setUserMode(true);
    host.setTimerService(&clock);
    host.setInnerSize(64, 64);
    anigif::ucAniGIF gif(host);
    gif.delayMode = anigif::DelayOff;
    if (!gif.loadGifBytes(std::span<const uint8_t>(data, size))) return 0;

    const int32_t n = gif.FrameCount();
    // The last strip pixel of every frame is addressable.
    volatile uint32_t sink = 0;
    for (int32_t i = 1; i <= n; ++i) {
        const auto& f = gif.Frames(i);
        sink = sink + gif.Strip->pixel(f.StripX + f.Width - 1, f.Height - 1);
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
    return 0;
}

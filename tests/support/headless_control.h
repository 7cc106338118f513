#pragma once
// The control on a headless host in run mode, its timers on a manual clock, with DelayAnimation
// off so that a load decodes every frame at once: the set-up of the programs that load and paint
// without a window (benchmarks, robustness tests, fuzzers). Header only; link anigif.
#include <memory>

#include "anigif/manual_clock.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/headless_host.h"

namespace giftest {

struct HeadlessControl {
    platform::ManualClock clock;
    platform::HeadlessHost host;
    std::unique_ptr<anigif::ucAniGIF> gif;

    // The host's inner size is set before the control is made; 0 x 0 leaves it empty.
    explicit HeadlessControl(double width = 0, double height = 0) {
        host.setTimerService(&clock);
        host.setInnerSize(width, height);
        gif = std::make_unique<anigif::ucAniGIF>(host);
        gif->DelayAnimation(anigif::DelayOff);
    }
};

}  // namespace giftest

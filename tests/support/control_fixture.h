#pragma once
// The control on a headless host whose timers run on a manual clock, for the tests that drive it
// directly: paints and resizes go through the control, and each paint records the frame shown.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "anigif/manual_clock.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/headless_host.h"
#include "tests/support/gif_builder.h"

namespace giftest {

class ControlFixture : public ::testing::Test {
  protected:
    // Loads use DelayOff, so that a load decodes every frame at once and starts playing.
    ControlFixture();

    // Loads the bytes, which must load, then clears the host's records and `painted`.
    void loadBytes(const Bytes& bytes);
    void clearRecords();
    // The events recorded since the last clear, as "LoopsEnded" or "FrameChanged(3,T)".
    std::vector<std::string> events() const;
    bool timerPending() const { return clock.isPending(host.parentWindow(), gif->timerId()); }

    platform::ManualClock clock;
    platform::HeadlessHost host;
    std::unique_ptr<anigif::ucAniGIF> gif;
    std::vector<int32_t> painted;
};

}  // namespace giftest

#pragma once
// Loading a GIF into a headless control in run mode with every frame decoded at once, and
// showing each frame through the reference presentation.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/headless_host.h"
#include "platform/manual_clock.h"
#include "tests/conformance/presentation.h"

namespace conformance {

class LoadedGif {
  public:
    explicit LoadedGif(std::span<const uint8_t> bytes);

    anigif::ucAniGIF& control() { return *control_; }
    int32_t frameCount() const { return control_->FrameCount(); }

    // Frame 1..frameCount as it is presented, composed over the frames before it exactly as the
    // animation plays them in order (composite and mask when the control made them, else the
    // frame on its own). Runs the compositor; call once per load.
    std::vector<RgbaImage> presentAll();

  private:
    platform::ManualClock clock_;
    platform::HeadlessHost host_;
    std::unique_ptr<anigif::ucAniGIF> control_;
};

}  // namespace conformance

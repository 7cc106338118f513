#pragma once
// One GIF painted frame by frame through the control, as anigif-render does it: the headless
// host in run mode, DelayAnimation 0, the animation paused after the load, frame 1 painted by
// Refresh and each further frame by Action = ActionStep. Before every paint the host fills the
// control's surface with the background colour.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/headless_host.h"
#include "platform/manual_clock.h"

namespace anigifrender {

// Settings applied before the load, in this order. Unset values leave the control's own.
struct Options {
    std::optional<std::pair<int32_t, int32_t>> size;  // inner size in pixels
    std::optional<int32_t> stretch;
    std::optional<int32_t> mirror;
    std::optional<std::pair<int32_t, int32_t>> offset;
    std::optional<int32_t> solid;    // SolidBkgColor (0x00BBGGRR); also sets SolidBkgColorUsed
    uint32_t background = 0xFF00FF;  // host background, 0x00RRGGBB
};

class RenderSession {
  public:
    explicit RenderSession(const Options& options);
    RenderSession(const RenderSession&) = delete;
    RenderSession& operator=(const RenderSession&) = delete;

    // Loads the file through LoadAnimatedGIF_File; false when it does not load. Without a size
    // option the control then takes the image size.
    bool load(std::string_view fileName);

    // Paints the next frame (frame 1 on the first call) and returns the control's surface;
    // null when nothing is loaded or the control has no area.
    const platform::Surface* paintNext();

    anigif::ucAniGIF& control() { return *control_; }
    platform::HeadlessHost& host() { return host_; }

    // "gif frames=N width=W height=H loops=L"; "gif frames=0" when nothing is loaded.
    std::string summaryLine() const;
    // "frame I left=.. top=.. ... disposal=.." from the frame table.
    std::string frameLine(int32_t i) const;

  private:
    Options options_;
    platform::ManualClock clock_;
    platform::HeadlessHost host_;
    std::unique_ptr<anigif::ucAniGIF> control_;
    int32_t painted_ = 0;
};

// Binary PPM (P6) of a 24-bit surface, top line first; a 0 x 0 image for no surface.
std::vector<uint8_t> ppmBytes(const platform::Surface* surface);

}  // namespace anigifrender

#pragma once
// One GIF painted frame by frame through the control, as anigif-render does it: the headless
// host in run mode, DelayAnimation 0, the animation paused after the load, frame 1 painted by
// Refresh and each further frame by Action = ActionStep, each paint into pixels of the session's
// own that hold the background colour before it.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "anigif/manual_clock.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/headless_host.h"

namespace anigifrender {

// A painted frame: opaque pixels 0xFFRRGGBB, top line first.
struct PaintedFrame {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;

    // The colour at (x, y) as 0x00RRGGBB.
    uint32_t colorAt(int32_t x, int32_t y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)] &
               0xFFFFFFu;
    }
};

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
    // The same with another source: `loader` puts a GIF into the control and says whether one
    // loaded.
    bool loadWith(const std::function<bool(anigif::ucAniGIF&)>& loader);

    // Paints the next frame (frame 1 on the first call) and returns it; null when nothing is
    // loaded, the control has no area or its pixels would pass the memory budget.
    const PaintedFrame* paintNext();

    anigif::ucAniGIF& control() { return *control_; }
    platform::HeadlessHost& host() { return host_; }

    // "gif frames=N width=W height=H loops=L"; "gif frames=0" when nothing is loaded.
    std::string summaryLine() const;
    // "frame I left=.. top=.. ... disposal=.." from the frame table.
    std::string frameLine(int32_t i) const;

  private:
    // The host's paint: the background, then the control's paint into it.
    void paint();

    Options options_;
    platform::ManualClock clock_;
    platform::HeadlessHost host_;
    std::unique_ptr<anigif::ucAniGIF> control_;
    int32_t painted_ = 0;
    PaintedFrame frame_;
    bool framePainted_ = false;
};

// Binary PPM (P6) of a painted frame, top line first; a 0 x 0 image for none.
std::vector<uint8_t> ppmBytes(const PaintedFrame* frame);
// The same as a PNG file (8-bit RGB, top line first); empty when it cannot be encoded.
std::vector<uint8_t> pngBytes(const PaintedFrame* frame);

}  // namespace anigifrender

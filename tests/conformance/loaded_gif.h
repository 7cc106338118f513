#pragma once
// A GIF painted frame by frame exactly as anigif-render paints it (headless host, run mode,
// every frame decoded at once, frame 1 by Refresh and the rest by ActionStep), unscaled, once
// over a black and once over a white host background: where the two agree the pixel is the
// control's, where they differ the control left it transparent.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "apps/anigif-render/render_session.h"
#include "tests/conformance/suite_case.h"

namespace conformance {

class LoadedGif {
  public:
    explicit LoadedGif(const std::filesystem::path& file);

    // The control painted over black; its frame table and colour tables are the GIF's.
    anigif::ucAniGIF& control() { return overBlack_.control(); }
    int32_t frameCount() { return overBlack_.control().FrameCount(); }

    // Frame 1..frameCount as painted in order, over transparent black: a pixel the control left
    // transparent is (0, 0, 0, 0), every other pixel its colour with alpha 255. Call once.
    std::vector<RgbaImage> presentAll();

  private:
    anigifrender::RenderSession overBlack_;
    anigifrender::RenderSession overWhite_;
};

}  // namespace conformance

// Scale factors and control size for the Stretch mode.
#include <algorithm>

#include "gifcontrol/render/rounding.h"
#include "gifcontrol/render/uc_ani_gif.h"

namespace anigif {

void ucAniGIF::ComputeScale(int32_t& width, int32_t& height, float& newScaleX, float& newScaleY) {
    if (currentFrame == 0) return;
    if (stretchMode == StretchNone || screenWidth <= 0 || screenHeight <= 0) {
        newScaleX = newScaleY = 1.0f;
        width = std::min(width, screenWidth);
        height = std::min(height, screenHeight);
        return;
    }
    if (stretchMode == StretchAutoSize) {
        width = screenWidth;
        height = screenHeight;
        newScaleX = newScaleY = 1.0f;
        return;
    }
    newScaleX = static_cast<float>(static_cast<double>(width) / screenWidth);
    newScaleY = static_cast<float>(static_cast<double>(height) / screenHeight);
    if (stretchMode == StretchFill) return;
    if (stretchMode == StretchShrink && newScaleX > 1.0f && newScaleY > 1.0f) {
        newScaleX = newScaleY = 1.0f;
    } else if (newScaleX > newScaleY) {
        newScaleX = newScaleY;
    } else {
        newScaleY = newScaleX;
    }
    width = roundHalfEven(static_cast<double>(newScaleX) * screenWidth, "ComputeScale");
    height = roundHalfEven(static_cast<double>(newScaleY) * screenHeight, "ComputeScale");
}

}  // namespace anigif

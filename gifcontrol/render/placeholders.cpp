// Stand-ins for members that the rendering and animation-clock work defines. Each is a no-op
// that keeps the load sequence sound meanwhile; delete it when its real definition lands.
#include "gifcontrol/render/uc_ani_gif.h"

namespace anigif {

// Placeholder: frames stay as decoded (correct while mirrorStyle is MirrorNone).
void ucAniGIF::MirrorFrames(int32_t /*newStyle*/, bool /*firstFrameOnly*/,
                            bool /*includeComposite*/) {
    mirrorStyle &= ~kMirrorFirstFrameDone;
}

}  // namespace anigif

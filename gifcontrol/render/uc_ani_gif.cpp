// Creation, termination, the load sequence and the decoder reset of the control.
#include "gifcontrol/render/uc_ani_gif.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "gifcontrol/render/work_threads.h"

namespace anigif {
namespace {

constexpr int32_t kLineStyleDotted = 2;
constexpr int32_t kWindowFrameColour = static_cast<int32_t>(0x80000006u);

}  // namespace

ucAniGIF::ucAniGIF(platform::ControlHost& host) : host_(&host) {
    host_->setLineStyle(kLineStyleDotted);
    host_->setForeColor(kWindowFrameColour);
}

ucAniGIF::~ucAniGIF() {
    ResetDecoder();
    ReleaseTimerCallback();
}

bool ucAniGIF::inGifBytes(std::span<const uint8_t> bytes) const noexcept {
    const std::span<const uint8_t> held = GifBytes.span();
    return !bytes.empty() && bytes.data() >= held.data() &&
           bytes.data() < held.data() + held.size();
}

void ucAniGIF::holdGifBytes(std::span<const uint8_t> bytes) {
    std::vector<uint8_t> own;  // bytes that are the control's own must outlive the resize
    if (inGifBytes(bytes)) {
        own.assign(bytes.begin(), bytes.end());
        bytes = own;
    }
    if (bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        platform::raiseOverflow();
    // A large GIF is copied in pieces on the work threads: touching its fresh pages for the
    // first time costs more than the copy itself.
    const std::span<uint8_t> to = GifBytes.redimForOverwrite(static_cast<int32_t>(bytes.size()));
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    forEachPiece(workThreads(threadLimit), (bytes.size() + kPiece - 1) / kPiece,
                 bytes.size() >= 2 * kPiece, [&](std::size_t k) {
                     const std::size_t at = k * kPiece;
                     std::memcpy(to.data() + at, bytes.data() + at,
                                 std::min(kPiece, bytes.size() - at));
                 });
}

int32_t ucAniGIF::loadAndStartFrom(std::span<const uint8_t> bytes,
                                   std::shared_ptr<const void> keeper) {
    // Bytes that pass the budget alone are not copied to be refused.
    if (bytes.size() > MemoryBudget()) {
        GifBytes.clear();
        return LoadAndStart();
    }
    // Copying a large GIF and faulting in its pages costs a few per cent of its load.
    if (keeper && !inGifBytes(bytes))
        GifBytes.share(bytes, std::move(keeper));
    else if (host_->userMode() && delayMode == DelayOff && !inGifBytes(bytes))
        GifBytes.borrow(bytes);
    else
        holdGifBytes(bytes);
    const int32_t result = LoadAndStart();
    if (GifBytes.borrowed()) {  // a build that stopped short keeps what it was given
        try {
            GifBytes.own();
        } catch (...) {
            GifBytes.clear();
        }
    }
    return result;
}

bool ucAniGIF::loadGifBytes(std::span<const uint8_t> bytes) noexcept {
    try {
        return loadAndStartFrom(bytes) != 0;
    } catch (...) {
        GifBytes.clear();
        return LoadAndStart() != 0;
    }
}

int32_t ucAniGIF::LoadAndStart() noexcept {
    ResetDecoder();
    screenWidth = screenHeight = 0;
    loopSetting = 0;
    scaleX = scaleY = 0;

    int32_t result = 0;
    if (!GifBytes.empty()) {
        fillPowersOfTwo();
        result = ParseGif();
        // Nothing is built for a GIF whose surfaces would pass the budget.
        if (result != 0 && loadNeedBytes() > MemoryBudget()) result = 0;
        try {
            if (result != 0) {
                ScratchBytes.clear();
                ScratchBytes.shrink_to_fit();
                ReadPos = 0;
                bool fullBuild = true;
                if (!BuildFrames(fullBuild)) {
                    result = 0;
                } else if (host_->userMode() && result == 1) {
                    host_->refresh();
                    raiseFrameChanged(1, false);
                }
            }
        } catch (...) {
            // A failing repaint or event handler leaves the result as it stands.
        }
    }
    if (result == 0) {
        GifBytes.clear();
        ResetDecoder();
    }
    return result;
}

void ucAniGIF::ResetDecoder() noexcept {
    try {
        SetAnimationTimer(0);
    } catch (...) {
    }
    animState = ActionStop;
    Frames.clear();
    currentFrame = 0;
    ReadPos = 0;
    Strip.reset();
    Composite.reset();
    Mask.reset();
    paintMemory_.scaledFrames.clear();
    dropKeptComposites();
    composedThrough_ = 0;
    ColorTables.clear();
    ColorTables.shrink_to_fit();
    ReleaseColorTableCache();
    MaskPalette.clear();
    MaskPalette.shrink_to_fit();
    PowersOfTwo.fill(0);
    Blocks.clear();
    RebuildBuffer.clear();
    decodedAhead_.reset();
    TableCount = 0;
    ReleaseTimerCallback();
}

void ucAniGIF::raiseFrameChanged(int32_t FrameIndex, bool viaTimer) {
    platform::EventArg args[] = {{"FrameIndex", FrameIndex}, {"viaTimer", viaTimer}};
    host_->raiseEvent(EventFrameChanged, "FrameChanged", args);
}

void ucAniGIF::DelayAnimation(int32_t Mode) {
    if (Mode < DelayOff || Mode > DelayHoldFirstFrame || Mode == delayMode) return;
    delayMode = Mode;
    host_->propertyChanged("DelayAnimation");
}

}  // namespace anigif

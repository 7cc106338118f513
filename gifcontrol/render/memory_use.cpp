// The control's memory budget: what it holds, what a load will need, and what is left for the
// kept scaled frames and a host's paint buffers.
#include <algorithm>
#include <initializer_list>
#include <limits>
#include <memory>

#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/memory_budget.h"

namespace anigif {
namespace {

// The most the kept scaled frames hold, when the budget leaves room for it.
constexpr std::size_t kMostKeptFrames = std::size_t{64} << 20;
// The most frames decoded ahead hold (one byte a pixel; decode/build_frames.cpp).
constexpr std::size_t kMostAheadBytes = std::size_t{1} << 24;

std::size_t surfaceBytes(int32_t bits, int64_t width, int64_t height) noexcept {
    if (width <= 0 || height <= 0) return 0;
    if (width > std::numeric_limits<int32_t>::max()) return std::numeric_limits<std::size_t>::max();
    try {
        return static_cast<std::size_t>(platform::RowBytes(bits, static_cast<int32_t>(width))) *
               static_cast<std::size_t>(height);
    } catch (...) {
        return std::numeric_limits<std::size_t>::max();
    }
}

std::size_t sizeOf(const std::unique_ptr<platform::Surface>& s) noexcept {
    return s ? s->sizeBytes() : 0;
}

std::size_t saturatingSum(std::initializer_list<std::size_t> parts) noexcept {
    std::size_t total = 0;
    for (const std::size_t p : parts) {
        if (p > std::numeric_limits<std::size_t>::max() - total)
            return std::numeric_limits<std::size_t>::max();
        total += p;
    }
    return total;
}

}  // namespace

std::size_t ucAniGIF::MemoryBudget() const noexcept {
    const std::size_t most = platform::memoryBudgetBytes();
    return memoryBudget == 0 ? most : std::min(memoryBudget, most);
}

void ucAniGIF::MemoryBudget(std::size_t bytes) noexcept {
    memoryBudget = bytes;
    paintMemory_.scaledFrames.setBudget(keptFramesRoom());
}

std::size_t ucAniGIF::heldBytes() const noexcept {
    return saturatingSum({static_cast<std::size_t>(GifBytes.upperBound()), sizeOf(Strip),
                          sizeOf(Composite), sizeOf(Mask), decodedAheadBytes(),
                          static_cast<std::size_t>(RebuildBuffer.upperBound()),
                          paintMemory_.bytes()});
}

std::size_t ucAniGIF::loadNeedBytes() const noexcept {
    const int32_t n = Frames.upperBound();
    const std::size_t gif = static_cast<std::size_t>(GifBytes.upperBound());
    if (n < 1) return gif;
    const bool runMode = host_->userMode();
    int64_t stripWidth = 0, stripHeight = 0;
    bool allBackground = true;
    for (int32_t i = 1; i <= n; ++i) {
        const FrameInfo& f = Frames(i);
        stripWidth += f.Width;
        stripHeight = std::max<int64_t>(stripHeight, f.Height);
        if (f.Disposal != 2) allBackground = false;
    }
    const FrameInfo& first = Frames(1);
    const int64_t firstPixels = int64_t{first.Width} * first.Height;
    if (!runMode || n == 1) {
        stripWidth = first.Width;
        stripHeight = first.Height;
    }
    const std::size_t strip = surfaceBytes(8, stripWidth, stripHeight);
    std::size_t composite = 0, ahead = 0;
    if (runMode && n > 1) {
        // The mask is counted whenever a composite is made: whether it is needed is settled
        // during the build, and it is an eighth of the composite's size.
        if (!allBackground)
            composite = saturatingSum({surfaceBytes(24, screenWidth, screenHeight),
                                       surfaceBytes(1, screenWidth, screenHeight)});
        if (delayMode != DelayOff) {
            const auto rest =
                static_cast<uint64_t>(std::max<int64_t>(stripWidth * stripHeight - firstPixels, 0));
            ahead = static_cast<std::size_t>(std::min<uint64_t>(rest, kMostAheadBytes));
        }
    }
    return saturatingSum({gif, strip, composite, ahead});
}

std::size_t ucAniGIF::keptFramesRoom() const noexcept {
    const std::size_t budget = MemoryBudget();
    const std::size_t kept = paintMemory_.scaledFrames.keptBytes();
    const std::size_t others = heldBytes() - std::min(heldBytes(), kept);
    return others >= budget ? 0 : std::min(kMostKeptFrames, (budget - others) / 2);
}

std::size_t ucAniGIF::paintRoomBytes() const noexcept {
    const std::size_t budget = MemoryBudget();
    const std::size_t held = heldBytes();
    // Room the kept scaled frames may still take is not the host's.
    const std::size_t kept = paintMemory_.scaledFrames.keptBytes();
    const std::size_t keptCap = std::max(kept, keptFramesRoom());
    const std::size_t taken = saturatingSum({held, keptCap - kept});
    return taken >= budget ? 0 : budget - taken;
}

}  // namespace anigif

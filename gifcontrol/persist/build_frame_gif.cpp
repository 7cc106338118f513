// The control's side of the GIF writer: gathers one frame's cell, colour table and transparency
// and hands them to the encoder. Everything it reads belongs to the loaded GIF; nothing of the
// decoder's working state (RebuildBuffer, PowersOfTwo, ScratchBytes) is touched.
#include <algorithm>

#include "gifcontrol/decode/bytes_to_picture.h"
#include "gifcontrol/persist/gif_writer.h"
#include "gifcontrol/render/uc_ani_gif.h"

namespace anigif {

std::unique_ptr<Picture> ucAniGIF::BuildFrameGif(int32_t FrameIndex) const noexcept {
    if (FrameIndex < 1 || FrameIndex > Frames.upperBound() || !Strip) return nullptr;
    if (Strip->bitsPerPixel() != 8) return nullptr;
    const FrameInfo& frame = Frames.span()[static_cast<size_t>(FrameIndex) - 1];
    if (frame.TableIndex < 0 || static_cast<size_t>(frame.TableIndex) >= ColorTables.size())
        return nullptr;
    const ColorTable& table = ColorTables[static_cast<size_t>(frame.TableIndex)];
    const size_t count = std::min<size_t>(table[kColorCountEntry], 256);

    FrameGifSource source;
    source.stripBits = std::span<const uint8_t>(Strip->bits(), Strip->sizeBytes());
    source.stripWidth = Strip->width();
    source.stripHeight = Strip->height();
    source.stripStride = Strip->rowBytes();
    source.stripX = frame.StripX;
    source.width = frame.Width;
    source.height = frame.Height;
    source.colours = std::span<const uint32_t>(table.data(), count);
    source.transparent = frame.TransFlag == 1;
    source.transIndex = frame.TransIndex;

    // An inconsistent frame or a failed allocation gives no bytes, and then no picture.
    const std::vector<uint8_t> bytes = encodeFrameGif(source);
    if (bytes.empty()) return nullptr;
    return BytesToPicture(bytes);
}

std::unique_ptr<Picture> ucAniGIF::AnimatedGIF() const noexcept {
    if (currentFrame == 0) return nullptr;
    return BuildFrameGif(currentFrame);
}

}  // namespace anigif

#pragma once
// The control's GIF writer: encodes one frame of the frame strip as a complete single-image
// GIF89a file with its own LZW compressor. The bytes are fixed exactly:
//   0    "GIF89a", logical screen = frame width and height, packed 0x87, background 0, aspect 0
//   13   256 colour triples (red, green, blue); entries past the frame's table are black
//   781  only for a transparent frame: graphic control extension 21 F9 04 01 00 00 index 00
//   then the image descriptor at (0, 0), no local table, not interlaced; minimum code size 8;
//   LZW data in sub-blocks of 254 bytes (the last one shorter); terminator 00; trailer 3B.
// The frame's delay, disposal and position are not written.
//
// The compressor keeps a hashed string table of 5003 slots, emits a clear code first and
// again after the 4096th table entry, and grows codes from 9 to 12 bits. Every call builds
// its own tables and buffers; nothing is shared between calls or with the decoder.
#include <cstdint>
#include <span>
#include <vector>

namespace anigif {

// What the writer reads. Nothing here is owned; it is only read during the call.
struct FrameGifSource {
    // The 8-bit frame strip: `stripHeight` rows stored bottom-up (the strip's top row is the
    // last one in memory), each row `stripStride` bytes long.
    std::span<const uint8_t> stripBits;
    int32_t stripWidth = 0;
    int32_t stripHeight = 0;
    int32_t stripStride = 0;
    // The frame's cell: columns stripX .. stripX + width - 1 of the strip's top `height` rows.
    int32_t stripX = 0;
    int32_t width = 0;
    int32_t height = 0;
    // The frame's colour table, 0x00RRGGBB per entry; the first 256 at most are written.
    std::span<const uint32_t> colours;
    // A transparent frame gets the graphic control extension with this index.
    bool transparent = false;
    uint8_t transIndex = 0;
};

// Offsets of the fixed layout, for callers and tests.
inline constexpr size_t kGifColourTableOffset = 13;
inline constexpr size_t kGifAfterColourTable = 781;

// Encodes the frame. Returns the file bytes, or an empty vector when the source is
// inconsistent (the cell does not lie inside the strip, the strip bytes are too few, a side
// is negative or above 65535) or memory runs out. Never throws.
//
// A frame with no pixels (width or height 0) is written with an empty image: a clear code
// and the end code.
std::vector<uint8_t> encodeFrameGif(const FrameGifSource& source) noexcept;

}  // namespace anigif

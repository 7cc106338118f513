#pragma once
// The picture decoder: decodes the first image of a GIF stream held in memory into colour
// indices. giflib reads the records up to the image over a bounds-checked reader; the image data
// go to our own LZW decoder (lzw_decoder.h), or to giflib's when that is chosen. Interlaced row
// order is undone here. Nothing outside this adapter talks to giflib.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "platform/lzw_decoder.h"

namespace platform {

struct GifImageInfo {
    int32_t screenWidth = 0, screenHeight = 0;  // logical screen
    uint8_t background = 0;                     // background colour index of the screen
    int32_t left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    std::vector<uint32_t> colors;   // the table that applies (local, else global), 0x00RRGGBB
    int32_t transparentIndex = -1;  // from a graphic control extension before the image
};

// Where the decoder writes the image: line y (0 = top line) of the image starts at
// first + y * pitch and has room for width bytes. The lines must be zero-filled beforehand;
// lines (and the rest of a line) that the data does not reach keep their zeros. A null `first`
// refuses the image.
struct GifLineTarget {
    uint8_t* first = nullptr;
    std::ptrdiff_t pitch = 0;
};

enum class GifDecodeStatus {
    NotGif,    // no GIF signature, or the screen descriptor is unreadable
    NoImage,   // the stream holds no readable image descriptor
    Refused,   // the target callback refused the image
    Partial,   // the image data ended early or is damaged; lines decoded so far are kept
    Complete,  // every line decoded
};

// Which LZW decoder turns the image data into indices. giflib's is kept so that a user can
// compare the two and work around a fault of ours.
enum class GifFrameDecoder : uint8_t {
    Default,  // the environment's choice: ANIGIF_DECODER=giflib selects giflib, else our own
    Own,
    Giflib,
};

// What Default means in this process (ANIGIF_DECODER, read once).
GifFrameDecoder defaultGifFrameDecoder() noexcept;

using GifTargetCallback = std::function<GifLineTarget(const GifImageInfo&)>;

// Decodes the first image of `bytes`. `target` is called once, after the image descriptor has
// been read, and says where the lines go. The signature's letters are accepted in any case.
// Never throws (a throwing callback is treated as a refusal) and never reads outside `bytes`.
// With our own decoder, lines are kept exactly up to the first fault (data that end early, an
// end code before the last pixel, or a code that cannot occur): every pixel before it is the
// stream's own index, every pixel from it on is 0; `lzw`, when given, receives how many pixels
// (in the stream's order) were decoded and why decoding ended.
GifDecodeStatus decodeFirstGifImage(std::span<const uint8_t> bytes, const GifTargetCallback& target,
                                    GifFrameDecoder decoder = GifFrameDecoder::Default,
                                    LzwResult* lzw = nullptr) noexcept;

// One piece of a stream given in pieces: `size` bytes at `data`, or `size` zero bytes when
// `data` is null.
struct GifStreamPiece {
    const uint8_t* data = nullptr;
    std::size_t size = 0;
};

// The same for a stream given as pieces read one after the other, so that a stream can be put
// together around bytes held elsewhere without copying them. Each piece with data must stay
// readable for `size` bytes during the call. Zero bytes stand for bytes a stream lacks: our own
// decoder takes the image data to end where they begin.
GifDecodeStatus decodeFirstGifImage(std::span<const GifStreamPiece> pieces,
                                    const GifTargetCallback& target,
                                    GifFrameDecoder decoder = GifFrameDecoder::Default,
                                    LzwResult* lzw = nullptr) noexcept;

}  // namespace platform

#pragma once
// The GIF variant of LZW, decoded straight into an image's lines. Codes come from a 64-bit bit
// buffer; each table entry keeps its prefix, last byte, length and first eight bytes, so a
// string is written once, back to front, where it belongs (no stack, no reversal), and strings of
// up to eight bytes are a single store where the line has room. Code widths, the deferred clear
// at 4096 codes and the early change are counted exactly as giflib counts them, code for code;
// where the data stop making sense the decoding stops (see LzwEnd), and nothing is made up after
// that point.
#include <cstddef>
#include <cstdint>
#include <span>

namespace platform {

// Why decoding ended.
enum class LzwEnd : uint8_t {
    Complete,  // every pixel of the image was decoded
    DataEnd,   // the codes ran out before the last pixel
    EndCode,   // an end-of-information code before the last pixel
    BadCode,   // a code that cannot occur at its place (not yet defined, or no string before it)
    BadSize,   // a minimum code size above 8
};

struct LzwResult {
    LzwEnd end = LzwEnd::DataEnd;
    uint64_t pixels = 0;  // pixels decoded, in the stream's order (the image's own indices)
};

// Where the pixels go: line y (0 = top) starts at first + y * pitch and has width bytes, already
// zero-filled. Interlaced images arrive in their four passes and are placed line by line.
struct LzwLines {
    uint8_t* first = nullptr;
    std::ptrdiff_t pitch = 0;
    int32_t width = 0, height = 0;
    bool interlaced = false;
};

// Decodes `codes` (the image data with the sub-block length bytes removed) for a minimum code
// size of `minCodeSize`. Writes nothing outside the lines' width bytes, and after the end every
// pixel from the first one not decoded to the end of its line is zero again. Uses a table of
// fixed size per thread; never allocates while decoding.
LzwResult decodeLzw(int minCodeSize, std::span<const uint8_t> codes,
                    const LzwLines& lines) noexcept;

}  // namespace platform

#pragma once
// A small GIF writer for tests: builds streams block by block, so that tests can make exactly
// the (good or broken) files they need instead of committing binaries.
#include <cstdint>
#include <string>
#include <vector>

namespace giftest {

using Bytes = std::vector<uint8_t>;

struct GifFrame {
    int left = 0, top = 0, width = 1, height = 1;
    std::vector<uint8_t> indices;  // width * height, row-major, top row first
    bool control = false;          // write a graphic control extension before the image
    int delayCs = 0;               // hundredths of a second
    int disposal = 0;              // 0..7, as stored in the packed field
    bool transparent = false;
    uint8_t transIndex = 0;
    std::vector<uint32_t> localTable;  // 0x00RRGGBB; padded to a power of two; empty = none
    bool interlaced = false;           // indices are still given in row order
    int minCodeSize = 8;               // LZW minimum code size written to the stream
};

class GifBuilder {
  public:
    GifBuilder& signature(std::string sig) {
        signature_ = std::move(sig);
        return *this;
    }
    GifBuilder& screen(int width, int height) {
        screenW_ = width;
        screenH_ = height;
        return *this;
    }
    // 0x00RRGGBB colours; padded with black to the next power of two (at least 2).
    GifBuilder& globalTable(std::vector<uint32_t> colours);
    GifBuilder& loop(int count, std::string identifier = "NETSCAPE2.0");
    GifBuilder& comment(const std::string& text);
    GifBuilder& frame(const GifFrame& f);
    GifBuilder& raw(const Bytes& bytes);  // arbitrary bytes at this point of the stream
    // The stream so far plus the trailer 0x3B (unless trailer is false).
    Bytes build(bool trailer = true) const;

  private:
    std::string signature_ = "GIF89a";
    int screenW_ = 0, screenH_ = 0;
    std::vector<uint32_t> global_;
    Bytes body_;
};

// A frame of w x h filled by f(x, y).
template <typename F>
GifFrame makeFrame(int w, int h, F f) {
    GifFrame fr;
    fr.width = w;
    fr.height = h;
    fr.indices.resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) fr.indices[static_cast<size_t>(y) * w + x] = f(x, y);
    return fr;
}

// Valid LZW data (minimum code size byte, sub-blocks, terminator) for the indices; every index
// must be below 2^minCodeSize. Uses literal codes with regular clear codes: simple, always valid.
Bytes lzwImageData(const std::vector<uint8_t>& indices, int minCodeSize);

// A palette of n distinct colours (0x00RRGGBB) that tests can recognise.
std::vector<uint32_t> testPalette(int n);

// A w x h animation on testPalette(colours) as its global table: frame k (from 0) covers the
// screen in colour k + 1 and lasts delaysCs[k] hundredths of a second, with the given disposal.
// loops >= 0 adds a loop extension with that count.
Bytes solidAnimation(int w, int h, int colours, const std::vector<int>& delaysCs, int disposal = 0,
                     int loops = -1);

}  // namespace giftest

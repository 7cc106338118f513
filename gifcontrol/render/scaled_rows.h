#pragma once
// The two averaging steps of scaled drawing, on pixels held as four 16-bit lanes of one 64-bit
// word (blue, green, red, coverage). Weights of one target pixel add up to 256 and lanes hold at
// most 255, so no sum leaves its lane. Each step rounds a lane sum s to (s + 128) >> 8.
//
// averageRow, averageColumns and lookupRow run on the widest vector instructions the CPU has
// (chosen at run time); the *Scalar versions are the plain reference they must match bit for bit.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace anigif::draw {

// Horizontal step of one source row: out[i] = sum over k < taps of
// weights[i * taps + k] x src[start[i] + k], rounded, for i < nx. taps is even; weights hold each
// 16-bit weight repeated in all four lanes of a word, and a target pixel with fewer taps has
// weight 0 for the rest. src must be readable at start[i] + k for every k < taps (pad it).
void averageRow(const uint64_t* src, const int64_t* start, const uint64_t* weights,
                std::size_t taps, std::size_t nx, uint64_t* out) noexcept;
void averageRowScalar(const uint64_t* src, const int64_t* start, const uint64_t* weights,
                      std::size_t taps, std::size_t nx, uint64_t* out) noexcept;

// Vertical step: out[i] = sum over k < taps of weights[k] x rows[k][i], rounded, for i < n.
void averageColumns(const uint64_t* const* rows, const uint16_t* weights, std::size_t taps,
                    std::size_t n, uint64_t* out) noexcept;
void averageColumnsScalar(const uint64_t* const* rows, const uint16_t* weights, std::size_t taps,
                          std::size_t n, uint64_t* out) noexcept;

// A row of 24-bit pixels (blue, green, red bytes) as fully covered lanes.
void lanesOfPixels(const uint8_t* pixels, std::size_t n, uint64_t* out) noexcept;
void lanesOfPixelsScalar(const uint8_t* pixels, std::size_t n, uint64_t* out) noexcept;

// A row of 24-bit pixels as opaque 32-bit ones (blue, green, red, 255), for unscaled copies.
void opaquePixels(const uint8_t* pixels, std::size_t n, uint8_t* out) noexcept;
void opaquePixelsScalar(const uint8_t* pixels, std::size_t n, uint8_t* out) noexcept;

// Presenting on a host's premultiplied 32-bit pixels (blue, green, red, alpha in memory).
// presentMasked: n pixels of a 24-bit picture with a 1-bit mask, pixel i taking mask bit
// firstBit + i (bits read from the top of each byte, 1 = uncovered). A covered pixel becomes
// its colour, opaque; an uncovered one keeps `out` where the colour is black and is otherwise
// Pixels<4>::andOr(out, white, colour).
void presentMasked(const uint8_t* colour, const uint8_t* maskBits, std::size_t firstBit,
                   std::size_t n, uint8_t* out) noexcept;
void presentMaskedScalar(const uint8_t* colour, const uint8_t* maskBits, std::size_t firstBit,
                         std::size_t n, uint8_t* out) noexcept;
// blendKeptPixels: n kept pixels (premultiplied colour, three bytes, and coverage) blended
// over `out` as Pixels<4>::blend does; pixels of coverage 0 leave it alone.
void blendKeptPixels(const uint8_t* colour, const uint8_t* coverage, std::size_t n,
                     uint8_t* out) noexcept;
void blendKeptPixelsScalar(const uint8_t* colour, const uint8_t* coverage, std::size_t n,
                           uint8_t* out) noexcept;
// An 8-bit row through a colour lookup onto 24-bit pixels: out pixel i becomes the low three
// bytes of lut[indices[i]], except where indices[i] is keepIndex, which keeps what out holds (a
// keepIndex above 255 keeps nothing). lut holds 256 entries.
void lookupRow(const uint8_t* indices, std::size_t n, const uint32_t* lut, uint32_t keepIndex,
               uint8_t* out) noexcept;
void lookupRowScalar(const uint8_t* indices, std::size_t n, const uint32_t* lut, uint32_t keepIndex,
                     uint8_t* out) noexcept;

// Lanes back to bytes: blue, green, red into colour (three bytes a pixel), coverage into
// coverage. Every lane must be at most 255.
void bytesOfLanes(const uint64_t* lanes, std::size_t n, uint8_t* colour,
                  uint8_t* coverage) noexcept;
void bytesOfLanesScalar(const uint64_t* lanes, std::size_t n, uint8_t* colour,
                        uint8_t* coverage) noexcept;

// Tile hashing, first step: each tile of a row (tileBytes apart, the last one lastTileBytes
// long) folds its whole 32-byte blocks into its four streams (streams[4 c .. 4 c + 3]), word q
// of a block into stream q: s = (s ^ word) * kTileHashOdd, words read little-endian.
inline constexpr uint64_t kTileHashOdd = 0x9E3779B97F4A7C15ull;
void hashTileBlocks(uint64_t* streams, const uint8_t* row, std::size_t tiles, std::size_t tileBytes,
                    std::size_t lastTileBytes) noexcept;
void hashTileBlocksScalar(uint64_t* streams, const uint8_t* row, std::size_t tiles,
                          std::size_t tileBytes, std::size_t lastTileBytes) noexcept;

// The instruction sets (Highway target bits) the vector steps were built for that this CPU runs,
// best first; the last is the plain fallback.
std::vector<int64_t> runnableKernelTargets();
// For tests: run the vector steps on `target` (one of the above) until called with 0.
void forceKernelTarget(int64_t target) noexcept;

}  // namespace anigif::draw

#pragma once
// The GIFs the benchmarks measure, generated here and encoded with giflib's encoder, so that
// every run measures the same files: "decoration" (6 frames 200 x 200, disposal 2/1,
// transparency), "large" (100 frames on 500 x 500, sub-rectangles, disposal 1/2/3, transparency,
// a local table on every tenth frame), "huge" (20 frames 1920 x 1080 of noisy gradients) and
// "many-small" (1000 frames 64 x 64), each also interlaced.
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

using Bytes = std::vector<uint8_t>;

struct FrameSpec {
    int left = 0, top = 0, width = 0, height = 0;
    int disposal = 1;
    int transparent = -1;
    int delayCs = 10;
    std::vector<uint32_t> localTable;  // 0x00RRGGBB, 256 entries or empty
    std::vector<uint8_t> indices;      // row-major, top line first
};

struct Workload {
    std::string name;
    Bytes bytes;
    int frames = 0;
    int64_t pixels = 0;  // sum of frame areas
};

// Encodes the frames with giflib's encoder into memory (a loop block for ever); empty on failure.
Bytes encode(int screenW, int screenH, const std::vector<uint32_t>& global,
             const std::vector<FrameSpec>& frames, bool interlaced);

Workload decoration(bool interlaced);
Workload large(bool interlaced);
Workload huge(bool interlaced);
Workload manySmall(bool interlaced);

}  // namespace bench

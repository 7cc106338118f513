// Area averaging, shared by the scaled drawing entry points (scaled_kernels.cpp) and the
// cache of kept scaled frames (kept_frames.cpp). A pixel travels as four 16-bit lanes of one
// 64-bit word (blue, green, red, coverage; colours premultiplied by coverage), so one multiply
// weighs all four channels: a lane holds at most 255 x 256, and the weights of a target pixel
// add up to exactly 256. Rows are averaged horizontally, rounded to 8 bits, then vertically.
// Both steps run on vector instructions (scaled_rows.h); a large target is averaged in bands of
// rows at the same time, each band with its own working rows. Internal to the control.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

#include "gifcontrol/render/byte_runs.h"
#include "gifcontrol/render/canvas_pixels.h"
#include "gifcontrol/render/draw_kernels.h"
#include "gifcontrol/render/scaled_rows.h"
#include "gifcontrol/render/work_threads.h"
#include "platform/large_block.h"

namespace anigif::draw::area {

using platform::Surface;

constexpr uint64_t kOpaque = uint64_t{255} << 48;
constexpr uint32_t kWeightOne = 256;

inline uint64_t lanesOf(uint32_t rgb) noexcept {
    return uint64_t{rgb & 0xFF} | uint64_t{(rgb >> 8) & 0xFF} << 16 |
           uint64_t{(rgb >> 16) & 0xFF} << 32 | kOpaque;
}

inline uint32_t coverageOf(uint64_t v) noexcept {
    return static_cast<uint32_t>(v >> 48);
}

template <int N>
inline void writeLanes(uint8_t* p, uint64_t v) noexcept {
    const uint32_t coverage = coverageOf(v);
    if (coverage == 0) return;  // colours never exceed coverage, so they are 0 too
    const auto b = static_cast<uint32_t>(v & 0xFF), g = static_cast<uint32_t>((v >> 16) & 0xFF),
               r = static_cast<uint32_t>((v >> 32) & 0xFF);
    if (coverage == 255) return Pixels<N>::put(p, r << 16 | g << 8 | b);
    Pixels<N>::blend(p, b, g, r, coverage);
}

// For each target position of one axis that lies inside the target, the source positions it
// covers and their shares in 1/256.
struct AxisTaps {
    int32_t first = 0;             // first target position drawn
    std::vector<int32_t> start;    // per target position: first source position
    std::vector<uint32_t> at;      // per target position: index of its first weight; one extra
    std::vector<uint16_t> weight;  // shares, 256 in all per target position
    int32_t maxTaps = 0;

    std::size_t size() const { return start.size(); }
    int32_t end(std::size_t i) const { return start[i] + static_cast<int32_t>(at[i + 1] - at[i]); }
};

// The taps of one axis: target positions d .. d + dn - 1 (those inside [0, dstLimit)) over
// source positions 0 .. sn - 1.
AxisTaps axisTaps(int32_t d, int32_t dn, int32_t sn, int32_t dstLimit);

// Target positions [from, to) of an axis, as indices into its taps.
struct Span {
    std::size_t from = 0, to = 0;
};

// The target positions of an axis inside [lo, hi).
inline Span within(const AxisTaps& t, int32_t lo, int32_t hi) {
    const int64_t from = std::clamp<int64_t>(int64_t{lo} - t.first, 0, int64_t(t.size()));
    const int64_t to = std::clamp<int64_t>(int64_t{hi} - t.first, from, int64_t(t.size()));
    return {static_cast<std::size_t>(from), static_cast<std::size_t>(to)};
}

// The target positions whose source spans meet source positions [s0, s1).
inline Span touching(const AxisTaps& t, int32_t s0, int32_t s1) {
    // Ends never decrease: the first position ending after s0, up to the first starting at s1.
    std::size_t lo = 0, hi = t.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (t.end(mid) <= s0)
            lo = mid + 1;
        else
            hi = mid;
    }
    const auto from = static_cast<std::ptrdiff_t>(lo);
    const auto to = std::lower_bound(t.start.begin() + from, t.start.end(), s1) - t.start.begin();
    return {lo, static_cast<std::size_t>(std::max(to, from))};
}

// Source rows of an 8-bit cell and the lanes of each index.
struct IndexedRows {
    const Surface& src;
    int32_t x, y;
    const std::array<uint64_t, 256>& lanes;
    const uint8_t* indexed(int32_t r) const { return src.line(y + r) + x; }
};

// The horizontal taps of target columns `cols`, laid out for averageRow: every column gets the
// same even number of taps (the extra ones weigh 0), source positions count from the first
// column's.
struct RowTaps {
    int32_t xFrom = 0, xTo = 0;  // source columns read
    std::size_t taps = 0;
    std::vector<int64_t> start;
    std::vector<uint64_t> weights;  // columns x taps, each weight in all four lanes
};

inline RowTaps rowTaps(const AxisTaps& xs, Span cols) {
    RowTaps t;
    const std::size_t nx = cols.to - cols.from;
    t.xFrom = xs.start[cols.from];
    t.xTo = xs.end(cols.to - 1);
    for (std::size_t i = cols.from; i < cols.to; ++i)
        t.taps = std::max<std::size_t>(t.taps, xs.at[i + 1] - xs.at[i]);
    t.taps += t.taps & 1;  // pairs of taps
    t.start.resize(nx);
    t.weights.assign(t.taps * nx, 0);
    for (std::size_t i = 0; i < nx; ++i) {
        const std::size_t c = cols.from + i;
        t.start[i] = xs.start[c] - t.xFrom;
        for (uint32_t k = 0; k < xs.at[c + 1] - xs.at[c]; ++k)
            t.weights[i * t.taps + k] = uint64_t{xs.weight[xs.at[c] + k]} * 0x0001000100010001ull;
    }
    return t;
}

// Averages the source into target columns `cols` and rows `rows`. An IndexedRows source is read
// directly; any other fetch(row, from, count, out)
// writes source pixels from .. from + count - 1 of a source row as lanes; sink(j, values) takes
// target row j (an index into ys), one word of lanes per column of `cols`.
template <typename Fetch, typename Sink>
void averageArea(const RowTaps& xt, const AxisTaps& ys, std::size_t nx, Span rows,
                 ScaleScratch scratch, Fetch&& fetch, Sink&& sink) {
    if (nx == 0 || rows.to <= rows.from) return;
    const int32_t xFrom = xt.xFrom, count = xt.xTo - xt.xFrom;
    const auto slots = static_cast<std::size_t>(ys.maxTaps);
    // The source row is followed by zeros for the taps that weigh nothing.
    scratch.source.assign(static_cast<std::size_t>(count) + xt.taps, 0);
    scratch.rows.resize((slots + 1) * nx);
    uint64_t* source = scratch.source.data();
    uint64_t* sum = scratch.rows.data() + slots * nx;
    std::vector<int32_t> tags(slots, -1);
    std::vector<const uint64_t*> taps(slots);

    auto horizontal = [&](int32_t r) -> const uint64_t* {
        const std::size_t slot = static_cast<std::size_t>(r) % slots;
        uint64_t* out = scratch.rows.data() + slot * nx;
        if (tags[slot] == r) return out;
        tags[slot] = r;
        if constexpr (requires { fetch.indexed(r); }) {
            // Index rows go through their lanes table as they are read.
            const uint8_t* row = fetch.indexed(r) + xFrom;
            const auto& lanes = fetch.lanes;
            for (int32_t x = 0; x < count; ++x) source[x] = lanes[row[x]];
        } else {
            fetch(r, xFrom, count, source);
        }
        averageRow(source, xt.start.data(), xt.weights.data(), xt.taps, nx, out);
        return out;
    };

    for (std::size_t j = rows.from; j < rows.to; ++j) {
        const uint32_t n = ys.at[j + 1] - ys.at[j];
        for (uint32_t k = 0; k < n; ++k)
            taps[k] = horizontal(ys.start[j] + static_cast<int32_t>(k));
        averageColumns(taps.data(), ys.weight.data() + ys.at[j], n, nx, sum);
        sink(j, static_cast<const uint64_t*>(sum));
    }
}

// Below this many target pixels a scaled copy stays on the calling thread. A paint waits for its
// slowest band: on a machine busier than its cores a band taken by a thread that is then
// preempted costs a scheduler time slice, more than a window-sized paint takes on one thread.
constexpr std::size_t kBandPixels = std::size_t{1} << 18;
constexpr std::size_t kMinBandRows = 16;

// averageArea over columns `cols` and rows `rows`, a large area in bands of rows spread over the
// threads; each band recomputes the few source rows it shares with its neighbour.
template <typename Fetch, typename Sink>
void averageBands(const AxisTaps& xs, const AxisTaps& ys, Span cols, Span rows,
                  ScaleScratch scratch, Fetch&& fetch, Sink&& sink) {
    if (cols.to <= cols.from || rows.to <= rows.from) return;
    const RowTaps xt = rowTaps(xs, cols);
    const std::size_t nx = cols.to - cols.from, ny = rows.to - rows.from;
    const int32_t threads = workThreads(scratch.threadLimit);
    const bool large = nx * ny >= kBandPixels;
    const std::size_t bands = piecesFor(threads, ny / kMinBandRows, large);
    if (bands <= 1) return averageArea(xt, ys, nx, rows, scratch, fetch, sink);
    std::vector<BandRows> ownBands;
    std::vector<BandRows>& other = scratch.bands ? *scratch.bands : ownBands;
    if (other.size() < bands - 1) other.resize(bands - 1);
    forEachPiece(threads, bands, large, [&](std::size_t b) {
        const Span band{rows.from + ny * b / bands, rows.from + ny * (b + 1) / bands};
        averageArea(xt, ys, nx, band,
                    b == 0
                        ? scratch
                        : ScaleScratch{other[b - 1].source, other[b - 1].rows, scratch.threadLimit},
                    fetch, sink);
    });
}

// Draws straight onto the canvas's clip: each averaged row is blended over it.
template <int N, typename Fetch>
void averageOnto(const Canvas& dst, const AxisTaps& xs, const AxisTaps& ys, ScaleScratch scratch,
                 Fetch&& fetch) {
    const Span cols = within(xs, dst.clipLeft, dst.clipRight);
    const Span rows = within(ys, dst.clipTop, dst.clipBottom);
    const auto x0 = xs.first + static_cast<int32_t>(cols.from);
    averageBands(xs, ys, cols, rows, scratch, fetch, [&](std::size_t j, const uint64_t* v) {
        uint8_t* p = dst.at(x0, ys.first + static_cast<int32_t>(j));
        for (std::size_t i = 0; i < cols.to - cols.from; ++i, p += N) writeLanes<N>(p, v[i]);
    });
}

template <typename Fetch>
void averageOnto(const Canvas& dst, const AxisTaps& xs, const AxisTaps& ys, ScaleScratch scratch,
                 Fetch&& fetch) {
    if (dst.alpha)
        averageOnto<4>(dst, xs, ys, scratch, fetch);
    else
        averageOnto<3>(dst, xs, ys, scratch, fetch);
}

template <typename Fetch>
void scaledOnto(const Canvas& dst, const TargetRect& to, int32_t sw, int32_t sh,
                ScaleScratch scratch, Fetch&& fetch) {
    if (to.w < 1 || to.h < 1 || sw < 1 || sh < 1 || dst.empty()) return;
    const AxisTaps xs = axisTaps(to.x, to.w, sw, dst.width);
    const AxisTaps ys = axisTaps(to.y, to.h, sh, dst.height);
    if (xs.size() == 0 || ys.size() == 0) return;
    averageOnto(dst, xs, ys, scratch, fetch);
}

inline bool inside(const Surface& s, const SourceRect& r) {
    return r.w > 0 && r.h > 0 && r.x >= 0 && r.y >= 0 && int64_t{r.x} + r.w <= s.width() &&
           int64_t{r.y} + r.h <= s.height();
}

inline bool maskFits(const Surface& src, const Surface* mask) {
    return !mask || (mask->bitsPerPixel() == 1 && mask->width() == src.width() &&
                     mask->height() == src.height());
}

// Source pixels of a 24-bit picture as lanes; pixels whose mask bit is 1 cover nothing.
inline void fetchPicture(const Surface& src, const Surface* mask, int32_t y, int32_t x,
                         int32_t count, uint64_t* out) {
    lanesOfPixels(src.line(y) + std::ptrdiff_t{x} * 3, static_cast<std::size_t>(count), out);
    if (!mask) return;
    const uint8_t* m = mask->line(y);
    for (int32_t i = 0; i < count;) {
        const int32_t at = x + i;
        if ((at & 7) == 0 && count - i >= 8 && m[at >> 3] == 0) {
            i += 8;  // eight covered pixels
            continue;
        }
        if ((m[at >> 3] >> (7 - (at & 7))) & 1u) out[i] = 0;
        ++i;
    }
}

}  // namespace anigif::draw::area

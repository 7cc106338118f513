#include "gifcontrol/render/draw_kernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace anigif::draw {
namespace {

using platform::Surface;

// The part of one axis that a copy touches: target position d, source position s, n pixels.
struct Run {
    int32_t d = 0, s = 0, n = 0;
};

// Cuts a copy of n pixels from source position s (inside [0, srcLimit)) to target position d
// (inside [0, dstLimit)).
bool clipRun(int64_t d, int64_t s, int64_t n, int64_t srcLimit, int64_t dstLimit, Run& out) {
    if (s < 0) {
        d -= s;
        n += s;
        s = 0;
    }
    if (d < 0) {
        s -= d;
        n += d;
        d = 0;
    }
    n = std::min({n, srcLimit - s, dstLimit - d});
    if (n <= 0) return false;
    out = {static_cast<int32_t>(d), static_cast<int32_t>(s), static_cast<int32_t>(n)};
    return true;
}

inline void putRgb(uint8_t* p, uint32_t rgb) noexcept {
    p[0] = static_cast<uint8_t>(rgb);
    p[1] = static_cast<uint8_t>(rgb >> 8);
    p[2] = static_cast<uint8_t>(rgb >> 16);
}

// ---- Area averaging ------------------------------------------------------------------------

// Weights of one target pixel sum to kOne.
constexpr uint32_t kWeightBits = 12;
constexpr uint32_t kOne = 1u << kWeightBits;

// For each target position of one axis that lies inside the target, the source positions it
// covers and their shares.
struct AxisTaps {
    int32_t first = 0;             // first target position drawn
    std::vector<int32_t> start;    // per target position: first source position
    std::vector<uint32_t> at;      // per target position: index of its first weight; one extra
    std::vector<uint16_t> weight;  // shares, kOne in all per target position
    int32_t maxTaps = 0;

    std::size_t size() const { return start.size(); }
};

AxisTaps axisTaps(int32_t d, int32_t dn, int32_t s, int32_t sn, int32_t dstLimit) {
    AxisTaps t;
    const int64_t lo = std::max<int64_t>(d, 0);
    const int64_t hi = std::min<int64_t>(int64_t{d} + dn, dstLimit);
    if (hi <= lo) return t;
    t.first = static_cast<int32_t>(lo);
    const double scale = double(sn) / double(dn);
    t.start.reserve(static_cast<std::size_t>(hi - lo));
    t.at.reserve(static_cast<std::size_t>(hi - lo) + 1);
    for (int64_t pos = lo; pos < hi; ++pos) {
        const double i = double(pos - d);
        const double a = i * scale;
        const double b = std::min((i + 1) * scale, double(sn));
        int64_t k0 = std::min<int64_t>(static_cast<int64_t>(std::floor(a)), sn - 1);
        int64_t k1 = std::min<int64_t>(static_cast<int64_t>(std::ceil(b)), sn);
        if (k1 <= k0) k1 = k0 + 1;
        t.start.push_back(static_cast<int32_t>(s + k0));
        t.at.push_back(static_cast<uint32_t>(t.weight.size()));
        const double total = b - a;
        double covered = 0;
        uint32_t given = 0;
        for (int64_t k = k0; k < k1; ++k) {
            covered += std::max(0.0, std::min(b, double(k + 1)) - std::max(a, double(k)));
            uint32_t upTo = k + 1 == k1 || total <= 0
                                ? kOne
                                : static_cast<uint32_t>(std::lround(kOne * covered / total));
            upTo = std::clamp(upTo, given, kOne);
            t.weight.push_back(static_cast<uint16_t>(upTo - given));
            given = upTo;
        }
        t.maxTaps = std::max(t.maxTaps, static_cast<int32_t>(k1 - k0));
    }
    t.at.push_back(static_cast<uint32_t>(t.weight.size()));
    return t;
}

inline uint32_t div255(uint32_t v) noexcept {  // exact for v <= 65535
    v += 128;
    return (v + (v >> 8)) >> 8;
}

// Draws a source of sw x sh pixels scaled into `to`. fetch(row, from, count, out) writes source
// pixels from .. from + count - 1 of a source row as premultiplied 0xAARRGGBB (alpha 0 or 255).
// `opaque` promises alpha 255 everywhere.
template <typename Fetch>
void scaled(Surface& dst, const TargetRect& to, int32_t sw, int32_t sh, bool opaque,
            ScaleScratch scratch, Fetch fetch) {
    if (to.w < 1 || to.h < 1 || sw < 1 || sh < 1) return;
    const AxisTaps xs = axisTaps(to.x, to.w, 0, sw, dst.width());
    const AxisTaps ys = axisTaps(to.y, to.h, 0, sh, dst.height());
    if (xs.size() == 0 || ys.size() == 0) return;

    const int32_t xFrom = xs.start.front();
    const int32_t xTo = xs.start.back() + static_cast<int32_t>(xs.at.back() - xs.at[xs.size() - 1]);
    const auto nx = xs.size();
    const auto slots = static_cast<std::size_t>(ys.maxTaps);
    scratch.source.resize(static_cast<std::size_t>(xTo - xFrom));
    scratch.rows.resize(slots * nx * 4);
    std::vector<int32_t> slotRow(slots, -1);

    // Horizontal pass of source row r into its slot: channels scaled by 256.
    auto horizontal = [&](int32_t r) -> const uint32_t* {
        uint32_t* out = scratch.rows.data() + static_cast<std::size_t>(r) % slots * nx * 4;
        int32_t& tag = slotRow[static_cast<std::size_t>(r) % slots];
        if (tag == r) return out;
        tag = r;
        fetch(r, xFrom, xTo - xFrom, scratch.source.data());
        const uint32_t* px = scratch.source.data() - xFrom;
        for (std::size_t i = 0; i < nx; ++i) {
            uint32_t b = 0, g = 0, rd = 0, a = 0;
            const int32_t s0 = xs.start[i];
            for (uint32_t k = xs.at[i]; k < xs.at[i + 1]; ++k) {
                const uint32_t p = px[s0 + static_cast<int32_t>(k - xs.at[i])];
                const uint32_t w = xs.weight[k];
                b += w * (p & 0xFF);
                g += w * ((p >> 8) & 0xFF);
                rd += w * ((p >> 16) & 0xFF);
                a += w * (p >> 24);
            }
            uint32_t* o = out + i * 4;
            o[0] = b >> (kWeightBits - 8);
            o[1] = g >> (kWeightBits - 8);
            o[2] = rd >> (kWeightBits - 8);
            o[3] = a >> (kWeightBits - 8);
        }
        return out;
    };

    constexpr uint32_t kShift = kWeightBits + 8;
    constexpr uint32_t kHalf = 1u << (kShift - 1);
    std::vector<const uint32_t*> taps(slots);
    std::vector<uint32_t> tapWeight(slots);
    for (std::size_t j = 0; j < ys.size(); ++j) {
        const uint32_t n = ys.at[j + 1] - ys.at[j];
        for (uint32_t k = 0; k < n; ++k) {
            taps[k] = horizontal(ys.start[j] + static_cast<int32_t>(k));
            tapWeight[k] = ys.weight[ys.at[j] + k];
        }
        uint8_t* line = dst.line(ys.first + static_cast<int32_t>(j)) + std::ptrdiff_t{xs.first} * 3;
        for (std::size_t i = 0; i < nx; ++i) {
            uint32_t b = kHalf, g = kHalf, r = kHalf, a = kHalf;
            for (uint32_t k = 0; k < n; ++k) {
                const uint32_t* h = taps[k] + i * 4;
                const uint32_t w = tapWeight[k];
                b += w * h[0];
                g += w * h[1];
                r += w * h[2];
                a += w * h[3];
            }
            uint8_t* p = line + i * 3;
            if (opaque) {
                p[0] = static_cast<uint8_t>(std::min(b >> kShift, 255u));
                p[1] = static_cast<uint8_t>(std::min(g >> kShift, 255u));
                p[2] = static_cast<uint8_t>(std::min(r >> kShift, 255u));
                continue;
            }
            const uint32_t keep = 255 - std::min(a >> kShift, 255u);
            p[0] = static_cast<uint8_t>(std::min((b >> kShift) + div255(keep * p[0]), 255u));
            p[1] = static_cast<uint8_t>(std::min((g >> kShift) + div255(keep * p[1]), 255u));
            p[2] = static_cast<uint8_t>(std::min((r >> kShift) + div255(keep * p[2]), 255u));
        }
    }
}

bool inside(const Surface& s, const SourceRect& r) {
    return r.w > 0 && r.h > 0 && r.x >= 0 && r.y >= 0 && int64_t{r.x} + r.w <= s.width() &&
           int64_t{r.y} + r.h <= s.height();
}

}  // namespace

void cellExact(Surface& dst, int32_t dx, int32_t dy, const Surface& src, const SourceRect& cell,
               const Lookup* andLut, const Lookup& orLut) noexcept {
    if (dst.bitsPerPixel() != 24 || src.bitsPerPixel() != 8) return;
    // The cell itself is cut to the source first, then the copy to both.
    Run cx, cy;
    if (!clipRun(cell.x, cell.x, cell.w, src.width(), src.width(), cx) ||
        !clipRun(cell.y, cell.y, cell.h, src.height(), src.height(), cy))
        return;
    Run xs, ys;
    if (!clipRun(int64_t{dx} + (cx.s - cell.x), cx.s, cx.n, int64_t{cx.s} + cx.n, dst.width(),
                 xs) ||
        !clipRun(int64_t{dy} + (cy.s - cell.y), cy.s, cy.n, int64_t{cy.s} + cy.n, dst.height(),
                 ys))
        return;
    for (int32_t j = 0; j < ys.n; ++j) {
        const uint8_t* s = src.line(ys.s + j) + xs.s;
        uint8_t* d = dst.line(ys.d + j) + std::ptrdiff_t{xs.d} * 3;
        if (andLut == nullptr) {
            for (int32_t i = 0; i < xs.n; ++i, d += 3) putRgb(d, orLut[s[i]]);
            continue;
        }
        for (int32_t i = 0; i < xs.n; ++i, d += 3) {
            const uint32_t a = (*andLut)[s[i]], o = orLut[s[i]];
            d[0] = static_cast<uint8_t>((d[0] & a) | o);
            d[1] = static_cast<uint8_t>((d[1] & (a >> 8)) | (o >> 8));
            d[2] = static_cast<uint8_t>((d[2] & (a >> 16)) | (o >> 16));
        }
    }
}

void pictureExact(Surface& dst, int32_t dx, int32_t dy, const Surface& src, const Surface* mask,
                  const SourceRect& from) noexcept {
    if (dst.bitsPerPixel() != 24 || src.bitsPerPixel() != 24) return;
    if (mask && (mask->bitsPerPixel() != 1 || mask->width() != src.width() ||
                 mask->height() != src.height()))
        return;
    Run cx, cy;
    if (!clipRun(from.x, from.x, from.w, src.width(), src.width(), cx) ||
        !clipRun(from.y, from.y, from.h, src.height(), src.height(), cy))
        return;
    Run xs, ys;
    if (!clipRun(int64_t{dx} + (cx.s - from.x), cx.s, cx.n, int64_t{cx.s} + cx.n, dst.width(),
                 xs) ||
        !clipRun(int64_t{dy} + (cy.s - from.y), cy.s, cy.n, int64_t{cy.s} + cy.n, dst.height(),
                 ys))
        return;
    const auto bytes = static_cast<std::size_t>(xs.n) * 3;
    for (int32_t j = 0; j < ys.n; ++j) {
        const uint8_t* s = src.line(ys.s + j) + std::ptrdiff_t{xs.s} * 3;
        uint8_t* d = dst.line(ys.d + j) + std::ptrdiff_t{xs.d} * 3;
        if (!mask) {
            std::memcpy(d, s, bytes);
            continue;
        }
        const uint8_t* m = mask->line(ys.s + j);
        int32_t i = 0;
        while (i < xs.n) {
            const int32_t x = xs.s + i;
            if ((x & 7) == 0 && i + 8 <= xs.n) {
                const uint8_t bits = m[x >> 3];
                if (bits == 0x00) {  // all covered: the picture replaces the target
                    std::memcpy(d + std::ptrdiff_t{i} * 3, s + std::ptrdiff_t{i} * 3, 24);
                    i += 8;
                    continue;
                }
                if (bits == 0xFF) {  // none covered: the target keeps its pixels, OR the rest
                    for (int k = 0; k < 24; ++k) d[i * 3 + k] |= s[i * 3 + k];
                    i += 8;
                    continue;
                }
            }
            uint8_t* dp = d + std::ptrdiff_t{i} * 3;
            const uint8_t* sp = s + std::ptrdiff_t{i} * 3;
            if ((m[x >> 3] >> (7 - (x & 7))) & 1u) {
                dp[0] |= sp[0];
                dp[1] |= sp[1];
                dp[2] |= sp[2];
            } else {
                dp[0] = sp[0];
                dp[1] = sp[1];
                dp[2] = sp[2];
            }
            ++i;
        }
    }
}

void cellScaled(Surface& dst, const TargetRect& to, const Surface& src, const SourceRect& cell,
                const Lookup& colors, const std::array<bool, 256>& covers,
                ScaleScratch scratch) {
    if (dst.bitsPerPixel() != 24 || src.bitsPerPixel() != 8 || !inside(src, cell)) return;
    std::array<uint32_t, 256> premul{};
    bool opaque = true;
    for (std::size_t k = 0; k < 256; ++k) {
        premul[k] = covers[k] ? 0xFF000000u | (colors[k] & 0xFFFFFFu) : 0;
        opaque = opaque && covers[k];
    }
    scaled(dst, to, cell.w, cell.h, opaque, scratch,
           [&](int32_t r, int32_t from, int32_t count, uint32_t* out) {
               const uint8_t* s = src.line(cell.y + r) + cell.x + from;
               for (int32_t i = 0; i < count; ++i) out[i] = premul[s[i]];
           });
}

void pictureScaled(Surface& dst, const TargetRect& to, const Surface& src, const Surface* mask,
                   const SourceRect& from, ScaleScratch scratch) {
    if (dst.bitsPerPixel() != 24 || src.bitsPerPixel() != 24 || !inside(src, from)) return;
    if (mask && (mask->bitsPerPixel() != 1 || mask->width() != src.width() ||
                 mask->height() != src.height()))
        return;
    scaled(dst, to, from.w, from.h, mask == nullptr, scratch,
           [&](int32_t r, int32_t first, int32_t count, uint32_t* out) {
               const int32_t y = from.y + r;
               const uint8_t* s = src.line(y) + std::ptrdiff_t{from.x + first} * 3;
               for (int32_t i = 0; i < count; ++i, s += 3)
                   out[i] = 0xFF000000u | uint32_t{s[2]} << 16 | uint32_t{s[1]} << 8 | s[0];
               if (!mask) return;
               const uint8_t* m = mask->line(y);
               for (int32_t i = 0; i < count; ++i) {
                   const int32_t x = from.x + first + i;
                   if ((m[x >> 3] >> (7 - (x & 7))) & 1u) out[i] = 0;
               }
           });
}

}  // namespace anigif::draw

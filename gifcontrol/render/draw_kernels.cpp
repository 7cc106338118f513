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

// dst |= src over n bytes, eight at a time.
inline void orBytes(uint8_t* dst, const uint8_t* src, std::size_t n) noexcept {
    std::size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        uint64_t a, b;
        std::memcpy(&a, dst + k, 8);
        std::memcpy(&b, src + k, 8);
        a |= b;
        std::memcpy(dst + k, &a, 8);
    }
    for (; k < n; ++k) dst[k] |= src[k];
}

// Four 0x00RRGGBB colours as the twelve bytes blue, green, red of each, in three words of
// memory order (little-endian).
inline void pack4(uint32_t c0, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t* w) noexcept {
    w[0] = (c0 & 0xFFFFFFu) | c1 << 24;
    w[1] = (c1 >> 8 & 0xFFFFu) | c2 << 16;
    w[2] = (c2 >> 16 & 0xFFu) | c3 << 8;
}

// ---- Area averaging ------------------------------------------------------------------------


// For each target position of one axis that lies inside the target, the source positions it
// covers and their shares.
struct AxisTaps {
    int32_t first = 0;             // first target position drawn
    std::vector<int32_t> start;    // per target position: first source position
    std::vector<uint32_t> at;      // per target position: index of its first weight; one extra
    std::vector<float> weight;     // shares, 1 in all per target position
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
        for (int64_t k = k0; k < k1; ++k) {
            const double cover = std::min(b, double(k + 1)) - std::max(a, double(k));
            t.weight.push_back(total > 0 ? static_cast<float>(std::max(cover, 0.0) / total)
                                         : k == k0 ? 1.0f : 0.0f);
        }
        t.maxTaps = std::max(t.maxTaps, static_cast<int32_t>(k1 - k0));
    }
    t.at.push_back(static_cast<uint32_t>(t.weight.size()));
    return t;
}

// Four channels (blue, green, red, alpha) of one pixel, added and scaled together.
typedef float Channels __attribute__((vector_size(16), may_alias));
static_assert(sizeof(Channels) == 4 * sizeof(float));

Channels* channels(std::vector<float>& v, std::size_t pixels) {
    v.resize(pixels * 4);
    return reinterpret_cast<Channels*>(v.data());  // operator new aligns to 16 bytes
}

// Draws a source of sw x sh pixels scaled into `to`. fetch(row, from, count, out) writes source
// pixels from .. from + count - 1 of a source row as premultiplied channels (alpha 0 or 255).
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
    // Layout of the rows buffer: `slots` horizontally averaged rows, then the sum of a line.
    Channels* source = channels(scratch.source, static_cast<std::size_t>(xTo - xFrom));
    Channels* rows = channels(scratch.rows, (slots + 1) * nx);
    Channels* sum = rows + slots * nx;
    std::vector<int32_t> slotRow(slots, -1);

    // Horizontal pass of source row r into its slot: channels scaled by 256.
    auto horizontal = [&](int32_t r) -> const Channels* {
        Channels* out = rows + static_cast<std::size_t>(r) % slots * nx;
        int32_t& tag = slotRow[static_cast<std::size_t>(r) % slots];
        if (tag == r) return out;
        tag = r;
        fetch(r, xFrom, xTo - xFrom, source);
        const Channels* px = source - xFrom;
        for (std::size_t i = 0; i < nx; ++i) {
            Channels acc = {0, 0, 0, 0};
            const Channels* p = px + xs.start[i];
            const float* w = xs.weight.data() + xs.at[i];
            const uint32_t n = xs.at[i + 1] - xs.at[i];
            for (uint32_t k = 0; k < n; ++k) acc += w[k] * p[k];
            out[i] = acc;
        }
        return out;
    };

    for (std::size_t j = 0; j < ys.size(); ++j) {
        const uint32_t n = ys.at[j + 1] - ys.at[j];
        for (std::size_t i = 0; i < nx; ++i) sum[i] = Channels{0.5f, 0.5f, 0.5f, 0.0f};
        for (uint32_t k = 0; k < n; ++k) {
            const Channels* h = horizontal(ys.start[j] + static_cast<int32_t>(k));
            const float w = ys.weight[ys.at[j] + k];
            for (std::size_t i = 0; i < nx; ++i) sum[i] += w * h[i];
        }
        // Premultiplied colour plus what the uncovered share leaves of the target; the 0.5
        // already in the sum rounds to nearest.
        uint8_t* p = dst.line(ys.first + static_cast<int32_t>(j)) + std::ptrdiff_t{xs.first} * 3;
        for (std::size_t i = 0; i < nx; ++i, p += 3) {
            Channels v = sum[i];
            if (!opaque && v[3] < 254.5f) {
                const float keep = std::max(0.0f, 1.0f - v[3] * (1.0f / 255.0f));
                v += keep * Channels{float(p[0]), float(p[1]), float(p[2]), 0.0f};
            }
            p[0] = static_cast<uint8_t>(std::clamp(v[0], 0.0f, 255.0f));
            p[1] = static_cast<uint8_t>(std::clamp(v[1], 0.0f, 255.0f));
            p[2] = static_cast<uint8_t>(std::clamp(v[2], 0.0f, 255.0f));
        }
    }
}

// Byte values as floats, to turn source bytes into channels without conversions.
constexpr std::array<float, 256> kByte = [] {
    std::array<float, 256> t{};
    for (int k = 0; k < 256; ++k) t[static_cast<std::size_t>(k)] = static_cast<float>(k);
    return t;
}();

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
        // Four pixels at a time as three whole words; the rest one by one.
        int32_t i = 0;
        if (andLut == nullptr) {
            for (; i + 4 <= xs.n; i += 4, d += 12) {
                uint32_t words[3];
                pack4(orLut[s[i]], orLut[s[i + 1]], orLut[s[i + 2]], orLut[s[i + 3]], words);
                std::memcpy(d, words, 12);
            }
            for (; i < xs.n; ++i, d += 3) putRgb(d, orLut[s[i]]);
            continue;
        }
        const Lookup& andL = *andLut;
        for (; i + 4 <= xs.n; i += 4, d += 12) {
            uint32_t keep[3], add[3], words[3];
            pack4(andL[s[i]], andL[s[i + 1]], andL[s[i + 2]], andL[s[i + 3]], keep);
            pack4(orLut[s[i]], orLut[s[i + 1]], orLut[s[i + 2]], orLut[s[i + 3]], add);
            std::memcpy(words, d, 12);
            for (int k = 0; k < 3; ++k) words[k] = (words[k] & keep[k]) | add[k];
            std::memcpy(d, words, 12);
        }
        for (; i < xs.n; ++i, d += 3) {
            const uint32_t a = andL[s[i]], o = orLut[s[i]];
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
            if ((x & 7) == 0 && xs.n - i >= 8) {
                // A run of whole mask bytes that are all covered (0) or all uncovered (0xFF).
                const uint8_t bits = m[x >> 3];
                if (bits == 0x00 || bits == 0xFF) {
                    int32_t end = i + 8;
                    while (xs.n - end >= 8 && m[(xs.s + end) >> 3] == bits) end += 8;
                    uint8_t* dp = d + std::ptrdiff_t{i} * 3;
                    const uint8_t* sp = s + std::ptrdiff_t{i} * 3;
                    const auto runBytes = static_cast<std::size_t>(end - i) * 3;
                    if (bits == 0x00) {
                        std::memcpy(dp, sp, runBytes);  // covered: the picture replaces the target
                    } else {
                        // Uncovered: the target ANDs with white and keeps its pixels, then the OR.
                        orBytes(dp, sp, runBytes);
                    }
                    i = end;
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
    Channels premul[256];
    bool opaque = true;
    for (std::size_t k = 0; k < 256; ++k) {
        const uint32_t c = colors[k];
        premul[k] = covers[k] ? Channels{float(c & 0xFF), float((c >> 8) & 0xFF),
                                         float((c >> 16) & 0xFF), 255.0f}
                              : Channels{0, 0, 0, 0};
        opaque = opaque && covers[k];
    }
    scaled(dst, to, cell.w, cell.h, opaque, scratch,
           [&](int32_t r, int32_t from, int32_t count, Channels* out) {
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
           [&](int32_t r, int32_t first, int32_t count, Channels* out) {
               const int32_t y = from.y + r;
               const uint8_t* s = src.line(y) + std::ptrdiff_t{from.x + first} * 3;
               for (int32_t i = 0; i < count; ++i, s += 3)
                   out[i] = Channels{kByte[s[0]], kByte[s[1]], kByte[s[2]], 255.0f};
               if (!mask) return;
               const uint8_t* m = mask->line(y);
               for (int32_t i = 0; i < count;) {
                   const int32_t x = from.x + first + i;
                   if ((x & 7) == 0 && count - i >= 8 && m[x >> 3] == 0) {
                       i += 8;  // eight covered pixels
                       continue;
                   }
                   if ((m[x >> 3] >> (7 - (x & 7))) & 1u) out[i] = Channels{0, 0, 0, 0};
                   ++i;
               }
           });
}

}  // namespace anigif::draw

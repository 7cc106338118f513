#include "gifcontrol/render/draw_kernels.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "gifcontrol/render/byte_runs.h"
#include "gifcontrol/render/canvas_pixels.h"
#include "gifcontrol/render/scaled_rows.h"

namespace anigif::draw {
namespace {

using platform::Surface;

// The part of one axis that a copy touches: target position d, source position s, n pixels.
struct Run {
    int32_t d = 0, s = 0, n = 0;
};

// Cuts a copy of n pixels from source position s (inside [0, srcLimit)) to target position d
// (inside [dstFrom, dstLimit)).
bool clipRun(int64_t d, int64_t s, int64_t n, int64_t srcLimit, int64_t dstLimit, Run& out,
             int64_t dstFrom = 0) {
    if (s < 0) {
        d -= s;
        n += s;
        s = 0;
    }
    if (d < dstFrom) {
        s += dstFrom - d;
        n -= dstFrom - d;
        d = dstFrom;
    }
    n = std::min({n, srcLimit - s, dstLimit - d});
    if (n <= 0) return false;
    out = {static_cast<int32_t>(d), static_cast<int32_t>(s), static_cast<int32_t>(n)};
    return true;
}

// Cuts an unscaled copy of `from` to (dx, dy): the rectangle to the source first, then the copy
// to the source and the canvas's clip. False when nothing is left.
bool clipCopy(const Canvas& dst, int32_t dx, int32_t dy, const Surface& src, const SourceRect& from,
              Run& xs, Run& ys) {
    Run cx, cy;
    if (!clipRun(from.x, from.x, from.w, src.width(), src.width(), cx) ||
        !clipRun(from.y, from.y, from.h, src.height(), src.height(), cy))
        return false;
    return clipRun(int64_t{dx} + (cx.s - from.x), cx.s, cx.n, int64_t{cx.s} + cx.n, dst.clipRight,
                   xs, dst.clipLeft) &&
           clipRun(int64_t{dy} + (cy.s - from.y), cy.s, cy.n, int64_t{cy.s} + cy.n, dst.clipBottom,
                   ys, dst.clipTop);
}

// dst |= src over n bytes, eight at a time.
inline void orBytes(uint8_t* dst, const uint8_t* src, std::size_t n) noexcept {
    std::size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        uint64_t a, b;
        std::memcpy(&b, src + k, 8);
        if (b == 0) continue;  // uncovered composite is mostly black: leave the target alone
        std::memcpy(&a, dst + k, 8);
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

// Four pixels of an 8-bit source through a colour lookup, as 12 target bytes.
inline void store4(uint8_t* d, const Lookup& lut, const uint8_t* s) noexcept {
    uint32_t words[3];
    pack4(lut[s[0]], lut[s[1]], lut[s[2]], lut[s[3]], words);
    std::memcpy(d, words, 12);
}

// Eight pixels of an 8-bit source through a colour lookup, as 24 target bytes in three words.
inline void store8(uint8_t* d, const Lookup& lut, const uint8_t* s) noexcept {
    auto c = [&](int k) { return uint64_t{lut[s[k]] & 0xFFFFFFu}; };
    const uint64_t w0 = c(0) | c(1) << 24 | c(2) << 48;
    const uint64_t w1 = c(2) >> 16 | c(3) << 8 | c(4) << 32 | c(5) << 56;
    const uint64_t w2 = c(5) >> 8 | c(6) << 16 | c(7) << 40;
    std::memcpy(d, &w0, 8);
    std::memcpy(d + 8, &w1, 8);
    std::memcpy(d + 16, &w2, 8);
}

// What each index does to the target under an AND/OR pair.
constexpr uint8_t kReplaces = 1, kKeeps = 2, kMixes = 4;

template <int N>
void cellExactOn(const Canvas& dst, const Run xs, const Run ys, const Surface& src,
                 const Lookup* andLut, const Lookup& orLut) noexcept {
    using P = Pixels<N>;
    std::array<uint8_t, 256> kind{};
    // An index that alone keeps the target while every other one replaces it (a transparent
    // frame's tables), or kNoIndex.
    constexpr uint32_t kNoIndex = 256;
    uint32_t keepIndex = kNoIndex;
    bool replaceOrKeepOne = true;
    if (andLut != nullptr)
        for (std::size_t k = 0; k < 256; ++k) {
            const uint32_t a = (*andLut)[k] & 0xFFFFFF, o = orLut[k] & 0xFFFFFF;
            kind[k] = a == 0 ? kReplaces : (a == 0xFFFFFF && o == 0) ? kKeeps : kMixes;
            if (kind[k] == kMixes || (kind[k] == kKeeps && keepIndex != kNoIndex))
                replaceOrKeepOne = false;
            else if (kind[k] == kKeeps)
                keepIndex = static_cast<uint32_t>(k);
        }
    if constexpr (N == 3) {
        if (replaceOrKeepOne) {
            for (int32_t j = 0; j < ys.n; ++j)
                lookupRow(src.line(ys.s + j) + xs.s, static_cast<std::size_t>(xs.n), orLut.data(),
                          keepIndex, dst.at(xs.d, ys.d + j));
            return;
        }
    }
    for (int32_t j = 0; j < ys.n; ++j) {
        const uint8_t* s = src.line(ys.s + j) + xs.s;
        uint8_t* d = dst.at(xs.d, ys.d + j);
        int32_t i = 0;
        if constexpr (N == 3) {
            // Eight or four pixels at a time as whole words; the rest one by one.
            const Lookup& andL = *andLut;
            auto kinds = [&](int32_t at, int n) {
                unsigned k = 0;
                for (int q = 0; q < n; ++q) k |= kind[s[at + q]];
                return k;
            };
            auto mix4 = [&](int32_t at, uint8_t* to) {
                const unsigned k4 = kinds(at, 4);
                if (k4 == kReplaces) return store4(to, orLut, s + at);
                if (k4 == kKeeps) return;
                uint32_t keep[3], add[3], words[3];
                pack4(andL[s[at]], andL[s[at + 1]], andL[s[at + 2]], andL[s[at + 3]], keep);
                pack4(orLut[s[at]], orLut[s[at + 1]], orLut[s[at + 2]], orLut[s[at + 3]], add);
                std::memcpy(words, to, 12);
                for (int q = 0; q < 3; ++q) words[q] = (words[q] & keep[q]) | add[q];
                std::memcpy(to, words, 12);
            };
            // Most groups of a transparent frame are wholly drawn or wholly kept.
            for (; i + 8 <= xs.n; i += 8, d += 24) {
                const unsigned k8 = kinds(i, 8);
                if (k8 == kReplaces) {
                    store8(d, orLut, s + i);
                } else if (k8 != kKeeps) {
                    mix4(i, d);
                    mix4(i + 4, d + 12);
                }
            }
            for (; i + 4 <= xs.n; i += 4, d += 12) mix4(i, d);
            for (; i < xs.n; ++i, d += 3) P::andOr(d, andL[s[i]], orLut[s[i]]);
        } else {
            if (andLut == nullptr) {
                for (; i < xs.n; ++i, d += N) P::put(d, orLut[s[i]] & 0xFFFFFF);
                continue;
            }
            for (; i < xs.n; ++i, d += N) {
                const uint8_t k = kind[s[i]];
                if (k == kReplaces)
                    P::put(d, orLut[s[i]] & 0xFFFFFF);
                else if (k == kMixes)
                    P::andOr(d, (*andLut)[s[i]], orLut[s[i]]);
            }
        }
    }
}

template <int N>
void pictureExactOn(const Canvas& dst, const Run xs, const Run ys, const Surface& src,
                    const Surface* mask) noexcept {
    using P = Pixels<N>;
    const auto bytes = static_cast<std::size_t>(xs.n) * 3;
    // A covered run: the picture replaces the target.
    auto copy = [](uint8_t* d, const uint8_t* s, int32_t n) {
        if constexpr (N == 3) {
            std::memcpy(d, s, static_cast<std::size_t>(n) * 3);
        } else if (std::endian::native == std::endian::little && n >= 16) {
            opaquePixels(s, static_cast<std::size_t>(n), d);  // the same bytes, many at a time
        } else {
            for (int32_t k = 0; k < n; ++k, d += 4, s += 3)
                P::store(d, 0xFF000000u | uint32_t{s[2]} << 16 | uint32_t{s[1]} << 8 | s[0]);
        }
    };
    // An uncovered run: the target ANDs with white and keeps its pixels, then the OR.
    auto orIn = [](uint8_t* d, const uint8_t* s, int32_t n) {
        if constexpr (N == 3) {
            orBytes(d, s, static_cast<std::size_t>(n) * 3);
        } else {
            for (int32_t k = 0; k < n;) {
                // Black adds nothing: runs of it (the background of a composite) are skipped.
                const auto black =
                    static_cast<int32_t>(sameBytes(s, static_cast<std::size_t>(n - k) * 3, 0) / 3);
                k += black, d += std::ptrdiff_t{black} * 4, s += std::ptrdiff_t{black} * 3;
                if (k == n) break;
                if (s[0] | s[1] | s[2])
                    P::andOr(d, 0xFFFFFF, uint32_t{s[2]} << 16 | uint32_t{s[1]} << 8 | s[0]);
                ++k, d += 4, s += 3;
            }
        }
    };
    for (int32_t j = 0; j < ys.n; ++j) {
        const uint8_t* s = src.line(ys.s + j) + std::ptrdiff_t{xs.s} * 3;
        uint8_t* d = dst.at(xs.d, ys.d + j);
        if (!mask) {
            if constexpr (N == 3)
                std::memcpy(d, s, bytes);
            else
                copy(d, s, xs.n);
            continue;
        }
        const uint8_t* m = mask->line(ys.s + j);
        if constexpr (N == 4) {
            if (std::endian::native == std::endian::little) {
                // Mixed mask bytes are as common as whole ones: all at a time, mask and all.
                presentMasked(s, m, static_cast<std::size_t>(xs.s), static_cast<std::size_t>(xs.n),
                              d);
                continue;
            }
        }
        int32_t i = 0;
        while (i < xs.n) {
            const int32_t x = xs.s + i;
            uint8_t* dp = d + std::ptrdiff_t{i} * N;
            const uint8_t* sp = s + std::ptrdiff_t{i} * 3;
            if ((x & 7) == 0 && xs.n - i >= 8) {
                // A run of whole mask bytes that are all covered (0) or all uncovered (0xFF).
                const uint8_t bits = m[x >> 3];
                if (bits == 0x00 || bits == 0xFF) {
                    const int32_t wholeBytes = (xs.n - i) / 8;
                    const int32_t end =
                        i + 8 * static_cast<int32_t>(sameBytes(
                                    m + (x >> 3), static_cast<std::size_t>(wholeBytes), bits));
                    if (bits == 0x00)
                        copy(dp, sp, end - i);
                    else
                        orIn(dp, sp, end - i);
                    i = end;
                    continue;
                }
            }
            const bool uncovered = (m[x >> 3] >> (7 - (x & 7))) & 1u;
            if constexpr (N == 3) {
                if (uncovered) {
                    dp[0] |= sp[0];
                    dp[1] |= sp[1];
                    dp[2] |= sp[2];
                } else {
                    dp[0] = sp[0];
                    dp[1] = sp[1];
                    dp[2] = sp[2];
                }
            } else if (uncovered) {
                orIn(dp, sp, 1);
            } else {
                copy(dp, sp, 1);
            }
            ++i;
        }
    }
}

}  // namespace

Canvas Canvas::of(Surface& surface) noexcept {
    Canvas c;
    c.base = surface.line(0);
    c.stride = -std::ptrdiff_t{surface.rowBytes()};
    c.width = c.clipRight = surface.width();
    c.height = c.clipBottom = surface.height();
    return c;
}

void fill(const Canvas& dst, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rgb) noexcept {
    const int64_t x0 = std::max<int64_t>(x, dst.clipLeft), y0 = std::max<int64_t>(y, dst.clipTop);
    const int64_t x1 = std::min<int64_t>(int64_t{x} + w, dst.clipRight);
    const int64_t y1 = std::min<int64_t>(int64_t{y} + h, dst.clipBottom);
    if (x1 <= x0 || y1 <= y0) return;
    rgb &= 0xFFFFFF;
    const auto n = static_cast<std::size_t>(x1 - x0);
    const std::size_t bytes = n * (dst.alpha ? 4 : 3);
    // One row span is written pixel by pixel, the others are copies of it.
    uint8_t* first = dst.at(static_cast<int32_t>(x0), static_cast<int32_t>(y0));
    for (std::size_t i = 0; i < n; ++i) {
        if (dst.alpha)
            Pixels<4>::put(first + 4 * i, rgb);
        else
            Pixels<3>::put(first + 3 * i, rgb);
    }
    for (auto yy = static_cast<int32_t>(y0) + 1; yy < y1; ++yy)
        std::memcpy(dst.at(static_cast<int32_t>(x0), yy), first, bytes);
}

void setPixel(const Canvas& dst, int32_t x, int32_t y, uint32_t rgb) noexcept {
    if (x < dst.clipLeft || y < dst.clipTop || x >= dst.clipRight || y >= dst.clipBottom) return;
    if (dst.alpha)
        Pixels<4>::put(dst.at(x, y), rgb & 0xFFFFFF);
    else
        Pixels<3>::put(dst.at(x, y), rgb & 0xFFFFFF);
}

void cellExact(const Canvas& dst, int32_t dx, int32_t dy, const Surface& src,
               const SourceRect& cell, const Lookup* andLut, const Lookup& orLut) noexcept {
    if (src.bitsPerPixel() != 8) return;
    Run xs, ys;
    if (!clipCopy(dst, dx, dy, src, cell, xs, ys)) return;
    if (dst.alpha)
        cellExactOn<4>(dst, xs, ys, src, andLut, orLut);
    else
        cellExactOn<3>(dst, xs, ys, src, andLut, orLut);
}

void pictureExact(const Canvas& dst, int32_t dx, int32_t dy, const Surface& src,
                  const Surface* mask, const SourceRect& from) noexcept {
    if (src.bitsPerPixel() != 24) return;
    if (mask && (mask->bitsPerPixel() != 1 || mask->width() != src.width() ||
                 mask->height() != src.height()))
        return;
    Run xs, ys;
    if (!clipCopy(dst, dx, dy, src, from, xs, ys)) return;
    if (dst.alpha)
        pictureExactOn<4>(dst, xs, ys, src, mask);
    else
        pictureExactOn<3>(dst, xs, ys, src, mask);
}

void cellExact(Surface& dst, int32_t dx, int32_t dy, const Surface& src, const SourceRect& cell,
               const Lookup* andLut, const Lookup& orLut) noexcept {
    if (dst.bitsPerPixel() == 24) cellExact(Canvas::of(dst), dx, dy, src, cell, andLut, orLut);
}

void pictureExact(Surface& dst, int32_t dx, int32_t dy, const Surface& src, const Surface* mask,
                  const SourceRect& from) noexcept {
    if (dst.bitsPerPixel() == 24) pictureExact(Canvas::of(dst), dx, dy, src, mask, from);
}

}  // namespace anigif::draw

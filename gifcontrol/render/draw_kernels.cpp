#include "gifcontrol/render/draw_kernels.h"

#include <algorithm>
#include <cstring>

#include "gifcontrol/render/byte_runs.h"

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

// Cuts an unscaled copy of `from` to (dx, dy): the rectangle to the source first, then the copy
// to both surfaces. False when nothing is left.
bool clipCopy(const Surface& dst, int32_t dx, int32_t dy, const Surface& src,
              const SourceRect& from, Run& xs, Run& ys) {
    Run cx, cy;
    if (!clipRun(from.x, from.x, from.w, src.width(), src.width(), cx) ||
        !clipRun(from.y, from.y, from.h, src.height(), src.height(), cy))
        return false;
    return clipRun(int64_t{dx} + (cx.s - from.x), cx.s, cx.n, int64_t{cx.s} + cx.n, dst.width(),
                   xs) &&
           clipRun(int64_t{dy} + (cy.s - from.y), cy.s, cy.n, int64_t{cy.s} + cy.n, dst.height(),
                   ys);
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

}  // namespace

void cellExact(Surface& dst, int32_t dx, int32_t dy, const Surface& src, const SourceRect& cell,
               const Lookup* andLut, const Lookup& orLut) noexcept {
    if (dst.bitsPerPixel() != 24 || src.bitsPerPixel() != 8) return;
    Run xs, ys;
    if (!clipCopy(dst, dx, dy, src, cell, xs, ys)) return;
    // What each index does to the target under the AND/OR pair.
    constexpr uint8_t kReplaces = 1, kKeeps = 2, kMixes = 4;
    std::array<uint8_t, 256> kind{};
    if (andLut != nullptr)
        for (std::size_t k = 0; k < 256; ++k) {
            const uint32_t a = (*andLut)[k] & 0xFFFFFF, o = orLut[k] & 0xFFFFFF;
            kind[k] = a == 0 ? kReplaces : (a == 0xFFFFFF && o == 0) ? kKeeps : kMixes;
        }
    for (int32_t j = 0; j < ys.n; ++j) {
        const uint8_t* s = src.line(ys.s + j) + xs.s;
        uint8_t* d = dst.line(ys.d + j) + std::ptrdiff_t{xs.d} * 3;
        // Eight or four pixels at a time as whole words; the rest one by one.
        int32_t i = 0;
        if (andLut == nullptr) {
            for (; i + 8 <= xs.n; i += 8, d += 24) store8(d, orLut, s + i);
            for (; i + 4 <= xs.n; i += 4, d += 12) store4(d, orLut, s + i);
            for (; i < xs.n; ++i, d += 3) putRgb(d, orLut[s[i]]);
            continue;
        }
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
    Run xs, ys;
    if (!clipCopy(dst, dx, dy, src, from, xs, ys)) return;
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
                    const int32_t wholeBytes = (xs.n - i) / 8;
                    const int32_t end =
                        i + 8 * static_cast<int32_t>(sameBytes(
                                    m + (x >> 3), static_cast<std::size_t>(wholeBytes), bits));
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

}  // namespace anigif::draw

#pragma once
// One pixel of a canvas (draw_kernels.h), three bytes or one premultiplied ARGB word, and what
// the drawing operations do to it. Pixels<3> is the 24-bit surface arithmetic itself; Pixels<4>
// gives, in one pass, the colour and alpha that the same arithmetic over black and over white
// would reveal (see draw_kernels.h).
#include <algorithm>
#include <cstdint>
#include <cstring>

namespace anigif::draw {

template <int Bytes>
struct Pixels;

template <>
struct Pixels<3> {
    static constexpr int kBytes = 3;
    // An opaque colour, 0x00RRGGBB.
    static void put(uint8_t* p, uint32_t rgb) noexcept {
        p[0] = static_cast<uint8_t>(rgb);
        p[1] = static_cast<uint8_t>(rgb >> 8);
        p[2] = static_cast<uint8_t>(rgb >> 16);
    }
    // (p AND andRgb) OR orRgb, byte by byte.
    static void andOr(uint8_t* p, uint32_t andRgb, uint32_t orRgb) noexcept {
        p[0] = static_cast<uint8_t>((p[0] & andRgb) | orRgb);
        p[1] = static_cast<uint8_t>((p[1] & (andRgb >> 8)) | (orRgb >> 8));
        p[2] = static_cast<uint8_t>((p[2] & (andRgb >> 16)) | (orRgb >> 16));
    }
    // Premultiplied colour plus the uncovered share of the pixel, rounded.
    static void blend(uint8_t* p, uint32_t b, uint32_t g, uint32_t r, uint32_t coverage) noexcept {
        const uint32_t keep = 255 - coverage;
        p[0] = static_cast<uint8_t>(b + (keep * p[0] + 127) / 255);
        p[1] = static_cast<uint8_t>(g + (keep * p[1] + 127) / 255);
        p[2] = static_cast<uint8_t>(r + (keep * p[2] + 127) / 255);
    }
};

template <>
struct Pixels<4> {
    static constexpr int kBytes = 4;
    static uint32_t load(const uint8_t* p) noexcept {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    static void store(uint8_t* p, uint32_t v) noexcept { std::memcpy(p, &v, 4); }

    static void put(uint8_t* p, uint32_t rgb) noexcept { store(p, 0xFF000000u | rgb); }
    // The AND/OR pair applied to the pixel over black (its colour c) and over white
    // (c + 255 - alpha); what lets white through is the new transparency.
    static void andOr(uint8_t* p, uint32_t andRgb, uint32_t orRgb) noexcept {
        const uint32_t v = load(p);
        const uint32_t alpha = v >> 24;
        uint32_t low[3];
        int through = 0;
        for (int k = 0; k < 3; ++k) {
            const uint32_t m = (andRgb >> (8 * k)) & 0xFF, o = (orRgb >> (8 * k)) & 0xFF;
            const uint32_t c = (v >> (8 * k)) & 0xFF;
            const uint32_t overWhite = std::min<uint32_t>(c + 255 - alpha, 255);
            low[k] = (c & m) | o;
            through = std::max(through, int((overWhite & m) | o) - int(low[k]));
        }
        const auto a = static_cast<uint32_t>(255 - through);
        store(p,
              a << 24 | std::min(low[2], a) << 16 | std::min(low[1], a) << 8 | std::min(low[0], a));
    }
    // The blend of Pixels<3> over black and over white, likewise.
    static void blend(uint8_t* p, uint32_t b, uint32_t g, uint32_t r, uint32_t coverage) noexcept {
        const uint32_t keep = 255 - coverage, v = load(p);
        auto mix = [keep](uint32_t add, uint32_t under) {
            return add + (keep * under + 127) / 255;
        };
        if (v == 0) return store(p, coverage << 24 | r << 16 | g << 8 | b);  // over nothing
        const uint32_t alpha = v >> 24;
        if (alpha == 255)
            return store(p, 0xFF000000u | mix(r, (v >> 16) & 0xFF) << 16 |
                                mix(g, (v >> 8) & 0xFF) << 8 | mix(b, v & 0xFF));
        const uint32_t add[3] = {b, g, r};
        uint32_t low[3];
        int through = 0;
        for (int k = 0; k < 3; ++k) {
            const uint32_t c = (v >> (8 * k)) & 0xFF;
            low[k] = mix(add[k], c);
            const uint32_t high = mix(add[k], std::min<uint32_t>(c + 255 - alpha, 255));
            through = std::max(through, int(high) - int(low[k]));
        }
        const auto a = static_cast<uint32_t>(255 - through);
        store(p,
              a << 24 | std::min(low[2], a) << 16 | std::min(low[1], a) << 8 | std::min(low[0], a));
    }
};

}  // namespace anigif::draw

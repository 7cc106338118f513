// The vector steps of drawing (the averaging of scaled copies, colour lookups of exact ones),
// compiled once per instruction set and dispatched at run time to the best one the CPU has.
#include "gifcontrol/render/scaled_rows.h"

#include "gifcontrol/render/canvas_pixels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "gifcontrol/render/scaled_rows.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace anigif::draw {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

#if HWY_TARGET == HWY_SCALAR
// One lane per vector cannot hold a pixel's four lanes: the plain versions serve.
void AverageRow(const uint64_t* HWY_RESTRICT src, const int64_t* HWY_RESTRICT start,
                const uint64_t* HWY_RESTRICT weights, std::size_t taps, std::size_t nx,
                uint64_t* HWY_RESTRICT out) {
    averageRowScalar(src, start, weights, taps, nx, out);
}
void AverageColumns(const uint64_t* const* HWY_RESTRICT rows, const uint16_t* HWY_RESTRICT weights,
                    std::size_t taps, std::size_t n, uint64_t* HWY_RESTRICT out) {
    averageColumnsScalar(rows, weights, taps, n, out);
}
void LanesOfPixels(const uint8_t* HWY_RESTRICT pixels, std::size_t n, uint64_t* HWY_RESTRICT out) {
    lanesOfPixelsScalar(pixels, n, out);
}
void BytesOfLanes(const uint64_t* HWY_RESTRICT lanes, std::size_t n, uint8_t* HWY_RESTRICT colour,
                  uint8_t* HWY_RESTRICT coverage) {
    bytesOfLanesScalar(lanes, n, colour, coverage);
}
void OpaquePixels(const uint8_t* HWY_RESTRICT pixels, std::size_t n, uint8_t* HWY_RESTRICT out) {
    opaquePixelsScalar(pixels, n, out);
}
void PresentMasked(const uint8_t* HWY_RESTRICT colour, const uint8_t* HWY_RESTRICT maskBits,
                   std::size_t firstBit, std::size_t n, uint8_t* HWY_RESTRICT out) {
    presentMaskedScalar(colour, maskBits, firstBit, n, out);
}
void BlendKeptPixels(const uint8_t* HWY_RESTRICT colour, const uint8_t* HWY_RESTRICT coverage,
                     std::size_t n, uint8_t* HWY_RESTRICT out) {
    blendKeptPixelsScalar(colour, coverage, n, out);
}
void LookupRow(const uint8_t* HWY_RESTRICT indices, std::size_t n, const uint32_t* HWY_RESTRICT lut,
               uint32_t keepIndex, uint8_t* HWY_RESTRICT out) {
    lookupRowScalar(indices, n, lut, keepIndex, out);
}
#else
void AverageRow(const uint64_t* HWY_RESTRICT src, const int64_t* HWY_RESTRICT start,
                const uint64_t* HWY_RESTRICT weights, std::size_t taps, std::size_t nx,
                uint64_t* HWY_RESTRICT out) {
    // Two source pixels (eight lanes) per multiply; two target pixels per store.
    const hn::FixedTag<uint16_t, 8> d16;
    const hn::FixedTag<uint64_t, 2> d64;
    const auto half = hn::Set(d16, uint16_t{128});
    auto pixel = [&](std::size_t i) {
        const uint64_t* p = src + start[i];
        const uint64_t* w = weights + i * taps;
        auto acc = hn::Mul(hn::LoadU(d16, reinterpret_cast<const uint16_t*>(p)),
                           hn::BitCast(d16, hn::LoadU(d64, w)));
        for (std::size_t k = 2; k < taps; k += 2)
            acc = hn::Add(acc, hn::Mul(hn::LoadU(d16, reinterpret_cast<const uint16_t*>(p + k)),
                                       hn::BitCast(d16, hn::LoadU(d64, w + k))));
        return hn::BitCast(d64, acc);
    };
    std::size_t i = 0;
    for (; i + 2 <= nx; i += 2) {
        const auto a = pixel(i), b = pixel(i + 1);
        const auto sum = hn::BitCast(
            d16, hn::Add(hn::InterleaveLower(d64, a, b), hn::InterleaveUpper(d64, a, b)));
        hn::StoreU(hn::BitCast(d64, hn::ShiftRight<8>(hn::Add(sum, half))), d64, out + i);
    }
    if (i < nx) averageRowScalar(src, start + i, weights + i * taps, taps, 1, out + i);
}

void AverageColumns(const uint64_t* const* HWY_RESTRICT rows, const uint16_t* HWY_RESTRICT weights,
                    std::size_t taps, std::size_t n, uint64_t* HWY_RESTRICT out) {
    const hn::ScalableTag<uint16_t> d16;
    const std::size_t lanes = hn::Lanes(d16);
    const std::size_t total = n * 4;  // 16-bit lanes
    const auto half = hn::Set(d16, uint16_t{128});
    auto* to = reinterpret_cast<uint16_t*>(out);
    std::size_t j = 0;
    for (; j + lanes <= total; j += lanes) {
        auto acc = hn::Mul(hn::LoadU(d16, reinterpret_cast<const uint16_t*>(rows[0]) + j),
                           hn::Set(d16, weights[0]));
        for (std::size_t k = 1; k < taps; ++k)
            acc =
                hn::Add(acc, hn::Mul(hn::LoadU(d16, reinterpret_cast<const uint16_t*>(rows[k]) + j),
                                     hn::Set(d16, weights[k])));
        hn::StoreU(hn::ShiftRight<8>(hn::Add(acc, half)), d16, to + j);
    }
    // The last pixels, whole words at a time (j is a multiple of four).
    for (std::size_t i = j / 4; i < n; ++i) {
        uint64_t acc = 0;
        for (std::size_t k = 0; k < taps; ++k) acc += weights[k] * rows[k][i];
        out[i] = ((acc + 0x0080008000800080ull) >> 8) & 0x00FF00FF00FF00FFull;
    }
}

void LanesOfPixels(const uint8_t* HWY_RESTRICT pixels, std::size_t n, uint64_t* HWY_RESTRICT out) {
    const hn::ScalableTag<uint16_t> d16;
    const hn::Rebind<uint8_t, decltype(d16)> d8;
    const std::size_t lanes = hn::Lanes(d16);
    const auto opaque = hn::Set(d16, uint16_t{255});
    auto* to = reinterpret_cast<uint16_t*>(out);
    std::size_t i = 0;
    for (; i + lanes <= n; i += lanes) {
        hn::Vec<decltype(d8)> b, g, r;
        hn::LoadInterleaved3(d8, pixels + 3 * i, b, g, r);
        hn::StoreInterleaved4(hn::PromoteTo(d16, b), hn::PromoteTo(d16, g), hn::PromoteTo(d16, r),
                              opaque, d16, to + 4 * i);
    }
    lanesOfPixelsScalar(pixels + 3 * i, n - i, out + i);
}

void BytesOfLanes(const uint64_t* HWY_RESTRICT lanes, std::size_t n, uint8_t* HWY_RESTRICT colour,
                  uint8_t* HWY_RESTRICT coverage) {
    const hn::ScalableTag<uint16_t> d16;
    const hn::Rebind<uint8_t, decltype(d16)> d8;
    const std::size_t count = hn::Lanes(d16);
    const auto* from = reinterpret_cast<const uint16_t*>(lanes);
    std::size_t i = 0;
    for (; i + count <= n; i += count) {
        hn::Vec<decltype(d16)> b, g, r, a;
        hn::LoadInterleaved4(d16, from + 4 * i, b, g, r, a);
        hn::StoreInterleaved3(hn::TruncateTo(d8, b), hn::TruncateTo(d8, g), hn::TruncateTo(d8, r),
                              d8, colour + 3 * i);
        hn::StoreU(hn::TruncateTo(d8, a), d8, coverage + i);
    }
    bytesOfLanesScalar(lanes + i, n - i, colour + 3 * i, coverage + i);
}

void OpaquePixels(const uint8_t* HWY_RESTRICT pixels, std::size_t n, uint8_t* HWY_RESTRICT out) {
    const hn::ScalableTag<uint8_t> d;
    const std::size_t lanes = hn::Lanes(d);
    const auto opaque = hn::Set(d, uint8_t{255});
    std::size_t i = 0;
    for (; i + lanes <= n; i += lanes) {
        hn::Vec<decltype(d)> b, g, r;
        hn::LoadInterleaved3(d, pixels + 3 * i, b, g, r);
        hn::StoreInterleaved4(b, g, r, opaque, d, out + 4 * i);
    }
    opaquePixelsScalar(pixels + 3 * i, n - i, out + 4 * i);
}

// The uncovered bits of `count` (at most 64) pixels from mask bit `first` on, pixel k in bit k;
// the mask's bits end before bit `end`. Reads only bytes that hold mask bits.
inline uint64_t uncoveredBits(const uint8_t* HWY_RESTRICT maskBits, std::size_t first,
                              std::size_t count, std::size_t end) {
    const uint8_t* m = maskBits + first / 8;
    const auto skip = static_cast<unsigned>(first % 8);
    const std::size_t need = (skip + count + 7) / 8, held = (end + 7) / 8 - first / 8;
    // A byte's first pixel is its top bit: reversed within bytes, pixels run from bit 0 up.
    auto reversed = [](uint64_t v) {
        v = (v & 0xF0F0F0F0F0F0F0F0ull) >> 4 | (v & 0x0F0F0F0F0F0F0F0Full) << 4;
        v = (v & 0xCCCCCCCCCCCCCCCCull) >> 2 | (v & 0x3333333333333333ull) << 2;
        return (v & 0xAAAAAAAAAAAAAAAAull) >> 1 | (v & 0x5555555555555555ull) << 1;
    };
    uint64_t word = 0;
    std::memcpy(&word, m, std::min<std::size_t>(held, 8));  // little-endian: byte k, bits 8k..
    uint64_t bits = reversed(word) >> skip;
    if (need > 8) bits |= reversed(m[8]) << (64 - skip);  // skip > 0 here
    return count == 64 ? bits : bits & ((uint64_t{1} << count) - 1);
}

#if HWY_TARGET == HWY_AVX2 || HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
#define ANIGIF_EIGHT_PIXEL_LANES 1
// Eight pixels a vector, each in its own 32-bit lane: the target stays as it lies in memory and
// colours take one byte shuffle, where splitting into channels would cost several.
using Eight = hn::FixedTag<uint32_t, 8>;
using EightBytes = hn::Repartition<uint8_t, Eight>;

// The colours of eight 24-bit pixels, one a lane with a zero top byte.
inline hn::Vec<Eight> eightColours(const uint8_t* HWY_RESTRICT c) {
    // Pixels 0-3 from the first 16 of their 24 bytes, pixels 4-7 from the last 16.
    alignas(32) static constexpr uint8_t kSpread[32] = {
        0, 1, 2, 0x80, 3, 4, 5, 0x80, 6,  7,  8,  0x80, 9,  10, 11, 0x80,
        4, 5, 6, 0x80, 7, 8, 9, 0x80, 10, 11, 12, 0x80, 13, 14, 15, 0x80};
    const EightBytes d8;
    const hn::Half<EightBytes> h8;
    return hn::BitCast(
        Eight(), hn::TableLookupBytesOr0(hn::Combine(d8, hn::LoadU(h8, c + 8), hn::LoadU(h8, c)),
                                         hn::Load(d8, kSpread)));
}

void PresentMasked(const uint8_t* HWY_RESTRICT colour, const uint8_t* HWY_RESTRICT maskBits,
                   std::size_t firstBit, std::size_t n, uint8_t* HWY_RESTRICT out) {
    const Eight d;
    const EightBytes d8;
    if (n < 8) return presentMaskedScalar(colour, maskBits, firstBit, n, out);
    alignas(32) static constexpr uint8_t kAlphaByte[32] = {
        3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15,
        3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15};
    alignas(32) static constexpr uint8_t kLowByte[32] = {0, 0,  0,  0,  4,  4, 4,  4,  8,  8, 8,
                                                         8, 12, 12, 12, 12, 0, 0,  0,  0,  4, 4,
                                                         4, 4,  8,  8,  8,  8, 12, 12, 12, 12};
    alignas(32) static constexpr uint32_t kLaneBit[8] = {128, 64, 32, 16, 8, 4, 2, 1};
    const auto alphaByte = hn::Load(d8, kAlphaByte), lowByte = hn::Load(d8, kLowByte);
    const auto laneBit = hn::Load(d, kLaneBit);
    const auto opaque = hn::Set(d, 0xFF000000u), rgbBytes = hn::Set(d, 0x00FFFFFFu);
    const auto zero = hn::Zero(d);
    const std::size_t lastByte = (firstBit + n - 1) / 8;
    // Pixels i .. i + 7, the first `done` of them drawn already (they stay as they are).
    auto step = [&](std::size_t i, std::size_t done) HWY_ATTR __attribute__((always_inline)) {
        // Their mask bits, pixel i in the top bit.
        const std::size_t at = (firstBit + i) / 8;
        const auto skip = static_cast<unsigned>((firstBit + i) % 8);
        unsigned bits = maskBits[at];
        if (skip != 0)
            bits = (bits << skip | (at < lastByte ? maskBits[at + 1] : 0u) >> (8 - skip)) & 0xFF;
        bits |= 0xFF00u >> done & 0xFF;
        const uint8_t* c = colour + 3 * i;
        auto* o = reinterpret_cast<uint32_t*>(out + 4 * i);
        const auto rgb = eightColours(c);
        if (bits == 0) return hn::StoreU(hn::Or(rgb, opaque), d, o);
        const auto black = hn::Eq(rgb, zero);
        if (bits == 0xFF && hn::AllTrue(d, black)) return;  // black adds nothing uncovered
        const auto under = hn::LoadU(d, o);
        const auto u8 = hn::BitCast(d8, under), c8 = hn::BitCast(d8, rgb);
        // The target over black is c, over white c + 255 - alpha; both OR the colour, and what
        // the white one shows more is the new transparency (Pixels<4>::andOr with white).
        const auto clear = hn::TableLookupBytes(hn::Not(u8), alphaByte);
        const auto low = hn::Or(u8, c8);
        auto more =
            hn::And(hn::BitCast(d, hn::SaturatedSub(hn::Or(hn::SaturatedAdd(u8, clear), c8), low)),
                    rgbBytes);
        auto widest = [&](auto v, auto shifted) {
            return hn::BitCast(d, hn::Max(hn::BitCast(d8, v), hn::BitCast(d8, shifted)));
        };
        more = widest(more, hn::ShiftRight<8>(more));
        more = widest(more, hn::ShiftRight<16>(more));
        const auto a = hn::Not(hn::TableLookupBytes(hn::BitCast(d8, more), lowByte));
        const auto mixed = hn::Or(hn::And(hn::BitCast(d, hn::Min(low, a)), rgbBytes),
                                  hn::AndNot(rgbBytes, hn::BitCast(d, a)));
        const auto uncovered = hn::TestBit(hn::Set(d, bits), laneBit);
        const auto keep = hn::Or(hn::And(uncovered, black), hn::FirstN(d, done));
        hn::StoreU(
            hn::IfThenElse(uncovered, hn::IfThenElse(keep, under, mixed), hn::Or(rgb, opaque)), d,
            o);
    };
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) step(i, 0);
    if (i < n) step(n - 8, i - (n - 8));  // the last pixels with some drawn ones
}
#else
void PresentMasked(const uint8_t* HWY_RESTRICT colour, const uint8_t* HWY_RESTRICT maskBits,
                   std::size_t firstBit, std::size_t n, uint8_t* HWY_RESTRICT out) {
    const hn::CappedTag<uint8_t, 64> d;
    const std::size_t lanes = hn::Lanes(d);
    if (n < lanes) return presentMaskedScalar(colour, maskBits, firstBit, n, out);
    const uint64_t all = lanes == 64 ? ~uint64_t{0} : (uint64_t{1} << lanes) - 1;
    const auto opaque = hn::Set(d, uint8_t{255});
    const auto zero = hn::Zero(d);
    // The pixels from i on; the first `done` of them were drawn already and stay.
    auto chunk = [&](std::size_t i, std::size_t done) {
        const uint64_t bits = uncoveredBits(maskBits, firstBit + i, lanes, firstBit + n) |
                              ((uint64_t{1} << done) - 1);
        const uint8_t* c = colour + 3 * i;
        uint8_t* o = out + 4 * i;
        if (bits == all && done == 0) {
            // Black adds nothing to an uncovered target.
            const auto any = hn::Or(hn::LoadU(d, c),
                                    hn::Or(hn::LoadU(d, c + lanes), hn::LoadU(d, c + 2 * lanes)));
            if (hn::AllTrue(d, hn::Eq(any, zero))) return;
        }
        hn::Vec<decltype(d)> b, g, r;
        hn::LoadInterleaved3(d, c, b, g, r);
        if (bits == 0) return hn::StoreInterleaved4(b, g, r, opaque, d, o);
        uint8_t packed[8];
        std::memcpy(packed, &bits, sizeof packed);  // little-endian: lane k is bit k
        const auto uncovered = hn::LoadMaskBits(d, packed);
        hn::Vec<decltype(d)> cb, cg, cr, ca;
        hn::LoadInterleaved4(d, o, cb, cg, cr, ca);
        // The target over black is c, over white c + 255 - alpha; both OR the colour, and what
        // the white one shows more is the new transparency (Pixels<4>::andOr with white).
        const auto clear = hn::Not(ca);
        const auto lb = hn::Or(cb, b), lg = hn::Or(cg, g), lr = hn::Or(cr, r);
        const auto through =
            hn::Max(hn::SaturatedSub(hn::Or(hn::SaturatedAdd(cb, clear), b), lb),
                    hn::Max(hn::SaturatedSub(hn::Or(hn::SaturatedAdd(cg, clear), g), lg),
                            hn::SaturatedSub(hn::Or(hn::SaturatedAdd(cr, clear), r), lr)));
        const auto a = hn::Not(through);
        const auto keep =
            hn::Or(hn::And(uncovered, hn::Eq(hn::Or(b, hn::Or(g, r)), zero)), hn::FirstN(d, done));
        auto pick = [&](auto covered, auto kept, auto mixed) {
            return hn::IfThenElse(uncovered, hn::IfThenElse(keep, kept, mixed), covered);
        };
        hn::StoreInterleaved4(pick(b, cb, hn::Min(lb, a)), pick(g, cg, hn::Min(lg, a)),
                              pick(r, cr, hn::Min(lr, a)), pick(opaque, ca, a), d, o);
    };
    std::size_t i = 0;
    for (; i + lanes <= n; i += lanes) chunk(i, 0);
    if (i < n) chunk(n - lanes, i - (n - lanes));  // the last pixels with some drawn ones
}

#endif

void BlendKeptPixels(const uint8_t* HWY_RESTRICT colour, const uint8_t* HWY_RESTRICT coverage,
                     std::size_t n, uint8_t* HWY_RESTRICT out) {
    const hn::ScalableTag<uint16_t> d16;
    const hn::Rebind<uint8_t, decltype(d16)> d8;
    const std::size_t lanes = hn::Lanes(d16);
    if (n < lanes) return blendKeptPixelsScalar(colour, coverage, n, out);
    const auto full8 = hn::Set(d8, uint8_t{255});
    const auto full = hn::Set(d16, uint16_t{255});
    const auto half = hn::Set(d16, uint16_t{127});
    const auto one = hn::Set(d16, uint16_t{1});
    // The pixels from i on; the first `done` of them were drawn already and stay.
    auto chunk = [&](std::size_t i, std::size_t done) HWY_ATTR __attribute__((always_inline)) {
        const auto cover8 = hn::LoadU(d8, coverage + i);
        const auto none = hn::Or(hn::Eq(cover8, hn::Zero(d8)), hn::FirstN(d8, done));
        if (hn::AllTrue(d8, none)) return;
        const uint8_t* c = colour + 3 * i;
        uint8_t* o = out + 4 * i;
        if (done == 0 && hn::AllTrue(d8, hn::Eq(cover8, full8))) {
#ifdef ANIGIF_EIGHT_PIXEL_LANES
            const auto opaque = hn::Set(Eight(), 0xFF000000u);
            for (std::size_t k = 0; k < lanes; k += 8)
                hn::StoreU(hn::Or(eightColours(c + 3 * k), opaque), Eight(),
                           reinterpret_cast<uint32_t*>(o + 4 * k));
            return;
#else
            hn::Vec<decltype(d8)> b8, g8, r8;
            hn::LoadInterleaved3(d8, c, b8, g8, r8);
            return hn::StoreInterleaved4(b8, g8, r8, full8, d8, o);
#endif
        }
        hn::Vec<decltype(d8)> b8, g8, r8;
        hn::LoadInterleaved3(d8, c, b8, g8, r8);
        // The arithmetic below equals the plain one's special cases only for colours that do
        // not exceed their coverage, as averaging makes them; others go the plain way.
        const auto over = hn::SaturatedSub(hn::Max(b8, hn::Max(g8, r8)), cover8);
        if (!hn::AllTrue(d8, hn::Eq(over, hn::Zero(d8))))
            return blendKeptPixelsScalar(c + 3 * done, coverage + i + done, lanes - done,
                                         o + 4 * done);
        hn::Vec<decltype(d8)> cb8, cg8, cr8, ca8;
        hn::LoadInterleaved4(d8, o, cb8, cg8, cr8, ca8);
        const auto keep = hn::Sub(full, hn::PromoteTo(d16, cover8));
        const auto clear = hn::Sub(full, hn::PromoteTo(d16, ca8));
        // add + (keep * under + 127) / 255; the division exact for every sum below 65536.
        auto mix = [&](auto add, auto under) {
            const auto v = hn::Add(hn::Mul(keep, under), half);
            return hn::Add(add, hn::ShiftRight<8>(hn::Add(hn::Add(v, one), hn::ShiftRight<8>(v))));
        };
        // Over black (c) and over white (c + 255 - alpha), as Pixels<4>::blend.
        auto channel = [&](auto add8, auto c8, auto& low) {
            const auto add = hn::PromoteTo(d16, add8), under = hn::PromoteTo(d16, c8);
            low = mix(add, under);
            return hn::SaturatedSub(mix(add, hn::Min(hn::Add(under, clear), full)), low);
        };
        hn::Vec<decltype(d16)> lb, lg, lr;
        const auto tb = channel(b8, cb8, lb), tg = channel(g8, cg8, lg), tr = channel(r8, cr8, lr);
        const auto a = hn::Sub(full, hn::Max(tb, hn::Max(tg, tr)));
        auto result = [&](auto blended, auto under8) {
            return hn::IfThenElse(none, under8, hn::TruncateTo(d8, blended));
        };
        hn::StoreInterleaved4(result(hn::Min(lb, a), cb8), result(hn::Min(lg, a), cg8),
                              result(hn::Min(lr, a), cr8), result(a, ca8), d8, o);
    };
    std::size_t i = 0;
    for (; i + lanes <= n; i += lanes) chunk(i, 0);
    if (i < n) chunk(n - lanes, i - (n - lanes));  // the last pixels with some drawn ones
}

#undef ANIGIF_EIGHT_PIXEL_LANES

void LookupRow(const uint8_t* HWY_RESTRICT indices, std::size_t n, const uint32_t* HWY_RESTRICT lut,
               uint32_t keepIndex, uint8_t* HWY_RESTRICT out) {
    const hn::ScalableTag<uint32_t> du;
    const hn::RebindToSigned<decltype(du)> di;
    const hn::Repartition<uint8_t, decltype(du)> d8;
    const hn::Rebind<uint8_t, decltype(du)> dq;  // one index per 32-bit lane
    const std::size_t lanes = hn::Lanes(du);
    // Colours are looked up four bytes a pixel; the first three of each go next to each other,
    // first within each 128-bit block, then the blocks' twelve bytes after one another.
    alignas(16) static constexpr uint8_t kThreeOfFour[16] = {0,  1,  2,  4,  5,  6,  8,  9,
                                                             10, 12, 13, 14, 12, 13, 14, 15};
    const auto threeOfFour = hn::LoadDup128(d8, kThreeOfFour);
    const auto k = hn::Iota(du, 0);
    // Word k of the packed row is word k + k / 3 of the block-packed one (the rest is unused).
    const auto order = hn::IndicesFromVec(
        du, hn::Min(hn::Add(k, hn::ShiftRight<16>(hn::Mul(k, hn::Set(du, 21846u)))),
                    hn::Set(du, static_cast<uint32_t>(lanes - 1))));
    auto pack = [&](hn::Vec<decltype(d8)> v) {
        v = hn::TableLookupBytes(v, threeOfFour);
        if (lanes > 4) v = hn::BitCast(d8, hn::TableLookupLanes(hn::BitCast(du, v), order));
        return v;
    };
    const auto colourBytes = hn::VecFromMask(d8, hn::FirstN(d8, 3 * lanes));
    const auto keep = hn::Set(du, keepIndex);
    auto group = [&](std::size_t at) {
        const auto index = hn::PromoteTo(du, hn::LoadU(dq, indices + at));
        const auto kept = hn::Eq(index, keep);
        if (hn::AllTrue(du, kept)) return;
        const auto colours = hn::GatherIndex(du, lut, hn::BitCast(di, index));
        auto written = colourBytes;
        if (!hn::AllFalse(du, kept))
            written = hn::AndNot(pack(hn::BitCast(d8, hn::VecFromMask(du, kept))), written);
        uint8_t* to = out + 3 * at;
        hn::StoreU(hn::IfThenElse(hn::MaskFromVec(written), pack(hn::BitCast(d8, colours)),
                                  hn::LoadU(d8, to)),
                   d8, to);
    };
    // A store writes a whole vector, a third more than the pixels it packs, so the last group
    // that stays inside the row ends before the row does.
    const std::size_t reach = (4 * lanes + 2) / 3;  // pixels a store touches
    std::size_t i = 0;
    for (; i + reach <= n; i += lanes) group(i);
    if (n >= reach && n - reach + lanes > i) {
        // Drawing a pixel twice gives what drawing it once does: the last group may overlap.
        group(n - reach);
        i = n - reach + lanes;
    }
    lookupRowScalar(indices + i, n - i, lut, keepIndex, out + 3 * i);
}

#endif  // HWY_TARGET == HWY_SCALAR

void HashTileBlocks(uint64_t* HWY_RESTRICT streams, const uint8_t* HWY_RESTRICT row,
                    std::size_t tiles, std::size_t tileBytes, std::size_t lastTileBytes) {
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
    // The four streams of a tile are the four lanes of one vector: one multiply per block.
    const hn::FixedTag<uint64_t, 4> d;
    const auto odd = hn::Set(d, kTileHashOdd);
    for (std::size_t c = 0; c < tiles; ++c) {
        const std::size_t blocks = (c + 1 == tiles ? lastTileBytes : tileBytes) / 32;
        const uint8_t* p = row + c * tileBytes;
        auto s = hn::LoadU(d, streams + 4 * c);
        for (std::size_t b = 0; b < blocks; ++b)
            s = hn::Xor(s, hn::LoadU(d, reinterpret_cast<const uint64_t*>(p + 32 * b))) * odd;
        hn::StoreU(s, d, streams + 4 * c);
    }
#else
    // Narrower vectors have no 64-bit multiply: four scalar chains are as fast.
    hashTileBlocksScalar(streams, row, tiles, tileBytes, lastTileBytes);
#endif
}

}  // namespace HWY_NAMESPACE
}  // namespace anigif::draw
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace anigif::draw {

// Dispatch without Highway's shared runtime: that library measures its timer when it is loaded,
// a few milliseconds every program start would pay for kernels most starts never call. Its
// header-only target bookkeeping (ChosenTarget, the per-target tables) does the rest.
namespace {

#define ANIGIF_KERNEL_TABLE(FUNC)                                                           \
    decltype(&HWY_STATIC_DISPATCH(FUNC)) const FUNC##Table[HWY_MAX_DYNAMIC_TARGETS + 2] = { \
        nullptr, HWY_CHOOSE_TARGET_LIST(FUNC), HWY_CHOOSE_FALLBACK(FUNC)}
ANIGIF_KERNEL_TABLE(AverageRow);
ANIGIF_KERNEL_TABLE(AverageColumns);
ANIGIF_KERNEL_TABLE(LanesOfPixels);
ANIGIF_KERNEL_TABLE(BytesOfLanes);
ANIGIF_KERNEL_TABLE(OpaquePixels);
ANIGIF_KERNEL_TABLE(PresentMasked);
ANIGIF_KERNEL_TABLE(BlendKeptPixels);
ANIGIF_KERNEL_TABLE(HashTileBlocks);
ANIGIF_KERNEL_TABLE(LookupRow);
#undef ANIGIF_KERNEL_TABLE

#if HWY_ARCH_X86
// Not every compiler's CPU check knows these two.
bool hasF16cAndLzcnt() noexcept {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & (1u << 29))) return false;  // F16C
    return __get_cpuid(0x80000001u, &a, &b, &c, &d) && (c & (1u << 5));      // LZCNT
}
#endif

// The instruction sets of Highway's targets that this CPU and its operating system run (the
// compiler's CPU check includes the OS's saving of the wide registers).
int64_t cpuTargets() noexcept {
    int64_t targets = HWY_EMU128 | HWY_SCALAR;
#if HWY_ARCH_X86
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("ssse3")) return targets;
    targets |= HWY_SSSE3;
    if (!(__builtin_cpu_supports("sse4.1") && __builtin_cpu_supports("sse4.2") &&
          __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("aes")))
        return targets;
    targets |= HWY_SSE4;
    if (!(__builtin_cpu_supports("avx") && __builtin_cpu_supports("avx2") &&
          __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
          __builtin_cpu_supports("fma") && hasF16cAndLzcnt()))
        return targets;
    targets |= HWY_AVX2;
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw"))
        targets |= HWY_AVX3;
#else
    targets |= HWY_STATIC_TARGET;  // elsewhere, what the compiler was told the CPU has
#endif
    return targets;
}

std::size_t tableIndexFor(int64_t targets) noexcept {
    hwy::ChosenTarget chosen;
    chosen.Update(targets);
    return chosen.GetIndex();
}

std::atomic<std::size_t> forcedIndex{0};  // 0: the best the CPU runs

std::size_t kernelIndex() noexcept {
    static const std::size_t best = tableIndexFor(cpuTargets());
    const std::size_t forced = forcedIndex.load(std::memory_order_relaxed);
    return forced ? forced : best;
}

}  // namespace

std::vector<int64_t> runnableKernelTargets() {
    std::vector<int64_t> out;
    for (int64_t t = cpuTargets() & HWY_TARGETS; t != 0; t &= t - 1) out.push_back(t & -t);
    return out;
}

void forceKernelTarget(int64_t target) noexcept {
    forcedIndex.store(target ? tableIndexFor(target) : 0, std::memory_order_relaxed);
}

void lanesOfPixels(const uint8_t* pixels, std::size_t n, uint64_t* out) noexcept {
    LanesOfPixelsTable[kernelIndex()](pixels, n, out);
}

void bytesOfLanes(const uint64_t* lanes, std::size_t n, uint8_t* colour,
                  uint8_t* coverage) noexcept {
    BytesOfLanesTable[kernelIndex()](lanes, n, colour, coverage);
}

void opaquePixels(const uint8_t* pixels, std::size_t n, uint8_t* out) noexcept {
    OpaquePixelsTable[kernelIndex()](pixels, n, out);
}

void presentMasked(const uint8_t* colour, const uint8_t* maskBits, std::size_t firstBit,
                   std::size_t n, uint8_t* out) noexcept {
    PresentMaskedTable[kernelIndex()](colour, maskBits, firstBit, n, out);
}

void blendKeptPixels(const uint8_t* colour, const uint8_t* coverage, std::size_t n,
                     uint8_t* out) noexcept {
    BlendKeptPixelsTable[kernelIndex()](colour, coverage, n, out);
}

void lookupRow(const uint8_t* indices, std::size_t n, const uint32_t* lut, uint32_t keepIndex,
               uint8_t* out) noexcept {
    LookupRowTable[kernelIndex()](indices, n, lut, keepIndex, out);
}

void lookupRowScalar(const uint8_t* indices, std::size_t n, const uint32_t* lut, uint32_t keepIndex,
                     uint8_t* out) noexcept {
    for (std::size_t i = 0; i < n; ++i, out += 3) {
        if (indices[i] == keepIndex) continue;
        const uint32_t c = lut[indices[i]];
        out[0] = static_cast<uint8_t>(c);
        out[1] = static_cast<uint8_t>(c >> 8);
        out[2] = static_cast<uint8_t>(c >> 16);
    }
}

void averageRow(const uint64_t* src, const int64_t* start, const uint64_t* weights,
                std::size_t taps, std::size_t nx, uint64_t* out) noexcept {
    AverageRowTable[kernelIndex()](src, start, weights, taps, nx, out);
}

void averageColumns(const uint64_t* const* rows, const uint16_t* weights, std::size_t taps,
                    std::size_t n, uint64_t* out) noexcept {
    AverageColumnsTable[kernelIndex()](rows, weights, taps, n, out);
}

void hashTileBlocks(uint64_t* streams, const uint8_t* row, std::size_t tiles, std::size_t tileBytes,
                    std::size_t lastTileBytes) noexcept {
    HashTileBlocksTable[kernelIndex()](streams, row, tiles, tileBytes, lastTileBytes);
}

void hashTileBlocksScalar(uint64_t* streams, const uint8_t* row, std::size_t tiles,
                          std::size_t tileBytes, std::size_t lastTileBytes) noexcept {
    for (std::size_t c = 0; c < tiles; ++c) {
        const std::size_t n = (c + 1 == tiles ? lastTileBytes : tileBytes) / 32 * 32;
        const uint8_t* p = row + c * tileBytes;
        uint64_t* st = streams + 4 * c;
        uint64_t s0 = st[0], s1 = st[1], s2 = st[2], s3 = st[3];
        // One word at a time: a four-word copy goes through the stack.
        auto word = [](const uint8_t* q) {
            uint64_t w;
            std::memcpy(&w, q, sizeof w);
            return w;
        };
        for (std::size_t k = 0; k < n; k += 32) {
            s0 = (s0 ^ word(p + k)) * kTileHashOdd;
            s1 = (s1 ^ word(p + k + 8)) * kTileHashOdd;
            s2 = (s2 ^ word(p + k + 16)) * kTileHashOdd;
            s3 = (s3 ^ word(p + k + 24)) * kTileHashOdd;
        }
        st[0] = s0;
        st[1] = s1;
        st[2] = s2;
        st[3] = s3;
    }
}

// Sums of weight x lanes back to 8 bits per lane, rounded: one multiply weighs all four lanes.
namespace {
inline uint64_t roundLanes(uint64_t v) noexcept {
    return ((v + 0x0080008000800080ull) >> 8) & 0x00FF00FF00FF00FFull;
}
}  // namespace

void averageRowScalar(const uint64_t* src, const int64_t* start, const uint64_t* weights,
                      std::size_t taps, std::size_t nx, uint64_t* out) noexcept {
    for (std::size_t i = 0; i < nx; ++i) {
        const uint64_t* p = src + start[i];
        uint64_t acc = 0;
        // A replicated weight's low lane is the weight itself.
        for (std::size_t k = 0; k < taps; ++k) acc += (weights[i * taps + k] & 0xFFFF) * p[k];
        out[i] = roundLanes(acc);
    }
}

void averageColumnsScalar(const uint64_t* const* rows, const uint16_t* weights, std::size_t taps,
                          std::size_t n, uint64_t* out) noexcept {
    for (std::size_t i = 0; i < n; ++i) {
        uint64_t acc = 0;
        for (std::size_t k = 0; k < taps; ++k) acc += uint64_t{weights[k]} * rows[k][i];
        out[i] = roundLanes(acc);
    }
}

void opaquePixelsScalar(const uint8_t* pixels, std::size_t n, uint8_t* out) noexcept {
    for (std::size_t i = 0; i < n; ++i, pixels += 3, out += 4) {
        out[0] = pixels[0];
        out[1] = pixels[1];
        out[2] = pixels[2];
        out[3] = 255;
    }
}

void presentMaskedScalar(const uint8_t* colour, const uint8_t* maskBits, std::size_t firstBit,
                         std::size_t n, uint8_t* out) noexcept {
    for (std::size_t i = 0; i < n; ++i, colour += 3, out += 4) {
        const std::size_t bit = firstBit + i;
        const uint32_t rgb = uint32_t{colour[2]} << 16 | uint32_t{colour[1]} << 8 | colour[0];
        if (((maskBits[bit / 8] >> (7 - bit % 8)) & 1u) == 0)
            Pixels<4>::put(out, rgb);
        else if (rgb != 0)
            Pixels<4>::andOr(out, 0xFFFFFF, rgb);
    }
}

void blendKeptPixelsScalar(const uint8_t* colour, const uint8_t* coverage, std::size_t n,
                           uint8_t* out) noexcept {
    for (std::size_t i = 0; i < n; ++i, colour += 3, out += 4)
        if (coverage[i] != 0) Pixels<4>::blend(out, colour[0], colour[1], colour[2], coverage[i]);
}

void lanesOfPixelsScalar(const uint8_t* pixels, std::size_t n, uint64_t* out) noexcept {
    for (std::size_t i = 0; i < n; ++i, pixels += 3)
        out[i] = uint64_t{pixels[0]} | uint64_t{pixels[1]} << 16 | uint64_t{pixels[2]} << 32 |
                 uint64_t{255} << 48;
}

void bytesOfLanesScalar(const uint64_t* lanes, std::size_t n, uint8_t* colour,
                        uint8_t* coverage) noexcept {
    for (std::size_t i = 0; i < n; ++i, colour += 3) {
        colour[0] = static_cast<uint8_t>(lanes[i]);
        colour[1] = static_cast<uint8_t>(lanes[i] >> 16);
        colour[2] = static_cast<uint8_t>(lanes[i] >> 32);
        coverage[i] = static_cast<uint8_t>(lanes[i] >> 48);
    }
}

}  // namespace anigif::draw
#endif  // HWY_ONCE

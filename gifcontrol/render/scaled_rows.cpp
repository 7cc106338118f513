// The averaging steps of scaled drawing, compiled once per instruction set and dispatched at run
// time to the best one the CPU has.
#include "gifcontrol/render/scaled_rows.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

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
ANIGIF_KERNEL_TABLE(HashTileBlocks);
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

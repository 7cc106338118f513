#include "platform/surface.h"

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/large_block.h"
#include "platform/memory_budget.h"
#include "platform/runtime_error.h"

namespace platform {

int32_t RowBytes(int32_t bitsPerPixel, int32_t width) {
    const int64_t bitsWide = int64_t{bitsPerPixel} * width + 31;
    if (bitsWide > INT32_MAX || bitsWide < INT32_MIN) raiseOverflow("RowBytes");
    // Clearing the low five bits rounds towards minus infinity, also for negative values.
    return static_cast<int32_t>((bitsWide & ~int64_t{31}) / 8);
}

void Surface::FreeDeleter::operator()(uint8_t* p) const noexcept {
    if (mappedBytes != 0)
        unmapLargeBlock(p, mappedBytes);
    else
        std::free(p);
}

namespace {

// Zero-filled pixel memory; large surfaces (a long frame strip, a full-HD composite) straight
// from the system.
uint8_t* allocatePixels(std::size_t size, std::size_t& mappedBytes) noexcept {
    mappedBytes = 0;
    if (!isLargeBlock(size)) return static_cast<uint8_t*>(std::calloc(size, 1));
    void* p = mapLargeBlock(size);
    if (p) mappedBytes = size;
    return static_cast<uint8_t*>(p);
}

}  // namespace

Surface::~Surface() = default;

std::unique_ptr<Surface> Surface::create(int32_t bitsPerPixel, int32_t width, int32_t height,
                                         std::span<const uint32_t> colors) noexcept {
    if (bitsPerPixel != 1 && bitsPerPixel != 8 && bitsPerPixel != 24) return nullptr;
    if (width <= 0 || height <= 0) return nullptr;
    int32_t rowBytes = 0;
    try {
        rowBytes = RowBytes(bitsPerPixel, width);
    } catch (const RuntimeError&) {
        return nullptr;
    }
    const auto size = static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(height);
    if (size > memoryBudgetBytes()) return nullptr;
    std::size_t mappedBytes = 0;
    uint8_t* data = allocatePixels(size, mappedBytes);
    if (data == nullptr) return nullptr;
    std::unique_ptr<Surface> s(new (std::nothrow) Surface());
    if (!s) {
        FreeDeleter{mappedBytes}(data);
        return nullptr;
    }
    s->data_ = std::unique_ptr<uint8_t, FreeDeleter>(data, FreeDeleter{mappedBytes});
    s->bits_ = bitsPerPixel;
    s->width_ = width;
    s->height_ = height;
    s->rowBytes_ = rowBytes;
    const std::size_t entries = bitsPerPixel == 1 ? 2 : bitsPerPixel == 8 ? 256 : 0;
    const std::size_t n = std::min(entries, colors.size());
    for (std::size_t i = 0; i < n; ++i) s->table_[i] = colors[i] & 0x00FFFFFFu;
    return s;
}

std::size_t Surface::sizeBytes() const noexcept {
    return static_cast<std::size_t>(rowBytes_) * static_cast<std::size_t>(height_);
}

uint8_t* Surface::row(int32_t r) noexcept {
    return data_.get() + static_cast<std::ptrdiff_t>(r) * rowBytes_;
}

const uint8_t* Surface::row(int32_t r) const noexcept {
    return data_.get() + static_cast<std::ptrdiff_t>(r) * rowBytes_;
}

std::span<const uint32_t> Surface::colorTable() const noexcept {
    const std::size_t n = bits_ == 1 ? 2 : bits_ == 8 ? 256 : 0;
    return {table_, n};
}

int32_t Surface::setColorTable(int32_t start, std::span<const uint32_t> entries) noexcept {
    const auto size = static_cast<int64_t>(colorTable().size());
    if (start < 0 || start >= size) return 0;
    const int64_t n = std::min<int64_t>(static_cast<int64_t>(entries.size()), size - start);
    for (int64_t i = 0; i < n; ++i)
        table_[start + i] = entries[static_cast<std::size_t>(i)] & 0x00FFFFFFu;
    return static_cast<int32_t>(n);
}

namespace {

inline uint32_t readRaw(const uint8_t* line, int bits, int32_t x) noexcept {
    switch (bits) {
        case 1:
            return (line[x >> 3] >> (7 - (x & 7))) & 1u;
        case 8:
            return line[x];
        default: {
            const uint8_t* p = line + static_cast<std::ptrdiff_t>(x) * 3;
            return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
        }
    }
}

// Nearest table entry to an 0x00RRGGBB colour by squared distance; the lowest index on a tie.
uint32_t nearestEntry(std::span<const uint32_t> table, uint32_t rgb) noexcept {
    uint32_t best = 0;
    int64_t bestDist = INT64_MAX;
    const int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const int dr = static_cast<int>((table[i] >> 16) & 0xFF) - r;
        const int dg = static_cast<int>((table[i] >> 8) & 0xFF) - g;
        const int db = static_cast<int>(table[i] & 0xFF) - b;
        const int64_t d = int64_t{dr} * dr + int64_t{dg} * dg + int64_t{db} * db;
        if (d < bestDist) {
            bestDist = d;
            best = static_cast<uint32_t>(i);
            if (d == 0) break;
        }
    }
    return best;
}

// Turns a colour into the target's raw value (index, bit or 0x00RRGGBB).
uint32_t rawForColor(const Surface& dst, uint32_t rgb) noexcept {
    return dst.bitsPerPixel() == 24 ? rgb : nearestEntry(dst.colorTable(), rgb);
}

enum class Rop { Copy, And, Or };

template <Rop R>
inline uint8_t combine(uint8_t d, uint8_t s) noexcept {
    if constexpr (R == Rop::Copy) return s;
    if constexpr (R == Rop::And) return static_cast<uint8_t>(d & s);
    return static_cast<uint8_t>(d | s);
}

template <int DB, Rop R>
inline void writeRaw(uint8_t* line, int32_t x, uint32_t v) noexcept {
    if constexpr (DB == 1) {
        const uint8_t mask = static_cast<uint8_t>(0x80u >> (x & 7));
        uint8_t& byte = line[x >> 3];
        const bool d = (byte & mask) != 0;
        const bool s = (v & 1u) != 0;
        const bool out = R == Rop::Copy ? s : R == Rop::And ? (d && s) : (d || s);
        byte = out ? static_cast<uint8_t>(byte | mask) : static_cast<uint8_t>(byte & ~mask);
    } else if constexpr (DB == 8) {
        line[x] = combine<R>(line[x], static_cast<uint8_t>(v));
    } else {
        uint8_t* p = line + static_cast<std::ptrdiff_t>(x) * 3;
        p[0] = combine<R>(p[0], static_cast<uint8_t>(v));
        p[1] = combine<R>(p[1], static_cast<uint8_t>(v >> 8));
        p[2] = combine<R>(p[2], static_cast<uint8_t>(v >> 16));
    }
}

// One axis of a blit after clipping: target positions first .. first + count - 1, and for each
// the source position (or -1 when it lies outside the source).
struct AxisMap {
    int32_t first = 0;
    std::vector<int32_t> src;
};

// Maps target positions d .. d + |dn| - 1 onto source positions starting at s, read forwards
// for a positive sn and backwards for a negative one, sampling at pixel centres. Target
// positions outside 0 .. dstLimit - 1 are dropped.
AxisMap mapAxis(int32_t d, int32_t dn, int32_t s, int32_t sn, int32_t dstLimit, int32_t srcLimit) {
    AxisMap m;
    const int64_t adn = dn < 0 ? -int64_t{dn} : dn;
    const int64_t asn = sn < 0 ? -int64_t{sn} : sn;
    const int64_t lo = std::max<int64_t>(d, 0);
    const int64_t hi = std::min<int64_t>(int64_t{d} + adn, dstLimit);
    if (hi <= lo) return m;
    m.first = static_cast<int32_t>(lo);
    m.src.resize(static_cast<std::size_t>(hi - lo));
    for (int64_t t = lo; t < hi; ++t) {
        const int64_t i = t - d;
        const int64_t off = adn == asn ? i : ((2 * i + 1) * asn) / (2 * adn);
        const int64_t p = sn < 0 ? int64_t{s} - off : int64_t{s} + off;
        m.src[static_cast<std::size_t>(t - lo)] =
            (p < 0 || p >= srcLimit) ? -1 : static_cast<int32_t>(p);
    }
    return m;
}

// Source raw value -> target raw value, for 1- and 8-bit sources.
std::array<uint32_t, 256> sourceLookup(const Surface& src, const Surface& dst) {
    std::array<uint32_t, 256> lut{};
    if (src.bitsPerPixel() == 8 && dst.bitsPerPixel() == 8) {
        for (uint32_t i = 0; i < 256; ++i) lut[i] = i;
    } else if (src.bitsPerPixel() == 8) {
        const auto table = src.colorTable();
        // Neighbouring entries are often the same colour (a mask palette is nearly all black).
        uint32_t lastColour = 0, lastRaw = 0;
        for (std::size_t i = 0; i < 256; ++i) {
            if (i == 0 || table[i] != lastColour) {
                lastColour = table[i];
                lastRaw = rawForColor(dst, lastColour);
            }
            lut[i] = lastRaw;
        }
    } else if (src.bitsPerPixel() == 1) {
        lut[0] = rawForColor(dst, 0x000000);
        lut[1] = rawForColor(dst, 0xFFFFFF);
        if (dst.bitsPerPixel() == 1) lut[0] = 0, lut[1] = 1;
    }
    return lut;
}

// True when the axis reads source positions one after another, with none outside the source.
bool isUnscaledRun(const AxisMap& xs) noexcept {
    if (xs.src.empty() || xs.src.front() < 0) return false;
    const int32_t first = xs.src.front();
    for (std::size_t i = 1; i < xs.src.size(); ++i)
        if (xs.src[i] != first + static_cast<int32_t>(i)) return false;
    return true;
}

// The bits of eight indices, the first in the high bit: set where the index is `index`. The
// indices are compared as one word: XOR makes the matching bytes zero, the sum sets the high bit
// of each non-zero byte, and the multiply gathers the eight high bits into the top byte.
inline uint8_t bitsOfIndex(const uint8_t* p, uint8_t index) noexcept {
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    uint64_t w;
    std::memcpy(&w, p, 8);
    w ^= 0x0101010101010101ull * index;
    const uint64_t zero = ~(((w & kLow7) + kLow7) | w | kLow7);  // 0x80 in each zero byte
    return static_cast<uint8_t>(((zero >> 7) * 0x8040201008040201ull) >> 56);
}

// How the bits of an index table look: every index the same bit (uniform), or one index apart
// from all the others (single, set or clear), or neither.
struct BitTableShape {
    int uniform = -1;  // the bit every index gives, or -1
    int single = -1;   // the one index whose bit differs from all the others', or -1
    bool singleSet = false;
};
BitTableShape shapeOf(const std::array<uint8_t, 256>& bit) noexcept {
    BitTableShape shape;
    int ones = 0, lastOne = -1, lastZero = -1;
    for (int k = 0; k < 256; ++k) {
        if (bit[static_cast<std::size_t>(k)]) {
            ++ones;
            lastOne = k;
        } else {
            lastZero = k;
        }
    }
    if (ones == 0 || ones == 256) shape.uniform = ones ? 1 : 0;
    if (ones == 1) shape.single = lastOne, shape.singleSet = true;
    if (ones == 255) shape.single = lastZero;
    return shape;
}

// An 8-bit row onto a 1-bit row, unscaled: eight target bits at a time wherever a whole target
// byte is covered (the compositing mask is updated this way for every frame).
template <Rop R>
void indexRowToBits(uint8_t* dl, int32_t dx, const uint8_t* sl, int32_t n,
                    const std::array<uint8_t, 256>& bit, const BitTableShape& shape) noexcept {
    const int uniform = shape.uniform;
    int32_t i = 0;
    for (; i < n && ((dx + i) & 7) != 0; ++i) writeRaw<1, R>(dl, dx + i, bit[sl[i]]);
    const int32_t whole = (n - i) / 8;
    uint8_t* bytes = dl + ((dx + i) >> 3);
    if (uniform >= 0) {
        // Every index gives the same bit: whole bytes need no look at the source.
        const auto value = static_cast<uint8_t>(uniform ? 0xFF : 0x00);
        if (R == Rop::Copy || (R == Rop::And && value == 0) || (R == Rop::Or && value != 0))
            std::memset(bytes, value, static_cast<std::size_t>(whole));
        i += whole * 8;
    } else if (shape.single >= 0 && std::endian::native == std::endian::little) {
        // A transparent frame's mask: only its transparent index differs.
        const auto index = static_cast<uint8_t>(shape.single);
        const auto flip = static_cast<uint8_t>(shape.singleSet ? 0x00 : 0xFF);
        for (int32_t b = 0; b < whole; ++b, i += 8)
            bytes[b] =
                combine<R>(bytes[b], static_cast<uint8_t>(bitsOfIndex(sl + i, index) ^ flip));
    } else {
        for (int32_t b = 0; b < whole; ++b, i += 8) {
            const uint8_t* p = sl + i;
            const auto bits = static_cast<uint8_t>(
                bit[p[0]] << 7 | bit[p[1]] << 6 | bit[p[2]] << 5 | bit[p[3]] << 4 | bit[p[4]] << 3 |
                bit[p[5]] << 2 | bit[p[6]] << 1 | bit[p[7]]);
            bytes[b] = combine<R>(bytes[b], bits);
        }
    }
    for (; i < n; ++i) writeRaw<1, R>(dl, dx + i, bit[sl[i]]);
}

template <int SB, int DB, Rop R>
void nearestRows(Surface& dst, const Surface& src, const AxisMap& xs, const AxisMap& ys) {
    const std::array<uint32_t, 256> lut = sourceLookup(src, dst);
    uint32_t lastRgb = 0xFFFFFFFFu, lastRaw = 0;  // cache for 24-bit sources onto palettes
    bool unscaledIndexToBits = false;
    std::array<uint8_t, 256> bit{};
    BitTableShape shape;
    if constexpr (SB == 8 && DB == 1) {
        unscaledIndexToBits = isUnscaledRun(xs);
        for (std::size_t k = 0; k < 256; ++k) bit[k] = static_cast<uint8_t>(lut[k] & 1u);
        shape = shapeOf(bit);
    }
    for (std::size_t j = 0; j < ys.src.size(); ++j) {
        const int32_t sy = ys.src[j];
        if (sy < 0) continue;
        const uint8_t* sl = src.line(sy);
        uint8_t* dl = dst.line(ys.first + static_cast<int32_t>(j));
        if (unscaledIndexToBits) {
            indexRowToBits<R>(dl, xs.first, sl + xs.src.front(),
                              static_cast<int32_t>(xs.src.size()), bit, shape);
            continue;
        }
        for (std::size_t i = 0; i < xs.src.size(); ++i) {
            const int32_t sx = xs.src[i];
            if (sx < 0) continue;
            uint32_t v = readRaw(sl, SB, sx);
            if constexpr (SB != 24) {
                v = lut[v];
            } else if constexpr (DB != 24) {
                if (v != lastRgb) {
                    lastRgb = v;
                    lastRaw = nearestEntry(dst.colorTable(), v);
                }
                v = lastRaw;
            }
            writeRaw<DB, R>(dl, xs.first + static_cast<int32_t>(i), v);
        }
    }
}

template <int SB, int DB>
void nearestFor(Rop rop, Surface& dst, const Surface& src, const AxisMap& xs, const AxisMap& ys) {
    switch (rop) {
        case Rop::Copy:
            return nearestRows<SB, DB, Rop::Copy>(dst, src, xs, ys);
        case Rop::And:
            return nearestRows<SB, DB, Rop::And>(dst, src, xs, ys);
        case Rop::Or:
            return nearestRows<SB, DB, Rop::Or>(dst, src, xs, ys);
    }
}

template <int SB>
void nearestForSource(Rop rop, Surface& dst, const Surface& src, const AxisMap& xs,
                      const AxisMap& ys) {
    switch (dst.bitsPerPixel()) {
        case 1:
            return nearestFor<SB, 1>(rop, dst, src, xs, ys);
        case 8:
            return nearestFor<SB, 8>(rop, dst, src, xs, ys);
        default:
            return nearestFor<SB, 24>(rop, dst, src, xs, ys);
    }
}

// Copies the part of `src` that the blit reads (columns x0..x1, lines y0..y1) into a new
// surface, so that a surface can be drawn onto itself.
std::unique_ptr<Surface> copyRegion(const Surface& src, int32_t x0, int32_t x1, int32_t y0,
                                    int32_t y1) {
    auto copy = Surface::create(src.bitsPerPixel(), x1 - x0 + 1, y1 - y0 + 1, src.colorTable());
    if (!copy) return nullptr;
    for (int32_t y = y0; y <= y1; ++y) {
        const uint8_t* from = src.line(y);
        uint8_t* to = copy->line(y - y0);
        if (src.bitsPerPixel() == 1) {
            for (int32_t x = x0; x <= x1; ++x) {
                if (readRaw(from, 1, x))
                    to[(x - x0) >> 3] |= static_cast<uint8_t>(0x80u >> ((x - x0) & 7));
            }
        } else {
            const int32_t bpp = src.bitsPerPixel() / 8;
            std::memcpy(to, from + static_cast<std::ptrdiff_t>(x0) * bpp,
                        static_cast<std::size_t>(x1 - x0 + 1) * bpp);
        }
    }
    return copy;
}

}  // namespace

uint32_t Surface::pixel(int32_t x, int32_t y) const noexcept {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    return readRaw(line(y), bits_, x);
}

void Surface::setPixel(int32_t x, int32_t y, uint32_t value) noexcept {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    switch (bits_) {
        case 1:
            return writeRaw<1, Rop::Copy>(line(y), x, value);
        case 8:
            return writeRaw<8, Rop::Copy>(line(y), x, value);
        default:
            return writeRaw<24, Rop::Copy>(line(y), x, value);
    }
}

uint32_t Surface::colorAt(int32_t x, int32_t y) const noexcept {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    const uint32_t raw = readRaw(line(y), bits_, x);
    return bits_ == 24 ? raw : table_[raw];
}

void Surface::fill(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rgb) noexcept {
    const int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
    const int64_t x1 = std::min<int64_t>(int64_t{x} + w, width_);
    const int64_t y1 = std::min<int64_t>(int64_t{y} + h, height_);
    if (x1 <= x0 || y1 <= y0) return;
    const uint32_t raw = rawForColor(*this, rgb & 0x00FFFFFFu);
    const auto n = static_cast<std::size_t>(x1 - x0);
    if (bits_ == 24) {
        // One row span is written pixel by pixel, the others are copies of it.
        uint8_t* first = line(static_cast<int32_t>(y0)) + x0 * 3;
        for (std::size_t i = 0; i < n; ++i) {
            first[3 * i] = static_cast<uint8_t>(raw);
            first[3 * i + 1] = static_cast<uint8_t>(raw >> 8);
            first[3 * i + 2] = static_cast<uint8_t>(raw >> 16);
        }
        for (auto yy = static_cast<int32_t>(y0) + 1; yy < y1; ++yy)
            std::memcpy(line(yy) + x0 * 3, first, n * 3);
        return;
    }
    for (auto yy = static_cast<int32_t>(y0); yy < y1; ++yy) {
        uint8_t* l = line(yy);
        if (bits_ == 8) {
            std::memset(l + x0, static_cast<int>(raw), n);
            continue;
        }
        // 1 bit: partial bytes at either end bit by bit, whole bytes in between at once.
        auto xx = static_cast<int32_t>(x0);
        for (; xx < x1 && (xx & 7) != 0; ++xx) writeRaw<1, Rop::Copy>(l, xx, raw);
        const int64_t whole = (x1 - xx) / 8;
        if (whole > 0) {
            std::memset(l + (xx >> 3), raw ? 0xFF : 0x00, static_cast<std::size_t>(whole));
            xx += static_cast<int32_t>(whole * 8);
        }
        for (; xx < x1; ++xx) writeRaw<1, Rop::Copy>(l, xx, raw);
    }
}

void Surface::fillBytes(uint8_t value) noexcept {
    // Private anonymous pages read as zero again once discarded.
    if (value == 0 && data_.get_deleter().mappedBytes != 0 &&
        madvise(data_.get(), data_.get_deleter().mappedBytes, MADV_DONTNEED) == 0)
        return;
    std::memset(data_.get(), value, sizeBytes());
}

bool bitBlt(Surface& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Surface& src,
            int32_t sx, int32_t sy, uint32_t rop) noexcept {
    return stretchBlt(dst, dx, dy, w, h, src, sx, sy, w, h, rop);
}

bool stretchBlt(Surface& dst, int32_t dx, int32_t dy, int32_t dw, int32_t dh, const Surface& src,
                int32_t sx, int32_t sy, int32_t sw, int32_t sh, uint32_t ropCode) noexcept {
    Rop rop;
    switch (ropCode) {
        case kRopCopy:
            rop = Rop::Copy;
            break;
        case kRopAnd:
            rop = Rop::And;
            break;
        case kRopOr:
            rop = Rop::Or;
            break;
        default:
            return false;
    }
    if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return false;
    try {
        AxisMap xs = mapAxis(dx, dw, sx, sw, dst.width(), src.width());
        AxisMap ys = mapAxis(dy, dh, sy, sh, dst.height(), src.height());
        if (xs.src.empty() || ys.src.empty()) return true;

        const Surface* from = &src;
        std::unique_ptr<Surface> copy;
        if (&src == &dst) {
            // Read the whole source region before writing anything.
            auto range = [](int32_t s, int32_t n, int32_t limit, int32_t& lo, int32_t& hi) {
                const int64_t a = n < 0 ? int64_t{s} + n + 1 : s;
                const int64_t b = n < 0 ? s : int64_t{s} + n - 1;
                lo = static_cast<int32_t>(std::max<int64_t>(a, 0));
                hi = static_cast<int32_t>(std::min<int64_t>(b, limit - 1));
                return lo <= hi;
            };
            int32_t x0, x1, y0, y1;
            if (!range(sx, sw, src.width(), x0, x1) || !range(sy, sh, src.height(), y0, y1))
                return true;
            copy = copyRegion(src, x0, x1, y0, y1);
            if (!copy) return false;
            from = copy.get();
            // Rebase the source origin onto the copy; positions outside it stay outside.
            sx -= x0;
            sy -= y0;
            xs = mapAxis(dx, dw, sx, sw, dst.width(), from->width());
            ys = mapAxis(dy, dh, sy, sh, dst.height(), from->height());
        }

        switch (from->bitsPerPixel()) {
            case 1:
                nearestForSource<1>(rop, dst, *from, xs, ys);
                break;
            case 8:
                nearestForSource<8>(rop, dst, *from, xs, ys);
                break;
            default:
                nearestForSource<24>(rop, dst, *from, xs, ys);
                break;
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace platform

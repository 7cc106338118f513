// Kept scaled frames: pictures averaged at earlier paints, kept with the hashes of their source
// tiles so a later paint of the same frame at the same size copies them instead of averaging
// again, and the slot memory they live in.
#include <bit>

#include "gifcontrol/render/area_average.h"

namespace anigif::draw {

using namespace area;

namespace {

// A 64-bit hash of byte ranges, eight bytes at a time in eight independent streams (an odd
// multiply per word keeps every change; the streams are mixed thoroughly at the end).
class Hasher {
  public:
    void add(const uint8_t* p, std::size_t n) noexcept {
        std::size_t k = 0;
        uint64_t l[8];  // in registers through the loop
        std::memcpy(l, lane_, sizeof l);
        for (; k + 64 <= n; k += 64) {
            uint64_t w[8];
            std::memcpy(w, p + k, sizeof w);
            l[0] = (l[0] ^ w[0]) * kOdd;
            l[1] = (l[1] ^ w[1]) * kOdd;
            l[2] = (l[2] ^ w[2]) * kOdd;
            l[3] = (l[3] ^ w[3]) * kOdd;
            l[4] = (l[4] ^ w[4]) * kOdd;
            l[5] = (l[5] ^ w[5]) * kOdd;
            l[6] = (l[6] ^ w[6]) * kOdd;
            l[7] = (l[7] ^ w[7]) * kOdd;
        }
        std::memcpy(lane_, l, sizeof l);
        for (int q = 0; k + 8 <= n; k += 8, ++q) {
            uint64_t w;
            std::memcpy(&w, p + k, 8);
            lane_[q] = (lane_[q] ^ w) * kOdd;
        }
        uint64_t tail = n;  // the length, so that ranges of different lengths differ
        for (; k < n; ++k) tail = tail << 8 | p[k];
        lane_[7] = mix(lane_[7] ^ tail);
    }
    uint64_t value() const noexcept {
        uint64_t v = 0;
        for (const uint64_t lane : lane_) v = mix(v ^ mix(lane));
        return v;
    }

  private:
    static constexpr uint64_t kOdd = 0x9E3779B97F4A7C15ull;
    static uint64_t mix(uint64_t x) noexcept {
        x ^= x >> 31;
        x *= 0xBF58476D1CE4E5B9ull;
        return x ^ (x >> 29);
    }
    uint64_t lane_[8] = {1, 2, 3, 4, 5, 6, 7, 8};
};

// What a kept picture was made for, besides its source pixels.
struct Placement {
    int32_t dstW = 0, dstH = 0, x = 0, y = 0, w = 0, h = 0, srcW = 0, srcH = 0;
    bool operator==(const Placement&) const = default;
};

// Hashes of a picture's tiles, kTileWidth x kTileHeight source pixels each (smaller at the right
// and bottom edges), row by row: what changed between two versions of a picture.
constexpr int32_t kTileWidth = 64, kTileHeight = 16;
struct TileHashes {
    int32_t cols = 0, rows = 0;
    std::vector<uint64_t> values;
};

// Memory for kept pixels: the pictures of one animation all have the same size, so they are
// cut as equal slots from blocks of huge pages. A first pass then does not fault its pictures in
// page by page, which costs more than averaging them. A freed slot goes to the next picture of
// its size; a block whose slots are all free is given back. Small pictures, pictures too large to
// share a block (and every picture under AddressSanitizer, which checks heap blocks) come from
// the heap.
// Kept pixels are written whole before they are read, so slots are not cleared.
class KeptMemory {
  public:
    KeptMemory() = default;
    KeptMemory(const KeptMemory&) = delete;
    KeptMemory& operator=(const KeptMemory&) = delete;
    ~KeptMemory() {
        for (const Block& b : blocks_) platform::unmapLargeBlock(b.base, kBlockBytes);
        platform::unmapLargeBlock(spare_, kBlockBytes);
    }

    uint8_t* take(std::size_t bytes) {
        const std::size_t size = slotSize(bytes);
        if (size < kLeastSlotBytes || size * 2 > kBlockBytes ||
            !platform::isLargeBlock(kBlockBytes))
            return static_cast<uint8_t*>(::operator new(bytes));
        for (Block& b : blocks_)
            if (b.slotBytes == size && !b.free.empty()) return takeFrom(b);
        Block b;
        b.slotBytes = size;
        b.slots = kBlockBytes / size;
        b.base = spare_ ? std::exchange(spare_, nullptr)
                        : static_cast<uint8_t*>(platform::mapLargeBlock(kBlockBytes));
        if (!b.base) throw std::bad_alloc();
        try {
            for (std::size_t k = b.slots; k-- > 0;) b.free.push_back(k);
            blocks_.push_back(std::move(b));
        } catch (...) {
            platform::unmapLargeBlock(b.base, kBlockBytes);
            throw;
        }
        return takeFrom(blocks_.back());
    }

    void give(uint8_t* p, std::size_t bytes) noexcept {
        const std::size_t size = slotSize(bytes);
        for (auto it = blocks_.begin(); it != blocks_.end(); ++it) {
            if (it->slotBytes != size || p < it->base || p >= it->base + size * it->slots) continue;
            it->free.push_back(static_cast<std::size_t>(p - it->base) / size);
            if (it->free.size() == it->slots) {
                // One empty block stays mapped for the next animation, its pages left for the
                // system to take back when it needs them: a new first pass then mostly writes
                // pages it already has instead of faulting in freshly cleared ones.
                if (spare_) {
                    platform::unmapLargeBlock(it->base, kBlockBytes);
                } else {
                    platform::releaseLargeBlockPages(it->base, kBlockBytes);
                    spare_ = it->base;
                }
                blocks_.erase(it);
            }
            return;
        }
        ::operator delete(p);
    }

  private:
    static constexpr std::size_t kBlockBytes = std::size_t{8} << 20;
    // A huge page is committed whole when first touched: small pictures stay on the heap.
    static constexpr std::size_t kLeastSlotBytes = std::size_t{256} << 10;
    static std::size_t slotSize(std::size_t bytes) noexcept { return (bytes + 63) / 64 * 64; }

    struct Block {
        uint8_t* base = nullptr;
        std::size_t slotBytes = 0, slots = 0;
        std::vector<std::size_t> free;  // reserved for all slots, so giving back never allocates
    };
    uint8_t* takeFrom(Block& b) {
        const std::size_t k = b.free.back();
        b.free.pop_back();
        return b.base + k * b.slotBytes;
    }
    std::vector<Block> blocks_;
    uint8_t* spare_ = nullptr;
};

// A kept picture's pixels: colour (premultiplied blue, green, red) then coverage, per target
// pixel.
class KeptPixels {
  public:
    KeptPixels() = default;
    KeptPixels(KeptMemory& memory, std::size_t pixels)
        : memory_(&memory), pixels_(pixels), data_(memory.take(pixels * 4)) {}
    KeptPixels(KeptPixels&& o) noexcept
        : memory_(o.memory_),
          pixels_(std::exchange(o.pixels_, 0)),
          data_(std::exchange(o.data_, nullptr)) {}
    KeptPixels& operator=(KeptPixels&& o) noexcept {
        if (this != &o) {
            release();
            memory_ = o.memory_;
            pixels_ = std::exchange(o.pixels_, 0);
            data_ = std::exchange(o.data_, nullptr);
        }
        return *this;
    }
    ~KeptPixels() { release(); }

    uint8_t* colour() const noexcept { return data_; }
    uint8_t* coverage() const noexcept { return data_ + pixels_ * 3; }
    std::size_t bytes() const noexcept { return pixels_ * 4; }

  private:
    void release() noexcept {
        if (data_) memory_->give(data_, pixels_ * 4);
        data_ = nullptr;
    }
    KeptMemory* memory_ = nullptr;
    std::size_t pixels_ = 0;
    uint8_t* data_ = nullptr;
};

struct KeptPicture {
    Placement placement;
    uint64_t hash = 0;
    TileHashes tiles;   // empty for frames, which are never made from one another
    uint64_t used = 0;  // when last drawn or made
    int32_t firstX = 0, firstY = 0;
    std::size_t nx = 0, ny = 0;
    KeptPixels pixels;

    std::size_t bytes() const { return pixels.bytes() + tiles.values.size() * sizeof(uint64_t); }
};

// Blends the kept pixels inside the canvas's clip over it: covered runs are copies, uncovered
// runs are skipped.
template <int N>
void blendKeptOnto(const KeptPicture& k, const Canvas& dst) {
    using P = Pixels<N>;
    const std::size_t i0 = static_cast<std::size_t>(
        std::clamp<int64_t>(int64_t{dst.clipLeft} - k.firstX, 0, int64_t(k.nx)));
    const std::size_t i1 = static_cast<std::size_t>(
        std::clamp<int64_t>(int64_t{dst.clipRight} - k.firstX, int64_t(i0), int64_t(k.nx)));
    const std::size_t j0 = static_cast<std::size_t>(
        std::clamp<int64_t>(int64_t{dst.clipTop} - k.firstY, 0, int64_t(k.ny)));
    const std::size_t j1 = static_cast<std::size_t>(
        std::clamp<int64_t>(int64_t{dst.clipBottom} - k.firstY, int64_t(j0), int64_t(k.ny)));
    if (i1 <= i0) return;
    for (std::size_t j = j0; j < j1; ++j) {
        const uint8_t* a = k.pixels.coverage() + j * k.nx + i0;
        const uint8_t* c = k.pixels.colour() + (j * k.nx + i0) * 3;
        uint8_t* p =
            dst.at(k.firstX + static_cast<int32_t>(i0), k.firstY + static_cast<int32_t>(j));
        const std::size_t n = i1 - i0;
        if constexpr (N == 4) {
            if (std::endian::native == std::endian::little) {
                blendKeptPixels(c, a, n, p);  // edges and holes mix with covered runs
                continue;
            }
        }
        for (std::size_t i = 0; i < n;) {
            if (a[i] == 255 || a[i] == 0) {
                const std::size_t run = sameBytes(a + i, n - i, a[i]);
                if (a[i] == 255) {
                    if constexpr (N == 3) {
                        std::memcpy(p + i * 3, c + i * 3, run * 3);
                    } else if (std::endian::native == std::endian::little && run >= 16) {
                        opaquePixels(c + i * 3, run, p + i * 4);  // the same bytes as put
                    } else {
                        for (std::size_t q = i; q < i + run; ++q)
                            P::put(p + q * 4, uint32_t{c[q * 3 + 2]} << 16 |
                                                  uint32_t{c[q * 3 + 1]} << 8 | c[q * 3]);
                    }
                }
                i += run;
                continue;
            }
            P::blend(p + i * N, c[i * 3], c[i * 3 + 1], c[i * 3 + 2], a[i]);
            ++i;
        }
    }
}

void blendKept(const KeptPicture& k, const Canvas& dst) {
    if (dst.alpha)
        blendKeptOnto<4>(k, dst);
    else
        blendKeptOnto<3>(k, dst);
}

inline uint64_t word(const uint8_t* p) noexcept {
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// Folds source rows r0 .. r1 - 1 (one tile row) into the streams of tile columns c0 .. c1 - 1.
void hashRows(const Surface& src, const Surface* mask, const SourceRect& from, int32_t cols32,
              int32_t c0, int32_t c1, int32_t r0, int32_t r1, std::vector<uint64_t>& streams) {
    constexpr uint64_t kOdd = kTileHashOdd;
    constexpr std::size_t kStreams = 4;
    const auto cols = static_cast<std::size_t>(cols32);
    const std::size_t tileBytes = std::size_t{kTileWidth} * 3;
    const std::size_t lastTileBytes =
        c1 == cols32 ? static_cast<std::size_t>(from.w - (cols32 - 1) * kTileWidth) * 3 : tileBytes;
    for (int32_t r = r0; r < r1; ++r) {
        const uint8_t* row = src.line(from.y + r) + std::ptrdiff_t{from.x} * 3;
        const uint8_t* bits = mask ? mask->line(from.y + r) : nullptr;
        uint64_t* band =
            streams.data() + static_cast<std::size_t>(r / kTileHeight) * cols * kStreams;
        // Whole 32-byte blocks of every tile first, on the vector unit where it multiplies
        // 64-bit lanes; then each tile's last words, tail and mask bytes.
        hashTileBlocks(band + static_cast<std::size_t>(c0) * kStreams, row + c0 * tileBytes,
                       static_cast<std::size_t>(c1 - c0), tileBytes, lastTileBytes);
        for (int32_t c = c0; c < c1; ++c) {
            const int32_t x0 = c * kTileWidth, x1 = std::min(x0 + kTileWidth, from.w);
            uint64_t* st = band + static_cast<std::size_t>(c) * kStreams;
            uint64_t s0 = st[0], s1 = st[1], s2 = st[2], s3 = st[3];
            const uint8_t* p = row + std::ptrdiff_t{x0} * 3;
            const auto n = static_cast<std::size_t>(x1 - x0) * 3;
            std::size_t k = n / 32 * 32;
            for (; k + 8 <= n; k += 8) s0 = (s0 ^ word(p + k)) * kOdd;
            uint64_t tail = n;  // fewer than eight bytes, and the length
            for (; k < n; ++k) tail = tail << 8 | p[k];
            s1 = (s1 ^ tail) * kOdd;
            if (bits) {
                // At most nine mask bytes, taken as two words.
                const int32_t b0 = (from.x + x0) / 8, b1 = (from.x + x1 - 1) / 8;
                const auto count = static_cast<std::size_t>(b1 - b0) + 1;
                uint64_t first = 0, second = 0x100;
                if (count >= 8) {
                    first = word(bits + b0);
                    if (count > 8) second |= bits[b0 + 8];
                } else {
                    for (std::size_t b = 0; b < count; ++b) first = first << 8 | bits[b0 + b];
                }
                s2 = (s2 ^ first) * kOdd;
                s3 = (s3 ^ second) * kOdd;
            }
            st[0] = s0;
            st[1] = s1;
            st[2] = s2;
            st[3] = s3;
        }
    }
}

// Marks the tiles of `from` that a write of `written` (source pixels) can reach. Mask bytes
// hold eight pixels, so the write is widened by a byte each side first.
void markTiles(const SourceRect& from, int32_t cols, int32_t rows, const SourceRect& written,
               std::vector<uint8_t>& redo) {
    if (written.w < 1 || written.h < 1) return;
    const int64_t x0 = std::max<int64_t>(int64_t{written.x} - 8, from.x) - from.x;
    const int64_t x1 =
        std::min<int64_t>(int64_t{written.x} + written.w + 8, int64_t{from.x} + from.w) - from.x;
    const int64_t y0 = std::max<int64_t>(written.y, from.y) - from.y;
    const int64_t y1 =
        std::min<int64_t>(int64_t{written.y} + written.h, int64_t{from.y} + from.h) - from.y;
    if (x1 <= x0 || y1 <= y0) return;
    const auto c1 = std::min<int64_t>(cols, (x1 + kTileWidth - 1) / kTileWidth);
    const auto r1 = std::min<int64_t>(rows, (y1 + kTileHeight - 1) / kTileHeight);
    for (int64_t r = y0 / kTileHeight; r < r1; ++r)
        for (int64_t c = x0 / kTileWidth; c < c1; ++c)
            redo[static_cast<std::size_t>(r * cols + c)] = 1;
}

// Tile hashes of a 24-bit picture and its mask (whole mask bytes around each tile's columns).
// Four streams per tile keep the multiply chains short. Given `was`, the hashes of the same
// source before `written` was written of it, only the tiles those reach are hashed again: the
// values are those of hashing the whole.
// `streams` and `redo` are working memory, kept by the caller between paints.
TileHashes tileHashes(const Surface& src, const Surface* mask, const SourceRect& from,
                      std::vector<uint64_t>& streams, std::vector<uint8_t>& redo,
                      int32_t threadLimit, const TileHashes* was = nullptr,
                      std::span<const SourceRect> written = {}) {
    constexpr std::size_t kStreams = 4;
    TileHashes t;
    t.cols = (from.w + kTileWidth - 1) / kTileWidth;
    t.rows = (from.h + kTileHeight - 1) / kTileHeight;
    const auto cols = static_cast<std::size_t>(t.cols);
    const std::size_t tiles = cols * static_cast<std::size_t>(t.rows);
    if (was) {
        t.values = was->values;
        redo.assign(tiles, 0);
        for (const SourceRect& r : written) markTiles(from, t.cols, t.rows, r, redo);
    } else {
        t.values.resize(tiles);
        redo.assign(tiles, 1);
    }
    std::size_t count = 0;
    for (const uint8_t m : redo) count += m;
    if (count == 0) return t;
    streams.resize(tiles * kStreams);
    for (std::size_t i = 0; i < streams.size(); ++i) streams[i] = i + (mask ? 0x5A5A : 0);
    // Tile rows are hashed independently of one another, each in runs of marked tiles; a large
    // picture spreads them over the threads.
    const bool large = int64_t(count) * kTileWidth * kTileHeight >= int64_t{kBandPixels};
    forEachPiece(workThreads(threadLimit), static_cast<std::size_t>(t.rows), large,
                 [&](std::size_t tr) {
                     const uint8_t* marks = redo.data() + tr * cols;
                     const int32_t r0 = static_cast<int32_t>(tr) * kTileHeight;
                     const int32_t r1 = std::min(r0 + kTileHeight, from.h);
                     for (int32_t c0 = 0; c0 < t.cols;) {
                         if (!marks[c0]) {
                             ++c0;
                             continue;
                         }
                         int32_t c1 = c0 + 1;
                         while (c1 < t.cols && marks[c1]) ++c1;
                         hashRows(src, mask, from, t.cols, c0, c1, r0, r1, streams);
                         c0 = c1;
                     }
                 });
    for (std::size_t i = 0; i < tiles; ++i) {
        if (!redo[i]) continue;
        uint64_t v = 0;
        for (std::size_t q = 0; q < kStreams; ++q) {
            v = (v ^ streams[i * kStreams + q]) * 0xBF58476D1CE4E5B9ull;
            v ^= v >> 31;
        }
        t.values[i] = v;
    }
    return t;
}

}  // namespace

struct ScaledFrames::Kept {
    KeptMemory memory;  // before the pictures, which give their pixels back to it
    std::size_t budget = 0;
    std::size_t bytes = 0;
    std::vector<std::pair<int32_t, KeptPicture>> slots;

    KeptPicture* find(int32_t slot) {
        for (auto& [id, picture] : slots)
            if (id == slot) return &picture;
        return nullptr;
    }
    void drop(int32_t slot) {
        for (auto it = slots.begin(); it != slots.end(); ++it)
            if (it->first == slot) {
                bytes -= it->second.bytes();
                slots.erase(it);
                return;
            }
    }

    // Blends the kept picture of `slot` when it was made from the same source. Otherwise a
    // picture with tile hashes starts from the latest kept picture of the same placement and
    // averages again only around the tiles that differ; anything else is averaged whole. The
    // result is kept when the budget allows.
    template <typename Fetch>
    void draw(int32_t slot, const Canvas& dst, const TargetRect& to, int32_t sw, int32_t sh,
              uint64_t hash, TileHashes* tiles, ScaleScratch scratch, Fetch&& fetch) {
        if (to.w < 1 || to.h < 1 || sw < 1 || sh < 1 || dst.empty()) return;
        const Placement placement{dst.width, dst.height, to.x, to.y, to.w, to.h, sw, sh};
        if (KeptPicture* k = find(slot); k && k->placement == placement && k->hash == hash) {
            k->used = ++clock;
            return blendKept(*k, dst);
        }
        const AxisTaps& xs = xTaps.get(to.x, to.w, sw, dst.width);
        const AxisTaps& ys = yTaps.get(to.y, to.h, sh, dst.height);
        if (xs.size() == 0 || ys.size() == 0) return;

        const KeptPicture* old = find(slot);
        const std::size_t own = old ? old->bytes() : 0;
        const std::size_t need =
            xs.size() * ys.size() * 4 + (tiles ? tiles->values.size() * sizeof(uint64_t) : 0);
        if (bytes - own + need > budget) {
            drop(slot);
            return averageOnto(dst, xs, ys, scratch, fetch);
        }

        KeptPicture made;
        const KeptPicture* donor = tiles ? latestLike(placement, *tiles) : nullptr;
        std::vector<SourceRect> changed;
        if (donor && !changedTiles(donor->tiles, *tiles, sw, sh, changed)) donor = nullptr;
        made.pixels = KeptPixels(memory, xs.size() * ys.size());
        if (donor)
            std::memcpy(made.pixels.colour(), donor->pixels.colour(), made.pixels.bytes());
        else
            changed.assign(1, SourceRect{0, 0, sw, sh});
        made.placement = placement;
        made.hash = hash;
        if (tiles) made.tiles = std::move(*tiles);
        made.firstX = xs.first;
        made.firstY = ys.first;
        made.nx = xs.size();
        made.ny = ys.size();
        for (const SourceRect& r : changed) {
            const Span cols = touching(xs, r.x, r.x + r.w), rows = touching(ys, r.y, r.y + r.h);
            averageBands(xs, ys, cols, rows, scratch, fetch, [&](std::size_t j, const uint64_t* v) {
                const std::size_t at = j * made.nx + cols.from;
                bytesOfLanes(v, cols.to - cols.from, made.pixels.colour() + at * 3,
                             made.pixels.coverage() + at);
            });
        }
        blendKept(made, dst);
        made.used = ++clock;
        drop(slot);
        bytes += made.bytes();
        slots.emplace_back(slot, std::move(made));
    }

    // The most recently used kept picture of this placement and tile grid.
    const KeptPicture* latestLike(const Placement& placement, const TileHashes& tiles) const {
        const KeptPicture* best = nullptr;
        for (const auto& [id, picture] : slots)
            if (picture.placement == placement && picture.tiles.cols == tiles.cols &&
                picture.tiles.rows == tiles.rows && !picture.tiles.values.empty() &&
                (!best || picture.used > best->used))
                best = &picture;
        return best;
    }

    // Source rectangles around the tiles that differ: runs of changed tiles in a tile row, runs
    // with the same columns in consecutive tile rows joined. False when more than half changed
    // (averaging the whole is then as cheap).
    static bool changedTiles(const TileHashes& was, const TileHashes& now, int32_t sw, int32_t sh,
                             std::vector<SourceRect>& out) {
        std::size_t count = 0;
        for (std::size_t i = 0; i < now.values.size(); ++i) count += was.values[i] != now.values[i];
        if (count * 2 > now.values.size()) return false;
        std::vector<SourceRect> open;  // rectangles that reached the previous tile row
        for (int32_t tr = 0; tr < now.rows; ++tr) {
            std::vector<SourceRect> next;
            const int32_t y0 = tr * kTileHeight, y1 = std::min(y0 + kTileHeight, sh);
            for (int32_t c = 0; c < now.cols;) {
                const auto at = static_cast<std::size_t>(tr) * static_cast<std::size_t>(now.cols);
                if (was.values[at + static_cast<std::size_t>(c)] ==
                    now.values[at + static_cast<std::size_t>(c)]) {
                    ++c;
                    continue;
                }
                int32_t end = c + 1;
                while (end < now.cols && was.values[at + static_cast<std::size_t>(end)] !=
                                             now.values[at + static_cast<std::size_t>(end)])
                    ++end;
                const int32_t x0 = c * kTileWidth, x1 = std::min(end * kTileWidth, sw);
                auto same = std::find_if(open.begin(), open.end(), [&](const SourceRect& r) {
                    return r.x == x0 && r.w == x1 - x0 && r.y + r.h == y0;
                });
                if (same != open.end()) {
                    same->h = y1 - same->y;
                    next.push_back(*same);
                    open.erase(same);
                } else {
                    next.push_back({x0, y0, x1 - x0, y1 - y0});
                }
                c = end;
            }
            out.insert(out.end(), open.begin(), open.end());  // ended in the previous row
            open = std::move(next);
        }
        out.insert(out.end(), open.begin(), open.end());
        return true;
    }
    // The taps of the latest placement of each axis: an animation paints every frame at the
    // same size.
    struct LatestTaps {
        std::array<int32_t, 4> key{-1, -1, -1, -1};
        AxisTaps taps;
        const AxisTaps& get(int32_t d, int32_t dn, int32_t sn, int32_t limit) {
            const std::array<int32_t, 4> k{d, dn, sn, limit};
            if (k != key) {
                key = {-1, -1, -1, -1};  // stays unknown if making the taps throws
                taps = axisTaps(d, dn, sn, limit);
                key = k;
            }
            return taps;
        }
    };
    LatestTaps xTaps, yTaps;
    uint64_t clock = 0;
    std::vector<uint64_t> tileStreams;  // working memory of tileHashes
    std::vector<uint8_t> tileRedo;      // the same

    // The tile hashes of the latest picture drawn and what they were taken of, for a caller
    // that knows which part of that source it wrote since.
    struct LastSource {
        const Surface* src = nullptr;
        const Surface* mask = nullptr;
        int32_t srcW = 0, srcH = 0, maskW = 0, maskH = 0;
        SourceRect from;
        TileHashes tiles;

        bool same(const Surface& s, const Surface* m, const SourceRect& r) const {
            return src == &s && mask == m && srcW == s.width() && srcH == s.height() &&
                   maskW == (m ? m->width() : 0) && maskH == (m ? m->height() : 0) &&
                   from.x == r.x && from.y == r.y && from.w == r.w && from.h == r.h;
        }
    };
    LastSource last;
};

ScaledFrames::ScaledFrames(std::size_t budgetBytes) : kept_(std::make_unique<Kept>()) {
    kept_->budget = budgetBytes;
}
ScaledFrames::~ScaledFrames() = default;

void ScaledFrames::setBudget(std::size_t budgetBytes) noexcept {
    kept_->budget = budgetBytes;
    if (kept_->bytes > budgetBytes) clear();
}

void ScaledFrames::clear() noexcept {
    kept_->slots.clear();
    kept_->bytes = 0;
    kept_->last = {};
}

std::size_t ScaledFrames::keptBytes() const noexcept {
    return kept_->bytes;
}

std::size_t ScaledFrames::bytes() const noexcept {
    const Kept& k = *kept_;
    auto taps = [](const AxisTaps& t) {
        return t.start.capacity() * sizeof(int32_t) + t.at.capacity() * sizeof(uint32_t) +
               t.weight.capacity() * sizeof(uint16_t);
    };
    return k.bytes + k.tileStreams.capacity() * sizeof(uint64_t) + k.tileRedo.capacity() +
           taps(k.xTaps.taps) + taps(k.yTaps.taps) +
           k.last.tiles.values.capacity() * sizeof(uint64_t);
}

void ScaledFrames::drawCell(int32_t slot, Surface& dst, const TargetRect& to, const Surface& src,
                            const SourceRect& cell, const Lookup& colors,
                            const std::array<bool, 256>& covers, ScaleScratch scratch) {
    if (dst.bitsPerPixel() == 24)
        drawCell(slot, Canvas::of(dst), to, src, cell, colors, covers, scratch);
}

void ScaledFrames::drawPicture(int32_t slot, Surface& dst, const TargetRect& to, const Surface& src,
                               const Surface* mask, const SourceRect& from, ScaleScratch scratch) {
    if (dst.bitsPerPixel() == 24)
        drawPicture(slot, Canvas::of(dst), to, src, mask, from, scratch);
    else
        kept_->last = {};
}

void ScaledFrames::drawCell(int32_t slot, const Canvas& dst, const TargetRect& to,
                            const Surface& src, const SourceRect& cell, const Lookup& colors,
                            const std::array<bool, 256>& covers, ScaleScratch scratch) {
    if (src.bitsPerPixel() != 8 || !inside(src, cell)) return;
    std::array<uint64_t, 256> lanes;
    for (std::size_t k = 0; k < 256; ++k) lanes[k] = covers[k] ? lanesOf(colors[k]) : 0;
    Hasher h;
    h.add(reinterpret_cast<const uint8_t*>(lanes.data()), sizeof lanes);
    for (int32_t r = 0; r < cell.h; ++r)
        h.add(src.line(cell.y + r) + cell.x, static_cast<std::size_t>(cell.w));
    kept_->draw(slot, dst, to, cell.w, cell.h, h.value(), nullptr, scratch,
                IndexedRows{src, cell.x, cell.y, lanes});
}

void ScaledFrames::drawPicture(int32_t slot, const Canvas& dst, const TargetRect& to,
                               const Surface& src, const Surface* mask, const SourceRect& from,
                               ScaleScratch scratch,
                               std::optional<std::span<const SourceRect>> writtenSince) {
    // Forgotten until this draw has hashed its source, whatever stops it before.
    Kept::LastSource last = std::exchange(kept_->last, {});
    if (src.bitsPerPixel() != 24 || !inside(src, from)) return;
    if (!maskFits(src, mask)) return;
    TileHashes tiles =
        writtenSince && last.same(src, mask, from)
            ? tileHashes(src, mask, from, kept_->tileStreams, kept_->tileRedo, scratch.threadLimit,
                         &last.tiles, *writtenSince)
            : tileHashes(src, mask, from, kept_->tileStreams, kept_->tileRedo, scratch.threadLimit);
    last.src = &src;
    last.mask = mask;
    last.srcW = src.width();
    last.srcH = src.height();
    last.maskW = mask ? mask->width() : 0;
    last.maskH = mask ? mask->height() : 0;
    last.from = from;
    last.tiles.cols = tiles.cols;
    last.tiles.rows = tiles.rows;
    last.tiles.values.assign(tiles.values.begin(), tiles.values.end());
    kept_->last = std::move(last);
    Hasher h;
    h.add(reinterpret_cast<const uint8_t*>(tiles.values.data()),
          tiles.values.size() * sizeof(uint64_t));
    kept_->draw(slot, dst, to, from.w, from.h, h.value(), &tiles, scratch,
                [&](int32_t r, int32_t first, int32_t count, uint64_t* out) {
                    fetchPicture(src, mask, from.y + r, from.x + first, count, out);
                });
}

}  // namespace anigif::draw

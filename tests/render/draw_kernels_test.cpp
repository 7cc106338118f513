// The pixel loops behind drawing, checked against pixel-by-pixel arithmetic: exact cell copies
// with their fast paths, area averaging in integers, and scaled frames kept between paints.
#include "gifcontrol/render/draw_kernels.h"

#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "gifcontrol/render/scaled_rows.h"
#include "gifcontrol/render/work_threads.h"

namespace {

using anigif::draw::Lookup;
using platform::Surface;

uint32_t nextRandom(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

std::unique_ptr<Surface> noise(int bits, int w, int h, uint32_t seed) {
    auto s = Surface::create(bits, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            s->setPixel(x, y, nextRandom(seed) & (bits == 8 ? 0xFFu : 0xFFFFFFu));
    return s;
}

struct Scratch {
    std::vector<uint64_t> source, rows;
    anigif::draw::ScaleScratch get() { return {source, rows}; }
};

void expectSame(const Surface& a, const Surface& b) {
    ASSERT_EQ(a.width(), b.width());
    ASSERT_EQ(a.height(), b.height());
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            ASSERT_EQ(a.colorAt(x, y), b.colorAt(x, y)) << x << "," << y;
}

TEST(CellExact, AndOrGroupsAgreeWithThePixelFormula) {
    // Indices that replace, keep or mix with the target, in runs and alone, at widths that
    // leave every kind of remainder after groups of eight and four.
    uint32_t seed = 3;
    Lookup andLut{}, orLut{};
    for (size_t k = 0; k < 256; ++k) {
        orLut[k] = nextRandom(seed) & 0xFFFFFF;
        andLut[k] = k < 100 ? 0 : k < 200 ? 0xFFFFFF : (nextRandom(seed) & 0xFFFFFF);
        if (k >= 100 && k < 150) orLut[k] = 0;  // a pure "keep"
    }
    for (const int w : {1, 3, 4, 7, 8, 12, 13, 40}) {
        SCOPED_TRACE(w);
        auto cell = Surface::create(8, w, 5);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < w; ++x) {
                const uint32_t r = nextRandom(seed);
                // Long runs of one kind as well as mixtures.
                const uint32_t base = y < 2 ? 0 : y < 4 ? 100 : 0;
                cell->setPixel(x, y, y == 4 ? r & 0xFF : base + r % 50);
            }
        auto target = noise(24, w + 6, 7, 11);
        auto want = noise(24, w + 6, 7, 11);
        anigif::draw::cellExact(*target, 2, 1, *cell, {0, 0, w, 5}, &andLut, orLut);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < w; ++x) {
                const uint32_t i = cell->pixel(x, y);
                want->setPixel(x + 2, y + 1, (want->colorAt(x + 2, y + 1) & andLut[i]) | orLut[i]);
            }
        expectSame(*target, *want);

        anigif::draw::cellExact(*target, 1, 0, *cell, {0, 0, w, 5}, nullptr, orLut);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < w; ++x) want->setPixel(x + 1, y, orLut[cell->pixel(x, y)]);
        expectSame(*target, *want);
    }
}

TEST(CellExact, TransparentAndOpaqueFramesDrawByLookupOnEveryInstructionSet) {
    // Tables where every index replaces the target but at most one keeps it take the lookup
    // path; a second kept index sends the same cell down the AND/OR groups. Cells of any width
    // land partly outside the canvas and its clip; pixels outside must not move.
    namespace draw = anigif::draw;
    uint32_t seed = 41;
    for (const int64_t target : draw::runnableKernelTargets()) {
        draw::forceKernelTarget(target);
        SCOPED_TRACE(target);
        for (int round = 0; round < 60; ++round) {
            const int w = 1 + static_cast<int>(nextRandom(seed) % 90), h = 3;
            const uint32_t trans = nextRandom(seed) & 0xFF;
            const int tables = static_cast<int>(round % 3);  // 0 opaque, 1 one kept, 2 two kept
            Lookup andLut{}, orLut{};
            for (auto& c : orLut) c = nextRandom(seed);  // the high byte must not show
            if (tables >= 1) andLut[trans] = 0xFFFFFF, orLut[trans] = 0;
            if (tables == 2) andLut[(trans + 1) & 0xFF] = 0xFFFFFF, orLut[(trans + 1) & 0xFF] = 0;
            auto cell = Surface::create(8, w, h);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    // Runs of the kept index as well as single ones.
                    const bool kept = (x / 5 + y) % 3 == 0 || nextRandom(seed) % 7 == 0;
                    cell->setPixel(x, y, kept ? trans : nextRandom(seed) & 0xFF);
                }
            auto canvas = noise(24, 70, 5, seed);
            auto want = noise(24, 70, 5, seed);
            draw::Canvas c = draw::Canvas::of(*canvas);
            c.clipLeft = static_cast<int32_t>(nextRandom(seed) % 6);
            c.clipRight = 70 - static_cast<int32_t>(nextRandom(seed) % 6);
            const int dx = static_cast<int>(nextRandom(seed) % 80) - 10;
            const int dy = static_cast<int>(nextRandom(seed) % 5) - 2;
            const int from = static_cast<int>(nextRandom(seed) % 3);
            draw::cellExact(c, dx, dy, *cell, {from, 0, w - from, h}, tables ? &andLut : nullptr,
                            orLut);
            for (int y = 0; y < h; ++y)
                for (int x = from; x < w; ++x) {
                    const int tx = dx + x - from, ty = dy + y;
                    if (tx < c.clipLeft || tx >= c.clipRight || ty < 0 || ty >= 5) continue;
                    const uint32_t i = cell->pixel(x, y);
                    const uint32_t keep = tables ? andLut[i] : 0;
                    want->setPixel(tx, ty, ((want->colorAt(tx, ty) & keep) | orLut[i]) & 0xFFFFFF);
                }
            ASSERT_NO_FATAL_FAILURE(expectSame(*canvas, *want)) << "round " << round;
        }
    }
    draw::forceKernelTarget(0);
}

TEST(AreaAveraging, AUniformPictureStaysExactlyUniformAtAnyScale) {
    // The weights of every target pixel add up to one exactly: no drift in brightness.
    Scratch scratch;
    auto picture = Surface::create(24, 97, 61);
    picture->fill(0, 0, 97, 61, 0xC86432);
    Lookup colours{};
    colours.fill(0x3264C8);
    std::array<bool, 256> covers{};
    covers.fill(true);
    auto cell = Surface::create(8, 97, 61);
    for (const double scale : {0.72, 0.333, 0.05, 1.0 / 97, 1.7, 3.0}) {
        SCOPED_TRACE(scale);
        const int w = std::max(1, static_cast<int>(std::lround(97 * scale)));
        const int h = std::max(1, static_cast<int>(std::lround(61 * scale)));
        auto a = Surface::create(24, w, h);
        anigif::draw::pictureScaled(*a, {0, 0, w, h}, *picture, nullptr, {0, 0, 97, 61},
                                    scratch.get());
        auto b = Surface::create(24, w, h);
        anigif::draw::cellScaled(*b, {0, 0, w, h}, *cell, {0, 0, 97, 61}, colours, covers,
                                 scratch.get());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                ASSERT_EQ(a->colorAt(x, y), 0xC86432u) << x << "," << y;
                ASSERT_EQ(b->colorAt(x, y), 0x3264C8u) << x << "," << y;
            }
    }
}

TEST(AreaAveraging, ReductionsAverageAndHalfCoveredPixelsBlendHalfway) {
    Scratch scratch;
    // Fine black and white stripes reduced eightfold read as mid grey.
    auto stripes = Surface::create(24, 64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; x += 2) stripes->setPixel(x, y, 0xFFFFFF);
    auto small = Surface::create(24, 8, 8);
    anigif::draw::pictureScaled(*small, {0, 0, 8, 8}, *stripes, nullptr, {0, 0, 64, 64},
                                scratch.get());
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            for (const int shift : {0, 8, 16})
                EXPECT_NEAR(static_cast<int>((small->colorAt(x, y) >> shift) & 0xFF), 128, 1);

    // A picture whose left half is masked off, halved onto red: the middle column mixes.
    auto picture = Surface::create(24, 4, 2);
    picture->fill(0, 0, 4, 2, 0x0000FF);
    const std::vector<uint32_t> mono = {0x000000, 0xFFFFFF};
    auto mask = Surface::create(1, 4, 2, mono);
    mask->fill(0, 0, 1, 2, 0xFFFFFF);  // column 0 uncovered
    auto target = Surface::create(24, 2, 1);
    target->fill(0, 0, 2, 1, 0xFF0000);
    anigif::draw::pictureScaled(*target, {0, 0, 2, 1}, *picture, mask.get(), {0, 0, 4, 2},
                                scratch.get());
    // Half red behind, half blue, adding up to a full pixel.
    const uint32_t mixed = target->colorAt(0, 0);
    EXPECT_NEAR(static_cast<int>(mixed >> 16), 128, 1);
    EXPECT_EQ((mixed >> 16) + (mixed & 0xFF), 255u);
    EXPECT_EQ(mixed & 0xFF00, 0u);
    EXPECT_EQ(target->colorAt(1, 0), 0x0000FFu);
}

// Draws the same source directly and through kept frames, onto equal patterned targets.
struct KeptCase {
    Scratch scratch;
    anigif::draw::ScaledFrames kept;
    std::unique_ptr<Surface> cell = noise(8, 40, 30, 5);
    Lookup colours{};
    std::array<bool, 256> covers{};

    explicit KeptCase(std::size_t budget = std::size_t{1} << 20) : kept(budget) {
        uint32_t seed = 9;
        for (size_t k = 0; k < 256; ++k) {
            colours[k] = nextRandom(seed) & 0xFFFFFF;
            covers[k] = k % 5 != 0;
        }
    }
    void compare(const anigif::draw::TargetRect& to) {
        auto direct = noise(24, 33, 27, 1);
        auto viaKept = noise(24, 33, 27, 1);
        anigif::draw::cellScaled(*direct, to, *cell, {2, 1, 35, 26}, colours, covers,
                                 scratch.get());
        kept.drawCell(1, *viaKept, to, *cell, {2, 1, 35, 26}, colours, covers, scratch.get());
        expectSame(*viaKept, *direct);
    }
};

TEST(ScaledFrames, KeptPicturesDrawLikeDirectOnesAndFollowEveryChange) {
    KeptCase c;
    const anigif::draw::TargetRect to{-3, 2, 25, 19};
    c.compare(to);  // made and kept
    const std::size_t bytes = c.kept.keptBytes();
    EXPECT_GT(bytes, 0u);
    c.compare(to);  // drawn from the kept pixels
    EXPECT_EQ(c.kept.keptBytes(), bytes);

    c.cell->setPixel(20, 15, c.cell->pixel(20, 15) ^ 1);  // one source pixel
    c.compare(to);
    c.colours[c.cell->pixel(7, 7)] ^= 0x010000;  // one colour
    c.compare(to);
    c.covers[c.cell->pixel(8, 8)] = !c.covers[c.cell->pixel(8, 8)];  // one transparency
    c.compare(to);
    c.compare({0, 0, 33, 27});                           // another placement
    EXPECT_EQ(c.kept.keptBytes(), size_t{33} * 27 * 4);  // replaced, not added

    // A composite with its mask, kept under its own slot.
    auto picture = noise(24, 20, 20, 4);
    const std::vector<uint32_t> mono = {0x000000, 0xFFFFFF};
    auto mask = Surface::create(1, 20, 20, mono);
    mask->fill(3, 3, 9, 5, 0xFFFFFF);
    for (int round = 0; round < 3; ++round) {
        if (round == 2) mask->setPixel(15, 15, 1);
        auto direct = noise(24, 15, 15, 2);
        auto viaKept = noise(24, 15, 15, 2);
        anigif::draw::pictureScaled(*direct, {0, 0, 14, 14}, *picture, mask.get(), {0, 0, 20, 20},
                                    c.scratch.get());
        c.kept.drawPicture(-1, *viaKept, {0, 0, 14, 14}, *picture, mask.get(), {0, 0, 20, 20},
                           c.scratch.get());
        expectSame(*viaKept, *direct);
    }
    c.kept.clear();
    EXPECT_EQ(c.kept.keptBytes(), 0u);
}

TEST(ScaledFrames, AChangedCompositeIsAveragedAgainOnlyWhereItChangedAndStillDrawsRight) {
    // A composite of several tiles changes in small places (a pixel on a tile corner, a mask
    // bit, a rectangle across tile borders, the last row and column), and is drawn under a new
    // slot each time, so each draw starts from the previous one; every draw must equal a
    // direct one, at reductions and enlargements alike.
    const std::vector<uint32_t> mono = {0x000000, 0xFFFFFF};
    for (const double scale : {0.72, 0.31, 1.7}) {
        SCOPED_TRACE(scale);
        Scratch scratch;
        anigif::draw::ScaledFrames kept;
        auto picture = noise(24, 200, 100, 21);
        auto mask = Surface::create(1, 200, 100, mono);
        mask->fill(10, 10, 50, 30, 0xFFFFFF);
        const int w = static_cast<int>(std::lround(200 * scale));
        const int h = static_cast<int>(std::lround(100 * scale));
        uint32_t seed = 77;
        for (int step = 0; step < 8; ++step) {
            SCOPED_TRACE(step);
            switch (step) {
                case 1:
                    picture->setPixel(64, 16, 0x000001);
                    break;
                case 2:
                    mask->setPixel(63, 15, 1);
                    break;
                case 3:
                    picture->fill(50, 10, 30, 40, 0x00FF00);
                    break;
                case 4:
                    picture->setPixel(199, 99, 0xFFFFFF);
                    break;
                case 5:
                    mask->fill(0, 90, 200, 10, 0xFFFFFF);
                    break;
                case 6:  // more than half of it: averaged whole
                    for (int y = 0; y < 100; ++y)
                        for (int x = 0; x < 200; ++x)
                            picture->setPixel(x, y, nextRandom(seed) & 0xFFFFFF);
                    break;
                default:
                    break;
            }
            auto direct = noise(24, w + 4, h + 4, 8);
            auto viaKept = noise(24, w + 4, h + 4, 8);
            anigif::draw::pictureScaled(*direct, {2, 1, w, h}, *picture, mask.get(),
                                        {0, 0, 200, 100}, scratch.get());
            kept.drawPicture(-1 - step % 3, *viaKept, {2, 1, w, h}, *picture, mask.get(),
                             {0, 0, 200, 100}, scratch.get());
            expectSame(*viaKept, *direct);
        }
    }
}

TEST(ScaledFrames, PastTheBudgetFramesAreDrawnWithoutBeingKept) {
    KeptCase c(100);
    c.compare({0, 0, 25, 19});
    c.compare({0, 0, 25, 19});
    EXPECT_EQ(c.kept.keptBytes(), 0u);
}

// A premultiplied canvas shows, after any draw, what the same draw onto two 24-bit surfaces
// shows, one holding each pixel over black and one over white: drawn pixels, kept ones, mixes
// of AND and OR, and blended edges; a clip limits what changes.
TEST(Canvas, PremultipliedPixelsShowWhatTheSameDrawOverBlackAndOverWhiteShows) {
    namespace draw = anigif::draw;
    constexpr int w = 29, h = 17;
    uint32_t seed = 41;
    // Valid premultiplied pixels: transparent, opaque and in between.
    std::vector<uint32_t> start(size_t{w} * h);
    for (auto& v : start) {
        const uint32_t pick = nextRandom(seed) % 3;
        const uint32_t a = pick == 0 ? 0 : pick == 1 ? 255 : nextRandom(seed) % 256;
        v = a << 24;
        for (int k = 0; k < 24; k += 8) v |= (a ? nextRandom(seed) % (a + 1) : 0) << k;
    }
    // The same draw on a canvas of `argb` (clipped to `clip`) and on the two surfaces.
    auto check = [&](const char* what, const auto& drawOn, draw::Canvas clip) {
        SCOPED_TRACE(what);
        std::vector<uint32_t> argb = start;
        auto black = Surface::create(24, w, h), white = Surface::create(24, w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint32_t v = start[size_t(y) * w + x], a = v >> 24;
                black->setPixel(x, y, v & 0xFFFFFF);
                white->setPixel(x, y, (v & 0xFFFFFF) + (255 - a) * 0x010101);
            }
        draw::Canvas c = clip;
        c.base = reinterpret_cast<uint8_t*>(argb.data());
        c.stride = w * 4;
        c.width = w;
        c.height = h;
        c.alpha = true;
        drawOn(c);
        drawOn(draw::Canvas::of(*black));
        drawOn(draw::Canvas::of(*white));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint32_t got = argb[size_t(y) * w + x];
                if (x < clip.clipLeft || x >= clip.clipRight || y < clip.clipTop ||
                    y >= clip.clipBottom) {
                    ASSERT_EQ(got, start[size_t(y) * w + x]) << "outside " << x << "," << y;
                    continue;
                }
                const uint32_t b = black->colorAt(x, y), wh = white->colorAt(x, y);
                int through = 0;
                for (int k = 0; k < 24; k += 8)
                    through = std::max(through, int((wh >> k) & 0xFF) - int((b >> k) & 0xFF));
                const auto a = static_cast<uint32_t>(255 - through);
                uint32_t want = a << 24;
                for (int k = 0; k < 24; k += 8) want |= std::min((b >> k) & 0xFF, a) << k;
                ASSERT_EQ(got, want) << x << "," << y;
            }
    };
    draw::Canvas all, part;
    all.clipRight = part.clipRight = w;
    all.clipBottom = part.clipBottom = h;
    part.clipLeft = 5;
    part.clipTop = 3;
    part.clipRight = 22;
    part.clipBottom = 14;

    // Exact cells with every kind of AND/OR pair, and 24-bit pictures through a mask whose
    // uncovered pixels are not all black.
    Lookup andLut{}, orLut{};
    for (size_t k = 0; k < 256; ++k) {
        orLut[k] = nextRandom(seed) & 0xFFFFFF;
        andLut[k] = k < 80 ? 0 : k < 160 ? 0xFFFFFF : (nextRandom(seed) & 0xFFFFFF);
        if (k >= 80 && k < 120) orLut[k] = 0;
    }
    auto cell = noise(8, 31, 19, 12);
    auto picture = noise(24, 31, 19, 13);
    const std::vector<uint32_t> mono = {0x000000, 0xFFFFFF};
    auto mask = Surface::create(1, 31, 19, mono);
    for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 31; ++x) mask->setPixel(x, y, nextRandom(seed) % 3 == 0);
    mask->fill(8, 0, 16, 19, 0xFFFFFF);  // whole mask bytes uncovered
    std::array<bool, 256> covers{};
    for (size_t k = 0; k < 256; ++k) covers[k] = k % 3 != 0;
    Scratch scratch;
    for (const draw::Canvas& clip : {all, part}) {
        check(
            "cell, and/or",
            [&](const draw::Canvas& c) {
                draw::cellExact(c, -2, 1, *cell, {1, 0, 30, 19}, &andLut, orLut);
            },
            clip);
        check(
            "cell, copy",
            [&](const draw::Canvas& c) {
                draw::cellExact(c, 3, -1, *cell, {0, 0, 31, 19}, nullptr, orLut);
            },
            clip);
        check(
            "picture, masked",
            [&](const draw::Canvas& c) {
                draw::pictureExact(c, -1, 2, *picture, mask.get(), {0, 0, 31, 19});
            },
            clip);
        check(
            "picture, unmasked",
            [&](const draw::Canvas& c) {
                draw::pictureExact(c, 4, 0, *picture, nullptr, {0, 0, 31, 19});
            },
            clip);
        check(
            "cell, scaled",
            [&](const draw::Canvas& c) {
                draw::cellScaled(c, {-3, 1, 24, 14}, *cell, {0, 0, 31, 19}, orLut, covers,
                                 scratch.get());
            },
            clip);
        check(
            "picture, scaled and kept",
            [&](const draw::Canvas& c) {
                draw::ScaledFrames kept;
                kept.drawPicture(1, c, {2, 0, 40, 23}, *picture, mask.get(), {0, 0, 31, 19},
                                 scratch.get());
            },
            clip);
        check(
            "fill", [&](const draw::Canvas& c) { draw::fill(c, 2, 2, 40, 9, 0x123456); }, clip);
    }
}

}  // namespace

// ---- Vector steps and row bands ----------------------------------------------------------------

// `taps` random weights adding up to 256.
std::vector<uint16_t> randomShares(std::size_t taps, uint32_t& seed) {
    std::vector<uint16_t> w(taps, 0);
    for (int unit = 0; unit < 256; ++unit) ++w[nextRandom(seed) % taps];
    return w;
}

uint64_t randomLanes(uint32_t& seed) {
    uint64_t v = 0;
    for (int lane = 0; lane < 4; ++lane) v |= uint64_t{nextRandom(seed) & 0xFFu} << (16 * lane);
    return v;
}

TEST(AreaAveraging, VectorStepsMatchThePlainOnesOnEveryInstructionSet) {
    namespace draw = anigif::draw;
    uint32_t seed = 99;
    for (const int64_t target : draw::runnableKernelTargets()) {
        draw::forceKernelTarget(target);
        SCOPED_TRACE(hwy::TargetName(target));
        for (int round = 0; round < 60; ++round) {
            // Horizontal: nx target pixels of up to `taps` taps over a padded source row.
            const std::size_t nx = 1 + nextRandom(seed) % 70, taps = 2 + 2 * (nextRandom(seed) % 4);
            const std::size_t width = nx * 2 + 8;
            std::vector<uint64_t> src(width + taps);
            for (auto& v : src) v = randomLanes(seed);
            std::vector<int64_t> start(nx);
            std::vector<uint64_t> weights(nx * taps, 0);
            for (std::size_t i = 0; i < nx; ++i) {
                start[i] = (i == 0 ? 0 : start[i - 1]) + nextRandom(seed) % 3;
                const auto w = randomShares(1 + nextRandom(seed) % taps, seed);
                for (std::size_t k = 0; k < w.size(); ++k)
                    weights[i * taps + k] = w[k] * 0x0001000100010001ull;
            }
            std::vector<uint64_t> fast(nx + 1, 7), plain(nx + 1, 7);
            draw::averageRow(src.data(), start.data(), weights.data(), taps, nx, fast.data());
            draw::averageRowScalar(src.data(), start.data(), weights.data(), taps, nx,
                                   plain.data());
            ASSERT_EQ(fast, plain) << "row, round " << round;

            // Vertical: n pixels from `rows` rows.
            const std::size_t n = 1 + nextRandom(seed) % 70, rows = 1 + nextRandom(seed) % 20;
            std::vector<std::vector<uint64_t>> data(rows, std::vector<uint64_t>(n));
            std::vector<const uint64_t*> pointers;
            for (auto& row : data) {
                for (auto& v : row) v = randomLanes(seed);
                pointers.push_back(row.data());
            }
            const auto shares = randomShares(rows, seed);
            std::vector<uint64_t> fastSum(n + 1, 7), plainSum(n + 1, 7);
            draw::averageColumns(pointers.data(), shares.data(), rows, n, fastSum.data());
            draw::averageColumnsScalar(pointers.data(), shares.data(), rows, n, plainSum.data());
            ASSERT_EQ(fastSum, plainSum) << "columns, round " << round;

            // Pixels to lanes and back.
            std::vector<uint8_t> pixels(n * 3);
            for (auto& b : pixels) b = static_cast<uint8_t>(nextRandom(seed));
            std::vector<uint64_t> lanes(n + 1, 7), plainLanes(n + 1, 7);
            draw::lanesOfPixels(pixels.data(), n, lanes.data());
            draw::lanesOfPixelsScalar(pixels.data(), n, plainLanes.data());
            ASSERT_EQ(lanes, plainLanes);
            std::vector<uint8_t> opaque(n * 4 + 1, 7), plainOpaque(n * 4 + 1, 7);
            draw::opaquePixels(pixels.data(), n, opaque.data());
            draw::opaquePixelsScalar(pixels.data(), n, plainOpaque.data());
            ASSERT_EQ(opaque, plainOpaque);
            std::vector<uint8_t> colour(n * 3 + 1, 7), coverage(n + 1, 7);
            std::vector<uint8_t> plainColour(n * 3 + 1, 7), plainCoverage(n + 1, 7);
            draw::bytesOfLanes(fastSum.data(), n, colour.data(), coverage.data());
            draw::bytesOfLanesScalar(fastSum.data(), n, plainColour.data(), plainCoverage.data());
            ASSERT_EQ(colour, plainColour);
            ASSERT_EQ(coverage, plainCoverage);

            // Tile hashing: whole blocks of each tile, the last tile shorter.
            const std::size_t tiles = 1 + nextRandom(seed) % 6, tileBytes = 192;
            const std::size_t last = 1 + nextRandom(seed) % tileBytes;
            std::vector<uint8_t> row((tiles - 1) * tileBytes + last);
            for (auto& b : row) b = static_cast<uint8_t>(nextRandom(seed));
            std::vector<uint64_t> hashed(tiles * 4), plainHashed(tiles * 4);
            for (std::size_t i = 0; i < hashed.size(); ++i) hashed[i] = plainHashed[i] = i * 77;
            draw::hashTileBlocks(hashed.data(), row.data(), tiles, tileBytes, last);
            draw::hashTileBlocksScalar(plainHashed.data(), row.data(), tiles, tileBytes, last);
            ASSERT_EQ(hashed, plainHashed);
        }
    }
    draw::forceKernelTarget(0);
}

// Presenting on premultiplied pixels: mask bits and coverage in runs (whole vectors covered,
// uncovered, black or not) and mixed, from any first bit, over pixels of every kind, including
// colours above their coverage and targets whose colour exceeds their alpha.
TEST(Presenting, VectorKernelsMatchThePlainOnesOnEveryInstructionSet) {
    namespace draw = anigif::draw;
    uint32_t seed = 41;
    auto runs = [&](std::size_t n, const std::array<uint8_t, 3>& kinds) {
        std::vector<uint8_t> v(n);
        for (std::size_t i = 0; i < n;) {
            const std::size_t len = 1 + nextRandom(seed) % 90;
            const uint32_t kind = nextRandom(seed) % 4;
            for (std::size_t k = i; k < std::min(n, i + len); ++k)
                v[k] = kind < 3 ? kinds[kind] : static_cast<uint8_t>(nextRandom(seed));
            i += len;
        }
        return v;
    };
    for (const int64_t target : draw::runnableKernelTargets()) {
        draw::forceKernelTarget(target);
        SCOPED_TRACE(hwy::TargetName(target));
        for (int round = 0; round < 80; ++round) {
            SCOPED_TRACE(round);
            const std::size_t n = 1 + nextRandom(seed) % 300, first = nextRandom(seed) % 16;
            std::vector<uint8_t> colour = runs(n * 3, {0, 0, 0x80});
            const std::vector<uint8_t> bits = runs((first + n + 7) / 8, {0x00, 0xFF, 0xFF});
            const std::vector<uint8_t> coverage = runs(n, {0, 255, 0});
            std::vector<uint8_t> under(n * 4 + 1);
            for (std::size_t i = 0; i < n; ++i) {
                const uint32_t r = nextRandom(seed), kind = r % 4;
                const auto a = static_cast<uint8_t>(kind == 0 ? 0 : kind == 1 ? 255 : r >> 8);
                for (int k = 0; k < 3; ++k) {
                    const auto c = static_cast<uint8_t>(nextRandom(seed));
                    under[i * 4 + k] = kind == 0 ? 0 : kind == 3 ? c : std::min(c, a);
                }
                under[i * 4 + 3] = a;
            }
            under[n * 4] = 7;
            auto fast = under, plain = under;
            draw::presentMasked(colour.data(), bits.data(), first, n, fast.data());
            draw::presentMaskedScalar(colour.data(), bits.data(), first, n, plain.data());
            ASSERT_EQ(fast, plain) << "masked";

            // Kept colours do not exceed their coverage, but for a few.
            for (std::size_t i = 0; i < n * 3; ++i)
                if (nextRandom(seed) % 50 != 0) colour[i] = std::min(colour[i], coverage[i / 3]);
            fast = plain = under;
            draw::blendKeptPixels(colour.data(), coverage.data(), n, fast.data());
            draw::blendKeptPixelsScalar(colour.data(), coverage.data(), n, plain.data());
            ASSERT_EQ(fast, plain) << "kept";
        }
    }
    draw::forceKernelTarget(0);
}

// A target large enough to be averaged in bands comes out the same on one thread, on real
// threads, and with its bands run in reverse order.
TEST(AreaAveraging, RowBandsDrawWhatOneThreadDraws) {
    Scratch scratch;
    auto picture = noise(24, 777, 555, 5);
    const std::vector<uint32_t> mono = {0x000000, 0xFFFFFF};
    auto mask = Surface::create(1, 777, 555, mono);
    mask->fill(100, 50, 300, 200, 0xFFFFFF);
    auto cell = noise(8, 777, 555, 6);
    Lookup colours;
    std::array<bool, 256> covers;
    uint32_t seed = 3;
    for (std::size_t k = 0; k < 256; ++k) {
        colours[k] = nextRandom(seed) & 0xFFFFFF;
        covers[k] = k % 7 != 0;
    }
    auto draw = [&](anigif::PieceSchedule schedule, int threads) {
        anigif::setPieceSchedule(std::move(schedule));
        const std::string limit = std::to_string(threads);
        setenv("ANIGIF_THREADS", limit.c_str(), 1);
        std::vector<std::unique_ptr<Surface>> out;
        for (const anigif::draw::TargetRect to : {anigif::draw::TargetRect{-5, 3, 560, 400},
                                                  anigif::draw::TargetRect{0, 0, 900, 700}}) {
            auto a = noise(24, 620, 480, 8), b = noise(24, 620, 480, 8), c = noise(24, 620, 480, 8);
            anigif::draw::pictureScaled(*a, to, *picture, mask.get(), {0, 0, 777, 555},
                                        scratch.get());
            anigif::draw::cellScaled(*b, to, *cell, {0, 0, 777, 555}, colours, covers,
                                     scratch.get());
            anigif::draw::ScaledFrames kept;
            kept.drawPicture(1, *c, to, *picture, mask.get(), {0, 0, 777, 555}, scratch.get());
            for (auto* s : {&a, &b, &c}) out.push_back(std::move(*s));
        }
        unsetenv("ANIGIF_THREADS");
        anigif::setPieceSchedule({});
        return out;
    };
    const auto one = draw({}, 1);
    auto reversed = [](std::size_t n) {
        std::vector<std::size_t> order(n);
        for (std::size_t k = 0; k < n; ++k) order[k] = n - 1 - k;
        return order;
    };
    for (const auto& other : {draw({}, 4), draw({true, reversed}, 4)})
        for (std::size_t i = 0; i < one.size(); ++i) {
            SCOPED_TRACE(i);
            expectSame(*other[i], *one[i]);
        }
}

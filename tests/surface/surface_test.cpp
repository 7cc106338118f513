#include "platform/surface.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <vector>

#include "platform/memory_budget.h"
#include "platform/runtime_error.h"
#include "platform/system_colors.h"
#include "tests/support/sanitizer.h"

namespace {

using platform::kRopAnd;
using platform::kRopCopy;
using platform::kRopOr;
using platform::Surface;

constexpr uint32_t kBlack = 0x000000, kWhite = 0xFFFFFF;
const std::vector<uint32_t> kMonoTable = {kBlack, kWhite};

std::unique_ptr<Surface> make(int bits, int w, int h, std::vector<uint32_t> table = {}) {
    auto s = Surface::create(bits, w, h, table);
    EXPECT_NE(s, nullptr);
    return s;
}

// An 8-bit surface whose pixel (x, y) holds index f(x, y).
template <typename F>
std::unique_ptr<Surface> indexed(int w, int h, F f, std::vector<uint32_t> table = {}) {
    auto s = make(8, w, h, std::move(table));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s->setPixel(x, y, static_cast<uint32_t>(f(x, y)));
    return s;
}

// Memory this process holds now (resident pages), in KiB.
long residentKiB() {
    long size = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

constexpr bool kSanitized = testsupport::kAddressSanitized;

TEST(RowBytes, RoundsBitsUpToWholeDwords) {
    EXPECT_EQ(platform::RowBytes(1, 1), 4);
    EXPECT_EQ(platform::RowBytes(1, 32), 4);
    EXPECT_EQ(platform::RowBytes(1, 33), 8);
    EXPECT_EQ(platform::RowBytes(8, 5), 8);
    EXPECT_EQ(platform::RowBytes(24, 3), 12);
    EXPECT_EQ(platform::RowBytes(24, 5), 16);
}

TEST(RowBytes, RaisesOverflowWhenTheBitLengthDoesNotFit) {
    // 24 * width + 31 must fit a signed 32-bit integer.
    EXPECT_EQ(platform::RowBytes(24, 89478484), 268435452);
    try {
        platform::RowBytes(24, 89478485);
        FAIL() << "no overflow";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.number(), platform::errors::kOverflow);
    }
    EXPECT_THROW(platform::RowBytes(8, INT32_MAX), platform::RuntimeError);
    EXPECT_NO_THROW(platform::RowBytes(1, INT32_MAX - 31));
}

TEST(SurfaceCreate, RefusesBadSizesAndDepthsWithoutThrowing) {
    EXPECT_EQ(Surface::create(8, 0, 5), nullptr);
    EXPECT_EQ(Surface::create(8, 5, 0), nullptr);
    EXPECT_EQ(Surface::create(24, -1, 5), nullptr);
    EXPECT_EQ(Surface::create(8, 5, -7), nullptr);
    EXPECT_EQ(Surface::create(4, 5, 5), nullptr);
    EXPECT_EQ(Surface::create(32, 5, 5), nullptr);
    EXPECT_EQ(Surface::create(24, INT32_MAX, 1), nullptr);  // RowBytes overflow
    EXPECT_EQ(Surface::create(8, 65535, 65535), nullptr);   // about 4 GiB
}

TEST(SurfaceCreate, BudgetFollowsTheMachineAndLargeSurfacesCostNoMemoryUntilWritten) {
    const std::size_t budget = platform::memoryBudgetBytes();
    EXPECT_LE(budget, std::size_t{2} << 30);
    EXPECT_GE(budget, std::size_t{1} << 20);
    // 65536 bytes a row: the largest surface inside the budget, then one row more.
    const auto rows = static_cast<int32_t>(budget / 65536);
    const long before = residentKiB();
    auto atBudget = Surface::create(8, 65536, rows);
    ASSERT_NE(atBudget, nullptr);
    EXPECT_LE(atBudget->sizeBytes(), budget);
    // A write costs only the pages it touches, and clearing to zero hands them back.
    for (int32_t y = 0; y < rows; y += rows / 8) atBudget->setPixel(y, y, 7);
    if (!kSanitized) {
        EXPECT_LT(residentKiB() - before, 32 * 1024);
    }
    atBudget->fillBytes(0);
    EXPECT_EQ(atBudget->pixel(0, 0), 0u);
    if (!kSanitized) {
        EXPECT_LT(residentKiB() - before, 4 * 1024);
    }
    atBudget.reset();
    EXPECT_EQ(Surface::create(8, 65536, rows + 1), nullptr);
    EXPECT_EQ(Surface::create(24, 65535, 65535), nullptr);
}

TEST(SurfaceCreate, StartsZeroedBottomUpWithPaddedTable) {
    auto s = make(8, 3, 2, {0x112233, 0x445566});
    EXPECT_EQ(s->rowBytes(), 4);
    EXPECT_EQ(s->sizeBytes(), 8u);
    for (size_t i = 0; i < s->sizeBytes(); ++i) EXPECT_EQ(s->bits()[i], 0);
    ASSERT_EQ(s->colorTable().size(), 256u);
    EXPECT_EQ(s->colorTable()[1], 0x445566u);
    EXPECT_EQ(s->colorTable()[2], 0u);
    // Line 0 (top) is the last row in memory.
    s->setPixel(2, 0, 9);
    EXPECT_EQ(s->bits()[4 + 2], 9);
    EXPECT_EQ(s->line(0), s->row(1));

    auto mono = make(1, 9, 1, kMonoTable);
    mono->setPixel(0, 0, 1);
    mono->setPixel(8, 0, 1);
    EXPECT_EQ(mono->bits()[0], 0x80);
    EXPECT_EQ(mono->bits()[1], 0x80);
    EXPECT_EQ(make(24, 2, 2)->colorTable().size(), 0u);
}

TEST(ColorTable, ReplacesEntriesFromStartAndCutsAtTheEnd) {
    auto s = make(8, 1, 1);
    const std::vector<uint32_t> three = {0xAA0000, 0x00BB00, 0xFF0000CC};
    EXPECT_EQ(s->setColorTable(0, three), 3);
    EXPECT_EQ(s->colorTable()[0], 0xAA0000u);
    EXPECT_EQ(s->colorTable()[2], 0x0000CCu);  // the reserved byte is cleared
    EXPECT_EQ(s->colorTable()[3], 0u);
    EXPECT_EQ(s->setColorTable(254, three), 2);
    EXPECT_EQ(s->colorTable()[255], 0x00BB00u);
    EXPECT_EQ(s->setColorTable(256, three), 0);
    EXPECT_EQ(s->setColorTable(-1, three), 0);
    EXPECT_EQ(make(24, 1, 1)->setColorTable(0, three), 0);

    // Drawing uses the table as it is at the time of the draw.
    s->setPixel(0, 0, 1);
    auto target = make(24, 1, 1);
    platform::bitBlt(*target, 0, 0, 1, 1, *s, 0, 0, kRopCopy);
    EXPECT_EQ(target->colorAt(0, 0), 0x00BB00u);
    s->setColorTable(1, std::vector<uint32_t>{0x123456});
    platform::bitBlt(*target, 0, 0, 1, 1, *s, 0, 0, kRopCopy);
    EXPECT_EQ(target->colorAt(0, 0), 0x123456u);
}

TEST(Blit, EightBitSourceGoesThroughItsTableOntoColour) {
    const std::vector<uint32_t> table = {0x000000, 0x102030, 0xA0B0C0};
    auto src = indexed(
        3, 2, [](int x, int) { return x; }, table);
    auto dst = make(24, 5, 4);
    ASSERT_TRUE(platform::bitBlt(*dst, 1, 2, 3, 2, *src, 0, 0, kRopCopy));
    EXPECT_EQ(dst->colorAt(2, 2), 0x102030u);
    EXPECT_EQ(dst->colorAt(3, 3), 0xA0B0C0u);
    EXPECT_EQ(dst->colorAt(0, 2), 0u);
    // 24-bit rows are blue, green, red in memory.
    const uint8_t* p = dst->line(3) + 3 * 3;
    EXPECT_EQ(p[0], 0xC0);
    EXPECT_EQ(p[1], 0xB0);
    EXPECT_EQ(p[2], 0xA0);
}

TEST(Blit, ColourOntoMonoMapsExactBlackAndWhite) {
    // The mask rule: a table whose only white entry is the transparent index leaves the mask
    // white exactly at the transparent pixels.
    std::vector<uint32_t> maskPalette(256, kBlack);
    maskPalette[7] = kWhite;
    auto cell = indexed(
        10, 3, [](int x, int y) { return (x + y) % 3 == 0 ? 7 : x % 7; }, maskPalette);
    auto mask = make(1, 10, 3, kMonoTable);
    ASSERT_TRUE(platform::bitBlt(*mask, 0, 0, 10, 3, *cell, 0, 0, kRopCopy));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 10; ++x) EXPECT_EQ(mask->pixel(x, y), (x + y) % 3 == 0 ? 1u : 0u);

    auto rgb = make(24, 3, 1);
    rgb->setPixel(0, 0, kWhite);
    rgb->setPixel(1, 0, 0x101010);
    rgb->setPixel(2, 0, 0xF0F0F0);
    auto mask2 = make(1, 3, 1, kMonoTable);
    platform::bitBlt(*mask2, 0, 0, 3, 1, *rgb, 0, 0, kRopCopy);
    EXPECT_EQ(mask2->pixel(0, 0), 1u);
    EXPECT_EQ(mask2->pixel(1, 0), 0u);
    EXPECT_EQ(mask2->pixel(2, 0), 1u);  // nearest entry
}

TEST(Blit, MonoOntoColourGivesBlackAndWhite) {
    auto mask = make(1, 2, 1, kMonoTable);
    mask->setPixel(1, 0, 1);
    auto dst = make(24, 2, 1);
    dst->fill(0, 0, 2, 1, 0x345678);
    platform::bitBlt(*dst, 0, 0, 2, 1, *mask, 0, 0, kRopCopy);
    EXPECT_EQ(dst->colorAt(0, 0), kBlack);
    EXPECT_EQ(dst->colorAt(1, 0), kWhite);

    auto idx = make(8, 2, 1, {0x111111, 0xFFFFFF, 0x000000});
    platform::bitBlt(*idx, 0, 0, 2, 1, *mask, 0, 0, kRopCopy);
    EXPECT_EQ(idx->pixel(0, 0), 2u);  // exact black
    EXPECT_EQ(idx->pixel(1, 0), 1u);
}

TEST(Blit, EightBitOntoEightBitKeepsIndices) {
    auto src = indexed(4, 4, [](int x, int y) { return 16 * y + x; }, {0xFFFFFF});
    auto dst = make(8, 4, 4);
    platform::bitBlt(*dst, 0, 0, 4, 4, *src, 0, 0, kRopCopy);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(dst->pixel(x, y), uint32_t(16 * y + x));
}

TEST(Blit, AndThenOrDrawsATransparentFrame) {
    // The two-pass transparency: AND with the mask palette (transparent index white, rest black)
    // then OR with the frame's table whose transparent entry is black.
    const int t = 2;
    std::vector<uint32_t> maskPalette(256, kBlack), colours = {0xFF0000, 0x00FF00, 0x000000};
    maskPalette[t] = kWhite;
    auto cell = indexed(
        3, 1, [](int x, int) { return x; }, maskPalette);
    auto target = make(24, 3, 1);
    target->fill(0, 0, 3, 1, 0x4080C0);
    platform::bitBlt(*target, 0, 0, 3, 1, *cell, 0, 0, kRopAnd);
    cell->setColorTable(0, colours);
    platform::bitBlt(*target, 0, 0, 3, 1, *cell, 0, 0, kRopOr);
    EXPECT_EQ(target->colorAt(0, 0), 0xFF0000u);
    EXPECT_EQ(target->colorAt(1, 0), 0x00FF00u);
    EXPECT_EQ(target->colorAt(2, 0), 0x4080C0u);

    // The same combinations on 1-bit targets work on the bits.
    auto m = make(1, 4, 1, kMonoTable);
    auto bitsSrc = make(1, 4, 1, kMonoTable);
    m->setPixel(0, 0, 1);
    m->setPixel(1, 0, 1);
    bitsSrc->setPixel(1, 0, 1);
    bitsSrc->setPixel(2, 0, 1);
    auto andTarget = make(1, 4, 1, kMonoTable);
    platform::bitBlt(*andTarget, 0, 0, 4, 1, *m, 0, 0, kRopCopy);
    platform::bitBlt(*andTarget, 0, 0, 4, 1, *bitsSrc, 0, 0, kRopAnd);
    platform::bitBlt(*m, 0, 0, 4, 1, *bitsSrc, 0, 0, kRopOr);
    EXPECT_EQ(andTarget->bits()[0] >> 4, 0b0100);
    EXPECT_EQ(m->bits()[0] >> 4, 0b1110);
    EXPECT_FALSE(platform::bitBlt(*m, 0, 0, 4, 1, *bitsSrc, 0, 0, 0x00660046));  // XOR: unknown
}

TEST(Blit, CutsAtEdgesAndLeavesPixelsWithoutSource) {
    auto src = indexed(4, 4, [](int, int) { return 5; });
    auto dst = make(8, 4, 4);
    platform::bitBlt(*dst, -2, 3, 4, 4, *src, 0, 0, kRopCopy);
    EXPECT_EQ(dst->pixel(0, 3), 5u);
    EXPECT_EQ(dst->pixel(1, 3), 5u);
    EXPECT_EQ(dst->pixel(2, 3), 0u);
    EXPECT_EQ(dst->pixel(0, 2), 0u);
    // Source partly outside: target pixels whose source is missing stay as they were.
    dst->fillBytes(9);
    platform::bitBlt(*dst, 0, 0, 4, 1, *src, 2, 0, kRopCopy);
    EXPECT_EQ(dst->pixel(1, 0), 5u);
    EXPECT_EQ(dst->pixel(2, 0), 9u);
    // Hostile extents do not crash.
    platform::stretchBlt(*dst, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MAX, *src, INT32_MAX,
                         INT32_MIN, INT32_MIN, INT32_MIN, kRopCopy);
    platform::stretchBlt(*dst, 0, 0, 4, 4, *src, INT32_MAX, 0, INT32_MIN, 4, kRopCopy);
}

TEST(Mirror, NegativeSourceWidthMirrorsACellOntoItself) {
    // A strip of two cells; mirroring the second leaves the first alone.
    auto strip = indexed(7, 2, [](int x, int y) { return 10 * y + x; });
    ASSERT_TRUE(platform::stretchBlt(*strip, 3, 0, 4, 2, *strip, 3 + 4 - 1, 0, -4, 2, kRopCopy));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) EXPECT_EQ(strip->pixel(x, y), uint32_t(10 * y + x));
        for (int x = 3; x < 7; ++x) EXPECT_EQ(strip->pixel(x, y), uint32_t(10 * y + (9 - x)));
    }
}

TEST(Mirror, NegativeSourceHeightFlipsAndBothAxesRotate) {
    auto s = indexed(3, 5, [](int x, int y) { return 10 * y + x; });
    platform::stretchBlt(*s, 0, 0, 3, 5, *s, 0, 4, 3, -5, kRopCopy);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(s->pixel(x, y), uint32_t(10 * (4 - y) + x));
    platform::stretchBlt(*s, 0, 0, 3, 5, *s, 2, 4, -3, -5, kRopCopy);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(s->pixel(x, y), uint32_t(10 * y + (2 - x)));

    // A composite and its mask mirror the same way.
    auto rgb = make(24, 5, 1);
    auto mask = make(1, 11, 1, kMonoTable);
    for (int x = 0; x < 5; ++x) rgb->setPixel(x, 0, uint32_t(x) * 0x010203);
    mask->setPixel(0, 0, 1);
    mask->setPixel(3, 0, 1);
    platform::stretchBlt(*rgb, 0, 0, 5, 1, *rgb, 4, 0, -5, 1, kRopCopy);
    platform::stretchBlt(*mask, 0, 0, 11, 1, *mask, 10, 0, -11, 1, kRopCopy);
    for (int x = 0; x < 5; ++x) EXPECT_EQ(rgb->pixel(x, 0), uint32_t(4 - x) * 0x010203);
    for (int x = 0; x < 11; ++x) EXPECT_EQ(mask->pixel(x, 0), (x == 10 || x == 7) ? 1u : 0u);
}

TEST(Stretch, NearestRepeatsAndDropsPixels) {
    auto src = indexed(2, 2, [](int x, int y) { return 1 + x + 2 * y; });
    auto big = make(8, 4, 6);
    platform::stretchBlt(*big, 0, 0, 4, 6, *src, 0, 0, 2, 2, kRopCopy);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(big->pixel(x, y), uint32_t(1 + x / 2 + 2 * (y / 3)));
    auto small = make(8, 2, 3);
    platform::stretchBlt(*small, 0, 0, 2, 3, *big, 0, 0, 4, 6, kRopCopy);
    // Sampled at pixel centres.
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_EQ(small->pixel(x, y), big->pixel(2 * x + 1, 2 * y + 1));
}

TEST(Fill, CoversTheRectangleWithEdgesExclusive) {
    auto rgb = make(24, 4, 4);
    rgb->fill(1, 1, 2, 2, 0xABCDEF);
    EXPECT_EQ(rgb->colorAt(1, 1), 0xABCDEFu);
    EXPECT_EQ(rgb->colorAt(2, 2), 0xABCDEFu);
    EXPECT_EQ(rgb->colorAt(3, 2), 0u);
    EXPECT_EQ(rgb->colorAt(2, 3), 0u);
    rgb->fill(-5, -5, 100, 100, kWhite);
    EXPECT_EQ(rgb->colorAt(3, 3), kWhite);

    auto mask = make(1, 20, 2, kMonoTable);
    mask->fillBytes(0xFF);
    mask->fill(3, 0, 10, 1, kBlack);
    for (int x = 0; x < 20; ++x) EXPECT_EQ(mask->pixel(x, 0), (x >= 3 && x < 13) ? 0u : 1u);
    EXPECT_EQ(mask->pixel(5, 1), 1u);
}

TEST(SystemColors, DocumentedEntriesAndColourReferences) {
    EXPECT_EQ(platform::sysColor(5), 0xFFFFFFu);
    EXPECT_EQ(platform::sysColor(8), 0u);
    EXPECT_EQ(platform::sysColor(15), 0xF0F0F0u);
    EXPECT_EQ(platform::sysColor(18), 0u);
    EXPECT_EQ(platform::sysColor(13), 0xD77800u);  // stored 0x00BBGGRR
    EXPECT_EQ(platform::sysColor(-1), 0u);
    EXPECT_EQ(platform::sysColor(200), 0u);
    EXPECT_EQ(platform::colorRefToRgb(0x00332211), 0x112233u);
    EXPECT_EQ(platform::colorRefToRgb(0x8000000F), 0xF0F0F0u);
    EXPECT_EQ(platform::colorRefToRgb(0x8000000D), 0x0078D7u);
}

}  // namespace

namespace {

// Small deterministic pseudo-random numbers for pixel patterns.
uint32_t nextRandom(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

}  // namespace

TEST(Blit, UnscaledIndexOntoMonoAgreesWithEveryPixelAtAnyBitOffset) {
    // Whole mask bytes are written eight bits at a time; partial bytes at both ends, every raster
    // operation, a table of mixed entries, one where every index gives the same bit, and ones
    // where a single index (a transparent frame's) differs from all the others.
    std::vector<uint32_t> mixed(256, kBlack);
    for (size_t k = 0; k < 256; k += 3) mixed[k] = kWhite;
    std::vector<uint32_t> oneWhite(256, kBlack), oneBlack(256, kWhite);
    oneWhite[3] = kWhite;
    oneBlack[200] = kBlack;
    const std::vector<std::vector<uint32_t>> tables = {mixed, std::vector<uint32_t>(256, kWhite),
                                                       std::vector<uint32_t>(256, kBlack), oneWhite,
                                                       oneBlack};
    uint32_t seed = 7;
    for (const auto& table : tables)
        for (const uint32_t rop : {kRopCopy, kRopAnd, kRopOr})
            for (int dx = -3; dx < 11; dx += 2)
                for (const int w : {1, 7, 8, 9, 23, 40}) {
                    SCOPED_TRACE(std::to_string(rop) + " dx=" + std::to_string(dx) +
                                 " w=" + std::to_string(w));
                    // Indices 3 and 200 often, so that the single ones show in every byte.
                    auto cell = indexed(
                        45, 2,
                        [&](int, int) {
                            const uint32_t r = nextRandom(seed);
                            return r % 3 == 0 ? 3 : r % 3 == 1 ? 200 : r >> 8 & 0xFF;
                        },
                        table);
                    auto mask = make(1, 50, 2, kMonoTable);
                    for (int y = 0; y < 2; ++y)
                        for (int x = 0; x < 50; ++x) mask->setPixel(x, y, nextRandom(seed) & 1);
                    std::vector<uint32_t> before;
                    for (int y = 0; y < 2; ++y)
                        for (int x = 0; x < 50; ++x) before.push_back(mask->pixel(x, y));
                    ASSERT_TRUE(platform::bitBlt(*mask, dx, 0, w, 2, *cell, 3, 0, rop));
                    for (int y = 0; y < 2; ++y)
                        for (int x = 0; x < 50; ++x) {
                            const uint32_t old = before[static_cast<size_t>(y * 50 + x)];
                            const int sx = 3 + x - dx;
                            uint32_t want = old;
                            if (x >= dx && x < dx + w && sx < 45) {
                                const uint32_t bit = table[cell->pixel(sx, y)] == kWhite ? 1 : 0;
                                want = rop == kRopCopy  ? bit
                                       : rop == kRopAnd ? (old & bit)
                                                        : (old | bit);
                            }
                            ASSERT_EQ(mask->pixel(x, y), want) << x << "," << y;
                        }
                }
}

TEST(Fill, WholeAndPartialBytesAgreeWithSinglePixels) {
    for (const int bits : {1, 24})
        for (int x = -2; x < 12; x += 3)
            for (const int w : {1, 5, 8, 17, 30}) {
                SCOPED_TRACE(std::to_string(bits) + " x=" + std::to_string(x) +
                             " w=" + std::to_string(w));
                auto s = make(bits, 26, 3, kMonoTable);
                s->fillBytes(0x5A);
                auto want = make(bits, 26, 3, kMonoTable);
                want->fillBytes(0x5A);
                const uint32_t colour = bits == 1 ? kWhite : 0x123456;
                s->fill(x, 1, w, 2, colour);
                for (int y = 1; y < 3; ++y)
                    for (int xx = x; xx < x + w; ++xx)
                        want->setPixel(xx, y, bits == 1 ? 1 : colour);
                for (int y = 0; y < 3; ++y)
                    for (int xx = 0; xx < 26; ++xx)
                        ASSERT_EQ(s->pixel(xx, y), want->pixel(xx, y)) << xx << "," << y;
            }
}

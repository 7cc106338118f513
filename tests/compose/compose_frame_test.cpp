// Compositing: the reset on frame 1, coverage in the mask, and the disposal methods, checked on
// the composite and mask surfaces of real loads.
#include <gtest/gtest.h>

#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/headless_host.h"
#include "tests/support/gif_builder.h"

namespace {

using anigif::ucAniGIF;
using giftest::Bytes;
using giftest::GifBuilder;
using giftest::GifFrame;

GifFrame frameAt(int left, int top, int w, int h, int disposal, uint8_t index,
                 int transIndex = -1) {
    auto f = giftest::makeFrame(w, h, [&](int, int) { return index; });
    f.left = left;
    f.top = top;
    f.control = true;
    f.disposal = disposal;
    if (transIndex >= 0) {
        f.transparent = true;
        f.transIndex = static_cast<uint8_t>(transIndex);
    }
    return f;
}

std::vector<uint8_t> snapshot(const platform::Surface& s) {
    return {s.bits(), s.bits() + s.sizeBytes()};
}

class ComposeFrame : public ::testing::Test {
  protected:
    ComposeFrame() { gif.delayMode = anigif::DelayOff; }

    void load(int w, int h, const std::vector<GifFrame>& frames) {
        GifBuilder b;
        b.screen(w, h).globalTable(giftest::testPalette(8));
        for (const auto& f : frames) b.frame(f);
        ASSERT_TRUE(gif.loadGifBytes(b.build()));
        ASSERT_NE(gif.Composite, nullptr);
        ASSERT_NE(gif.Mask, nullptr);
    }

    // What the renderer does between the two calls: the frame's opaque pixels, in their
    // colours, into the composite at the frame's position.
    void draw(int32_t k) {
        const auto& f = gif.Frames(k);
        const auto& table = gif.ColorTables[static_cast<size_t>(f.TableIndex)];
        for (int y = 0; y < f.Height; ++y)
            for (int x = 0; x < f.Width; ++x) {
                const uint32_t idx = gif.Strip->pixel(f.StripX + x, y);
                if (f.TransFlag && idx == f.TransIndex) continue;
                gif.Composite->setPixel(f.Left + x, f.Top + y, table[idx]);
            }
    }

    void prepare(int32_t k) { gif.ComposeFrame(k, false, maskSave, compositeSave); }
    void dispose(int32_t k) { gif.ComposeFrame(k, true, maskSave, compositeSave); }
    void paint(int32_t k) {
        prepare(k);
        draw(k);
        if (gif.Frames(k).Disposal >= 2) dispose(k);
    }

    bool covered(int x, int y) const { return gif.Mask->pixel(x, y) == 0; }
    uint32_t colour(int x, int y) const { return gif.Composite->pixel(x, y); }

    platform::HeadlessHost host;
    ucAniGIF gif{host};
    std::vector<uint8_t> maskSave, compositeSave;
    const std::vector<uint32_t> palette = giftest::testPalette(8);
};

TEST_F(ComposeFrame, FrameOneStartsFromAnEmptyPictureAndCoversItsOpaquePixels) {
    auto first = giftest::makeFrame(16, 8, [](int x, int) { return x < 8 ? 0 : 3; });
    first.control = true;
    first.disposal = 1;
    first.transparent = true;
    first.transIndex = 0;
    load(16, 8, {first, frameAt(2, 2, 4, 4, 2, 5)});

    gif.Composite->fill(0, 0, 16, 8, 0x123456);
    gif.Mask->fillBytes(0);
    gif.TableCount = 4;
    paint(1);
    EXPECT_EQ(gif.TableCount, -1);  // the mask palette is now loaded in the strip
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            EXPECT_EQ(covered(x, y), x >= 8) << x << "," << y;
            EXPECT_EQ(colour(x, y), x < 8 ? 0u : palette[3]) << x << "," << y;
        }
    // The mask palette is all black again after the update.
    for (uint32_t e : gif.MaskPalette) EXPECT_EQ(e, 0u);
}

TEST_F(ComposeFrame, RestoreToBackgroundUncoversTheFrameAfterPresentation) {
    load(12, 10, {frameAt(0, 0, 12, 10, 1, 1, 1), frameAt(3, 2, 5, 4, 2, 6)});
    paint(1);
    ASSERT_FALSE(covered(0, 0));
    prepare(2);
    draw(2);
    EXPECT_TRUE(covered(3, 2));
    EXPECT_TRUE(covered(7, 5));
    EXPECT_EQ(colour(7, 5), palette[6]);
    dispose(2);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) {
            EXPECT_FALSE(covered(x, y)) << x << "," << y;
            EXPECT_EQ(colour(x, y), 0u) << x << "," << y;
        }
}

TEST_F(ComposeFrame, OverlappingRestoreToPreviousFramesEachRestoreTheirOwnArea) {
    // Frame 1 leaves holes, so composite and mask both hold a pattern to restore.
    auto holes = giftest::makeFrame(20, 12, [](int x, int y) { return (x + y) % 3 ? 4 : 2; });
    holes.control = true;
    holes.disposal = 1;
    holes.transparent = true;
    holes.transIndex = 2;
    load(20, 12, {holes, frameAt(1, 1, 10, 6, 3, 6), frameAt(6, 3, 9, 7, 3, 5, 0)});
    paint(1);
    const auto composite = snapshot(*gif.Composite);
    const auto mask = snapshot(*gif.Mask);
    for (int32_t k : {2, 3}) {
        prepare(k);
        draw(k);
        EXPECT_NE(snapshot(*gif.Composite), composite);
        dispose(k);
        EXPECT_EQ(snapshot(*gif.Composite), composite) << "frame " << k;
        EXPECT_EQ(snapshot(*gif.Mask), mask) << "frame " << k;
    }
}

TEST_F(ComposeFrame, MaskSaveKeepsNeighbouringBitsAtAnUnalignedLeft) {
    // Frame 1 covers alternate columns, so every mask byte mixes covered and uncovered bits.
    auto stripes = giftest::makeFrame(32, 4, [](int x, int) { return x % 2 ? 2 : 0; });
    stripes.control = true;
    stripes.disposal = 1;
    stripes.transparent = true;
    stripes.transIndex = 0;
    load(32, 4, {stripes, frameAt(5, 1, 6, 2, 3, 3)});
    paint(1);
    const auto before = snapshot(*gif.Mask);
    prepare(2);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 32; ++x) {
            const bool inside = x >= 5 && x < 11 && y >= 1 && y < 3;
            EXPECT_EQ(covered(x, y), inside || x % 2 == 1) << x << "," << y;
        }
    dispose(2);
    EXPECT_EQ(snapshot(*gif.Mask), before);
}

TEST_F(ComposeFrame, RestoreToPreviousGivesBackEveryMaskByteAtEveryLeftModEight) {
    // Frames 2..9 sit at left 8..15, 32 wide: from any unaligned left they touch five mask
    // bytes, one more than a 32-pixel row holds, and the last one must come back too.
    auto stripes = giftest::makeFrame(64, 4, [](int x, int) { return x % 2 ? 2 : 0; });
    stripes.control = true;
    stripes.disposal = 1;
    stripes.transparent = true;
    stripes.transIndex = 0;
    std::vector<GifFrame> frames{stripes};
    for (int m = 0; m < 8; ++m) frames.push_back(frameAt(8 + m, 1, 32, 2, 3, 3));
    load(64, 4, frames);
    paint(1);
    const auto mask = snapshot(*gif.Mask);
    const auto composite = snapshot(*gif.Composite);
    for (int32_t k = 2; k <= 9; ++k) {
        const int left = 8 + (k - 2);
        prepare(k);
        EXPECT_TRUE(covered(left + 31, 1)) << "left " << left;
        EXPECT_TRUE(covered(left, 2)) << "left " << left;
        draw(k);
        dispose(k);
        EXPECT_EQ(snapshot(*gif.Mask), mask) << "left " << left;
        EXPECT_EQ(snapshot(*gif.Composite), composite) << "left " << left;
        for (int x = left; x < left + 32; ++x)
            EXPECT_EQ(covered(x, 1), x % 2 == 1) << "left " << left << " x " << x;
    }
}

TEST_F(ComposeFrame, MaskSaveIsCutAtTheRowEnd) {
    // left 60: the save starts at mask byte 7 of an 8-byte row and would run 3 bytes past it;
    // top 0 is the last row in memory, so an uncut span would leave the surface.
    load(64, 3, {frameAt(0, 0, 64, 3, 1, 2, 2), frameAt(60, 0, 4, 2, 3, 3)});
    paint(1);
    const auto mask = snapshot(*gif.Mask);
    const auto composite = snapshot(*gif.Composite);
    prepare(2);
    EXPECT_TRUE(covered(63, 1));
    EXPECT_FALSE(covered(59, 0));
    draw(2);
    dispose(2);
    EXPECT_EQ(snapshot(*gif.Mask), mask);
    EXPECT_EQ(snapshot(*gif.Composite), composite);
}

TEST_F(ComposeFrame, AFullyTransparentFrameLeavesTheMaskAlone) {
    load(10, 10, {frameAt(0, 0, 6, 6, 1, 2), frameAt(2, 2, 8, 8, 1, 7, 7)});
    paint(1);
    const auto mask = snapshot(*gif.Mask);
    paint(2);
    EXPECT_EQ(snapshot(*gif.Mask), mask);
}

TEST_F(ComposeFrame, ForcedRestoreToPreviousOnFrameOneReturnsToUncovered) {
    load(8, 8, {frameAt(0, 0, 8, 8, 1, 3), frameAt(0, 0, 4, 4, 2, 1)});
    gif.Frames(1).Disposal = 3;  // the parser never gives this; the compositor must cope
    paint(1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            EXPECT_FALSE(covered(x, y));
            EXPECT_EQ(colour(x, y), 0u);
        }
}

}  // namespace

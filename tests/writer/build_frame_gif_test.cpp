// Reading the current frame back as a GIF through the control: the frame's own cell of the
// strip, its own colour table and transparency, and no effect on a build still in progress.
#include <gtest/gtest.h>

#include "gifcontrol/decode/bytes_to_picture.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/headless_host.h"
#include "tests/support/gif_builder.h"

namespace {

using anigif::ucAniGIF;
using giftest::Bytes;
using giftest::GifBuilder;
using giftest::GifFrame;

GifFrame pattern(int w, int h, int seed, int colours) {
    return giftest::makeFrame(w, h, [&](int x, int y) { return (x * 3 + y * 5 + seed) % colours; });
}

std::vector<uint32_t> padded(std::vector<uint32_t> colours) {
    colours.resize(256, 0);
    return colours;
}

class FrameGif : public ::testing::Test {
  protected:
    FrameGif() {
        a = pattern(10, 10, 0, 16);
        b = pattern(20, 5, 1, 4);
        b.localTable = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FFFFFF};
        b.control = true;
        b.transparent = true;
        b.transIndex = 3;
        b.delayCs = 25;
        b.disposal = 2;
        b.left = 7;  // positions are not written
        c = pattern(5, 30, 2, 16);
        bytes = GifBuilder()
                    .screen(30, 30)
                    .globalTable(giftest::testPalette(16))
                    .frame(a)
                    .frame(b)
                    .frame(c)
                    .build();
    }

    void expectPicture(const anigif::Picture* p, const GifFrame& f,
                       const std::vector<uint32_t>& colours, int transparent) {
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->width(), f.width);
        EXPECT_EQ(p->height(), f.height);
        EXPECT_EQ(p->indices(), f.indices);
        EXPECT_EQ(p->colorTable(), padded(colours));
        EXPECT_EQ(p->transparentIndex(), transparent);
        ASSERT_GT(p->bytes().size(), 782u);
        EXPECT_EQ(p->bytes()[781], transparent >= 0 ? 0x21 : 0x2C);
    }

    GifFrame a, b, c;
    Bytes bytes;
    platform::HeadlessHost host;
    ucAniGIF gif{host};
};

TEST_F(FrameGif, NothingLoadedGivesNoPicture) {
    EXPECT_EQ(gif.AnimatedGIF(), nullptr);
    EXPECT_EQ(gif.BuildFrameGif(1), nullptr);
}

TEST_F(FrameGif, EachFrameComesBackWithItsOwnCellTableAndTransparency) {
    gif.delayMode = anigif::DelayOff;
    ASSERT_TRUE(gif.loadGifBytes(bytes));
    ASSERT_EQ(gif.FrameCount(), 3);
    ASSERT_EQ(gif.CurrentFrame(), 1);

    const auto first = gif.AnimatedGIF();
    expectPicture(first.get(), a, giftest::testPalette(16), -1);

    gif.currentFrame = 2;  // the short frame with a local table, between two taller ones
    const auto second = gif.AnimatedGIF();
    expectPicture(second.get(), b, b.localTable, 3);
    ASSERT_NE(second, nullptr);
    // Drawn, the transparent pixels show what lies beneath.
    auto target = platform::Surface::create(24, 20, 5);
    target->fill(0, 0, 20, 5, 0x808080);
    second->render(*target, 0, 0, 20, 5, 0, 5, 20, -5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 20; ++x) {
            const uint8_t i = b.indices[static_cast<size_t>(y * 20 + x)];
            EXPECT_EQ(target->pixel(x, y), i == 3 ? 0x808080u : b.localTable[i]);
        }
    // A graphic control extension with no delay and disposal 0, whatever the frame had.
    EXPECT_EQ(Bytes(second->bytes().begin() + 781, second->bytes().begin() + 789),
              (Bytes{0x21, 0xF9, 0x04, 0x01, 0, 0, 3, 0}));

    expectPicture(gif.BuildFrameGif(3).get(), c, giftest::testPalette(16), -1);
    EXPECT_EQ(gif.BuildFrameGif(0), nullptr);
    EXPECT_EQ(gif.BuildFrameGif(4), nullptr);

    // Every read encodes afresh, with the colours as they are now.
    gif.currentFrame = 1;
    gif.ColorTables[0][5] = 0x00123456;
    const auto recoloured = gif.AnimatedGIF();
    ASSERT_NE(recoloured, nullptr);
    EXPECT_EQ(recoloured->colorTable()[5], 0x00123456u);
    EXPECT_EQ(recoloured->indices(), a.indices);
}

TEST_F(FrameGif, ReadBetweenTheTwoBuildPassesLeavesTheBuildIntact) {
    gif.delayMode = anigif::DelayHold;
    ASSERT_TRUE(gif.loadGifBytes(bytes));
    ASSERT_FALSE(gif.RebuildBuffer.empty()) << "the second pass is still to come";
    const Bytes rebuild(gif.RebuildBuffer.span().begin(), gif.RebuildBuffer.span().end());
    const auto powers = gif.PowersOfTwo;

    expectPicture(gif.AnimatedGIF().get(), a, giftest::testPalette(16), -1);
    EXPECT_TRUE(std::equal(rebuild.begin(), rebuild.end(), gif.RebuildBuffer.span().begin()));
    EXPECT_EQ(gif.PowersOfTwo, powers);

    bool rest = false;
    ASSERT_TRUE(gif.BuildFrames(rest));
    expectPicture(gif.BuildFrameGif(2).get(), b, b.localTable, 3);
    expectPicture(gif.BuildFrameGif(3).get(), c, giftest::testPalette(16), -1);
}

TEST_F(FrameGif, InconsistentFrameGivesNoPictureAndNoError) {
    gif.delayMode = anigif::DelayOff;
    ASSERT_TRUE(gif.loadGifBytes(bytes));
    gif.Frames(2).StripX = gif.Strip->width();  // a cell outside the strip
    EXPECT_EQ(gif.BuildFrameGif(2), nullptr);
    gif.Frames(3).TableIndex = 9;  // a table that does not exist
    EXPECT_EQ(gif.BuildFrameGif(3), nullptr);
    EXPECT_NE(gif.BuildFrameGif(1), nullptr);
}

}  // namespace

// The stream parser: what it reads into the frame table, the colour tables and the image-wide
// values, and how it ends on odd or broken streams.
#include <gtest/gtest.h>

#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/headless_host.h"
#include "tests/support/gif_builder.h"

namespace {

using anigif::ucAniGIF;
using giftest::Bytes;
using giftest::GifBuilder;
using giftest::GifFrame;

GifFrame solid(int w, int h, uint8_t index = 1) {
    return giftest::makeFrame(w, h, [&](int, int) { return index; });
}

GifFrame withControl(GifFrame f, int disposal, int delayCs = 0) {
    f.control = true;
    f.disposal = disposal;
    f.delayCs = delayCs;
    return f;
}

class ParseGif : public ::testing::Test {
  protected:
    // Runs the parser alone, with the state LoadAndStart gives it.
    int16_t parse(const Bytes& bytes) {
        gif.ResetDecoder();
        gif.GifBytes.assign(bytes);
        for (size_t k = 0; k < gif.PowersOfTwo.size(); ++k) gif.PowersOfTwo[k] = 1 << k;
        return gif.ParseGif();
    }

    platform::HeadlessHost host;
    ucAniGIF gif{host};
};

Bytes twoFrameGif() {
    return GifBuilder()
        .screen(20, 20)
        .globalTable(giftest::testPalette(4))
        .frame(withControl(solid(8, 6), 1, 5))
        .frame(withControl(solid(10, 7, 2), 2, 7))
        .build();
}

TEST_F(ParseGif, AcceptsEitherVersionInAnyLetterCase) {
    for (const char* sig : {"GIF89a", "gif89a", "GiF87A", "GIF87a"}) {
        const auto bytes =
            GifBuilder().signature(sig).globalTable({0, 0xFFFFFF}).frame(solid(4, 3)).build();
        EXPECT_EQ(parse(bytes), 1) << sig;
    }
    for (const char* sig : {"GIF88a", "GIF8", "PNG89a"}) {
        const auto bytes =
            GifBuilder().signature(sig).globalTable({0, 0xFFFFFF}).frame(solid(4, 3)).build();
        EXPECT_EQ(parse(bytes), 0) << sig;
    }
    EXPECT_EQ(parse({}), 0);
    EXPECT_EQ(parse({'G', 'I', 'F', '8', '9'}), 0);
}

TEST_F(ParseGif, ImageSizeComesFromTheFramesNotTheScreen) {
    auto f = solid(100, 80);
    f.left = 10;
    f.top = 20;
    ASSERT_EQ(parse(GifBuilder().screen(500, 400).globalTable({0, 0xFFFFFF}).frame(f).build()), 1);
    EXPECT_EQ(gif.screenWidth, 110);
    EXPECT_EQ(gif.screenHeight, 100);
    const auto& fr = gif.Frames(1);
    EXPECT_EQ(fr.Left, 10);
    EXPECT_EQ(fr.Top, 20);
    EXPECT_EQ(fr.Width, 100);
    EXPECT_EQ(fr.Height, 80);
}

TEST_F(ParseGif, RecordsTheControlExtensionOfTheNextImageOnly) {
    auto t = withControl(solid(8, 6), 1, 65535);
    t.transparent = true;
    t.transIndex = 3;
    const auto bytes = GifBuilder()
                           .screen(20, 20)
                           .globalTable(giftest::testPalette(4))
                           .frame(t)
                           .frame(solid(4, 4))
                           .build();
    ASSERT_EQ(parse(bytes), 2);
    EXPECT_EQ(gif.Frames(1).Delay, 655350);
    EXPECT_EQ(gif.Frames(1).TransFlag, 1);
    EXPECT_EQ(gif.Frames(1).TransIndex, 3);
    EXPECT_EQ(gif.Frames(1).Disposal, 1);
    // The first block of a frame with an extension is that extension; otherwise its separator.
    EXPECT_EQ(gif.Frames(1).StripX + 8, gif.Blocks(1).Start);
    EXPECT_EQ(gif.GifBytes(gif.Frames(1).StripX), 0x21);
    EXPECT_EQ(gif.Frames(2).Delay, 0);
    EXPECT_EQ(gif.Frames(2).TransFlag, 0);
    EXPECT_EQ(gif.Frames(2).StripX, gif.Blocks(2).Start);
    EXPECT_EQ(gif.GifBytes(gif.Blocks(2).Start), 0x2C);
    // Length runs from the separator through the block terminator.
    EXPECT_EQ(gif.GifBytes(gif.Blocks(1).Start + gif.Blocks(1).Length - 1), 0x00);
}

TEST_F(ParseGif, RestoreToPreviousOnTheFirstFrameReadsAsNone) {
    const auto bytes = GifBuilder()
                           .screen(10, 10)
                           .globalTable({0, 0xFFFFFF})
                           .frame(withControl(solid(4, 4), 3))
                           .frame(withControl(solid(4, 4), 3))
                           .frame(withControl(solid(4, 4), 7))  // undefined values keep bits 2-3
                           .build();
    ASSERT_EQ(parse(bytes), 3);
    EXPECT_EQ(gif.Frames(1).Disposal, 0);
    EXPECT_EQ(gif.Frames(2).Disposal, 3);
    EXPECT_EQ(gif.Frames(3).Disposal, 3);
}

TEST_F(ParseGif, SkipsZeroBytesAndStopsAtTheTrailer) {
    const auto bytes = GifBuilder()
                           .screen(10, 10)
                           .globalTable({0, 0xFFFFFF})
                           .raw({0, 0, 0})
                           .frame(solid(4, 4))
                           .raw({0})
                           .comment("between")
                           .frame(solid(5, 5))
                           .raw({0x3B})
                           .frame(solid(9, 9))  // after the trailer: never read
                           .build();
    ASSERT_EQ(parse(bytes), 2);
    EXPECT_EQ(gif.screenWidth, 5);
}

TEST_F(ParseGif, ReadsTheLoopCountInAnyLetterCase) {
    const auto base = [] { return GifBuilder().screen(4, 4).globalTable({0, 0xFFFFFF}); };
    ASSERT_EQ(parse(base().loop(7).frame(solid(4, 4)).build()), 1);
    EXPECT_EQ(gif.loopSetting, 7);
    ASSERT_EQ(parse(base().loop(65535, "netscape2.0").frame(solid(4, 4)).build()), 1);
    EXPECT_EQ(gif.loopSetting, 65535);
    gif.loopSetting = 0;
    ASSERT_EQ(parse(base().loop(0).frame(solid(4, 4)).build()), 1);
    EXPECT_EQ(gif.loopSetting, 0);
    ASSERT_EQ(parse(base().loop(9, "ANIMEXTS1.0").frame(solid(4, 4)).build()), 1);
    EXPECT_EQ(gif.loopSetting, 0);
    // A NETSCAPE block whose sub-block is not 3 bytes is skipped without reading a count.
    const Bytes odd = {0x21, 0xFF, 11,  'N', 'E', 'T', 'S', 'C', 'A',
                       'P',  'E',  '2', '.', '0', 2,   1,   9,   0};
    ASSERT_EQ(parse(base().raw(odd).frame(solid(4, 4)).build()), 1);
    EXPECT_EQ(gif.loopSetting, 0);
}

TEST_F(ParseGif, NumbersLocalTablesInStreamOrder) {
    auto local = solid(4, 4);
    local.localTable = {0x112233, 0x445566, 0x778899};
    const auto bytes = GifBuilder()
                           .screen(4, 4)
                           .globalTable({0xABCDEF, 0xFFFFFF})
                           .frame(solid(4, 4))
                           .frame(local)
                           .build();
    ASSERT_EQ(parse(bytes), 2);
    EXPECT_EQ(gif.Frames(1).TableIndex, 0);
    EXPECT_EQ(gif.Frames(2).TableIndex, 1);
    EXPECT_EQ(gif.TableCount, 1);
    ASSERT_EQ(gif.ColorTables.size(), 2u);
    EXPECT_EQ(gif.ColorTables[0][0], 0xABCDEFu);
    EXPECT_EQ(gif.ColorTables[0][256], 2u);
    EXPECT_EQ(gif.ColorTables[1][1], 0x445566u);
    EXPECT_EQ(gif.ColorTables[1][3], 0u);  // padding of the 4-entry table
    EXPECT_EQ(gif.ColorTables[1][4], 0u);  // beyond the count
    EXPECT_EQ(gif.ColorTables[1][256], 4u);
}

TEST_F(ParseGif, LocalTablesWithoutAGlobalTable) {
    auto a = solid(4, 4), b = solid(4, 4);
    a.localTable = {0x010203, 0x040506};
    b.localTable = {0x070809, 0x0A0B0C};
    ASSERT_EQ(parse(GifBuilder().screen(4, 4).frame(a).frame(b).build()), 2);
    ASSERT_EQ(gif.ColorTables.size(), 3u);
    for (uint32_t v : gif.ColorTables[0]) EXPECT_EQ(v, 0u);
    EXPECT_EQ(gif.ColorTables[2][0], 0x070809u);
    // One image without any table makes the whole stream unusable.
    EXPECT_EQ(parse(GifBuilder().screen(4, 4).frame(a).frame(solid(4, 4)).build()), 0);
}

TEST_F(ParseGif, ACutStreamKeepsTheFramesCompletedBeforeTheCut) {
    const auto full = twoFrameGif();
    ASSERT_EQ(parse(full), 2);
    const int32_t secondStart = gif.Blocks(2).Start;  // 1-based position of its separator
    // Cut inside the second image's data: its sub-blocks run off the end, it still counts.
    Bytes cutData(full.begin(), full.begin() + secondStart + 13);
    EXPECT_EQ(parse(cutData), 2);
    EXPECT_GT(gif.Blocks(2).Start + gif.Blocks(2).Length - 1, static_cast<int32_t>(cutData.size()));
    // Cut inside its descriptor.
    Bytes cutDescriptor(full.begin(), full.begin() + secondStart + 4);
    EXPECT_EQ(parse(cutDescriptor), 1);
    EXPECT_EQ(gif.Frames.upperBound(), 1);
    // Cut inside the global table: nothing.
    EXPECT_EQ(parse(Bytes(full.begin(), full.begin() + 15)), 0);
}

TEST_F(ParseGif, StopsAtThe32767thFrame) {
    GifBuilder b;
    b.screen(2, 2).globalTable({0, 0xFFFFFF});
    auto tiny = solid(1, 1);
    tiny.minCodeSize = 2;
    for (int i = 0; i < 32769; ++i) b.frame(tiny);
    EXPECT_EQ(parse(b.build()), 32767);
    EXPECT_EQ(gif.Frames.upperBound(), 32767);
}

TEST_F(ParseGif, ReadsAShortControlExtensionAtFixedOffsets) {
    // A graphic control extension whose size byte says 0 is still read as if it were 4.
    const Bytes gce = {0x21, 0xF9, 0, 0x09, 0x0A, 0x00, 0x05, 0x00};
    ASSERT_EQ(parse(GifBuilder()
                        .screen(4, 4)
                        .globalTable({0, 0xFFFFFF})
                        .raw(gce)
                        .frame(solid(4, 4))
                        .build()),
              1);
    EXPECT_EQ(gif.Frames(1).Disposal, 2);
    EXPECT_EQ(gif.Frames(1).Delay, 100);
    EXPECT_EQ(gif.Frames(1).TransFlag, 1);
    EXPECT_EQ(gif.Frames(1).TransIndex, 5);
}

}  // namespace

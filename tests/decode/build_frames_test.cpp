// The frame strip builder through the whole load: strip layout and contents, which surfaces are
// made, the deferred second pass, and clean failure on GIFs too large to hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "gifcontrol/render/uc_ani_gif.h"
#include "gifcontrol/render/work_threads.h"
#include "platform/headless_host.h"
#include "tests/support/gif_builder.h"

namespace {

using anigif::ucAniGIF;
using giftest::Bytes;
using giftest::GifBuilder;
using giftest::GifFrame;

GifFrame pattern(int w, int h, int seed, int colours = 16) {
    return giftest::makeFrame(w, h, [&](int x, int y) { return (x * 3 + y * 5 + seed) % colours; });
}

GifFrame withControl(GifFrame f, int disposal, bool transparent = false, uint8_t transIndex = 0) {
    f.control = true;
    f.disposal = disposal;
    f.transparent = transparent;
    f.transIndex = transIndex;
    return f;
}

class BuildFrames : public ::testing::Test {
  protected:
    BuildFrames() { gif.delayMode = anigif::DelayOff; }

    bool load(const Bytes& bytes) { return gif.loadGifBytes(bytes); }

    // Index of strip pixel (x, y), y = 0 the top line.
    uint32_t strip(int x, int y) const { return gif.Strip->pixel(x, y); }

    // Every pixel of frame k's cell holds the frame's own indices.
    void expectCell(int k, const GifFrame& f) const {
        const auto& fr = gif.Frames(k);
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x)
                ASSERT_EQ(strip(fr.StripX + x, y), f.indices[static_cast<size_t>(y) * f.width + x])
                    << "frame " << k << " at " << x << "," << y;
    }

    platform::HeadlessHost host;
    ucAniGIF gif{host};
};

TEST_F(BuildFrames, PutsFramesSideBySideWithTheirOwnIndices) {
    const auto a = pattern(10, 10, 0), b = pattern(20, 5, 1), c = pattern(5, 30, 2);
    auto placed = c;
    placed.left = 50;
    placed.top = 60;
    ASSERT_TRUE(load(GifBuilder()
                         .screen(60, 90)
                         .globalTable(giftest::testPalette(16))
                         .frame(withControl(a, 1))
                         .frame(withControl(b, 1))
                         .frame(withControl(placed, 1))
                         .build()));
    ASSERT_EQ(gif.FrameCount(), 3);
    EXPECT_EQ(gif.Strip->width(), 35);
    EXPECT_EQ(gif.Strip->height(), 30);
    EXPECT_EQ(gif.Strip->bitsPerPixel(), 8);
    EXPECT_EQ(gif.Frames(1).StripX, 0);
    EXPECT_EQ(gif.Frames(2).StripX, 10);
    EXPECT_EQ(gif.Frames(3).StripX, 30);
    expectCell(1, a);
    expectCell(2, b);
    expectCell(3, c);  // positions apply only when composing
    EXPECT_EQ(gif.Frames(3).Left, 50);
    EXPECT_EQ(strip(12, 5), 0u);  // below frame 2's cell
    EXPECT_EQ(gif.currentFrame, 1);
    EXPECT_EQ(gif.TableCount, -1);
    // Run mode: the GIF now lives only in the tables and the strip.
    EXPECT_TRUE(gif.GifBytes.empty());
    EXPECT_TRUE(gif.Blocks.empty());
    EXPECT_TRUE(gif.RebuildBuffer.empty());
}

TEST_F(BuildFrames, DecodesLocalTablesInterlacingAndOddSignatures) {
    auto local = pattern(7, 9, 3, 4);
    local.localTable = {0x102030, 0x405060, 0x708090, 0xA0B0C0};
    local.minCodeSize = 2;
    auto laced = pattern(6, 13, 4);
    laced.interlaced = true;
    const auto bytes = GifBuilder()
                           .signature("gIf87A")
                           .screen(10, 13)
                           .globalTable(giftest::testPalette(16))
                           .frame(withControl(local, 1))
                           .frame(withControl(laced, 1))
                           .build();
    ASSERT_TRUE(load(bytes));
    expectCell(1, local);
    expectCell(2, laced);
    EXPECT_EQ(gif.ColorTables[1][2], 0x708090u);  // the colours stay in the tables
}

TEST_F(BuildFrames, KeepsTransparentIndicesInTheStrip) {
    auto t = giftest::makeFrame(8, 8, [](int x, int) { return x % 2 ? 5 : 2; });
    ASSERT_TRUE(load(GifBuilder()
                         .screen(8, 8)
                         .globalTable(giftest::testPalette(8))
                         .frame(withControl(t, 1, true, 5))
                         .frame(withControl(t, 1, true, 5))
                         .build()));
    expectCell(1, t);
    expectCell(2, t);
    EXPECT_EQ(gif.MaskPalette.size(), 256u);
}

TEST_F(BuildFrames, ChoosesTheSurfacesByFramesAndRunMode) {
    const auto frame = pattern(10, 10, 0);
    auto small = pattern(4, 4, 1);
    small.left = 2;
    const auto gifWith = [&](std::vector<GifFrame> frames) {
        GifBuilder b;
        b.screen(10, 10).globalTable(giftest::testPalette(16));
        for (const auto& f : frames) b.frame(f);
        return b.build();
    };
    struct Case {
        const char* name;
        Bytes bytes;
        bool composite, mask;
    };
    const Case cases[] = {
        {"single frame", gifWith({withControl(frame, 2, true)}), false, false},
        {"all disposal 2", gifWith({withControl(frame, 2), withControl(frame, 2, true)}), false,
         false},
        {"opaque, full size, keep", gifWith({withControl(frame, 1), withControl(small, 1)}), true,
         false},
        {"restore to background", gifWith({withControl(frame, 1), withControl(small, 2)}), true,
         true},
        {"restore to previous", gifWith({withControl(frame, 1), withControl(small, 3)}), true,
         true},
        {"transparent first frame", gifWith({withControl(frame, 1, true), withControl(small, 1)}),
         true, true},
        {"transparent, small first frame",
         gifWith({withControl(small, 1), withControl(frame, 1, true)}), true, true},
        {"transparent later, full first frame",
         gifWith({withControl(frame, 1), withControl(small, 1, true)}), true, false},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(load(c.bytes)) << c.name;
        EXPECT_EQ(gif.Composite != nullptr, c.composite) << c.name;
        EXPECT_EQ(gif.Mask != nullptr, c.mask) << c.name;
        if (gif.Composite) {
            EXPECT_EQ(gif.Composite->bitsPerPixel(), 24);
            EXPECT_EQ(gif.Composite->width(), 10);
        }
        if (gif.Mask) {
            EXPECT_EQ(gif.Mask->bitsPerPixel(), 1);
            EXPECT_EQ(gif.Mask->colorTable()[1], 0xFFFFFFu);
        }
    }
    // Design mode: frame 1 only, no composite, the bytes stay for storing.
    host.setUserMode(false);
    ASSERT_TRUE(load(gifWith({withControl(small, 1), withControl(frame, 3)})));
    EXPECT_EQ(gif.Strip->width(), 4);
    EXPECT_EQ(gif.Strip->height(), 4);
    EXPECT_EQ(gif.Composite, nullptr);
    EXPECT_FALSE(gif.GifBytes.empty());
    EXPECT_EQ(gif.FrameCount(), 2);
}

TEST_F(BuildFrames, DefersTheRemainingFramesWhenAsked) {
    const auto a = pattern(6, 6, 0), b = pattern(6, 6, 7);
    const auto bytes = GifBuilder()
                           .screen(6, 6)
                           .globalTable(giftest::testPalette(16))
                           .frame(withControl(a, 1))
                           .frame(withControl(b, 1))
                           .build();
    gif.delayMode = anigif::DelayHold;
    ASSERT_TRUE(load(bytes));
    expectCell(1, a);
    EXPECT_EQ(strip(6 + 2, 2), 0u);  // frame 2 not decoded yet
    EXPECT_FALSE(gif.GifBytes.empty());
    EXPECT_TRUE(host.events().empty());

    bool rest = false;
    ASSERT_TRUE(gif.BuildFrames(rest));
    expectCell(2, b);
    EXPECT_TRUE(gif.GifBytes.empty());
    ASSERT_EQ(host.events().size(), 1u);  // hold: FrameChanged(1, False) instead of playing
    const auto& ev = host.events()[0];
    EXPECT_EQ(ev.number, anigif::EventFrameChanged);
    EXPECT_EQ(std::get<int32_t>(ev.args[0].second), 1);
    EXPECT_FALSE(std::get<bool>(ev.args[1].second));
    EXPECT_EQ(gif.mirrorStyle & anigif::kMirrorFirstFrameDone, 0);
}

TEST_F(BuildFrames, ScalesTheNewImageToTheControlBeforeItsFirstPaint) {
    const auto bytes =
        GifBuilder().globalTable({0, 0xFFFFFF}).frame(pattern(100, 40, 0, 2)).build();
    struct Case {
        int32_t stretch;
        double w, h;
        float sx, sy;
    };
    const Case cases[] = {
        {anigif::StretchNone, 50, 20, 1.0f, 1.0f},
        {anigif::StretchFit, 50, 60, 0.5f, 0.5f},      // the smaller ratio wins
        {anigif::StretchFill, 50, 60, 0.5f, 1.5f},     // independent
        {anigif::StretchShrink, 300, 80, 1.0f, 1.0f},  // larger both ways: unscaled
        {anigif::StretchShrink, 300, 20, 0.5f, 0.5f},  // larger one way only: scaled down
        {anigif::StretchAutoSize, 7, 7, 1.0f, 1.0f},
    };
    for (const auto& c : cases) {
        gif.stretchMode = c.stretch;
        host.setInnerSize(c.w, c.h);
        ASSERT_TRUE(load(bytes));
        EXPECT_FLOAT_EQ(gif.scaleX, c.sx) << c.stretch << " " << c.w;
        EXPECT_FLOAT_EQ(gif.scaleY, c.sy) << c.stretch << " " << c.w;
    }
    // The size proposed back: halves round to the even neighbour.
    gif.stretchMode = anigif::StretchFit;
    int32_t w = 25, h = 1000;
    float sx = 0, sy = 0;
    gif.screenWidth = 10;
    gif.screenHeight = 5;
    gif.ComputeScale(w, h, sx, sy);
    EXPECT_EQ(w, 25);
    EXPECT_EQ(h, 12);  // 2.5 * 5 = 12.5
}

TEST_F(BuildFrames, BuildsWhatACutStreamHolds) {
    const auto a = pattern(10, 10, 0), b = pattern(12, 40, 1);
    const auto full = GifBuilder()
                          .screen(12, 40)
                          .globalTable(giftest::testPalette(16))
                          .frame(withControl(a, 1))
                          .frame(withControl(b, 1))
                          .build(false);
    // Keep the first half of frame 2's data: its top rows decode, the rest stays index 0.
    const Bytes cut(full.begin(), full.end() - static_cast<long>(b.indices.size() * 9 / 16));
    ASSERT_TRUE(load(cut));
    ASSERT_EQ(gif.FrameCount(), 2);
    expectCell(1, a);
    const int x0 = gif.Frames(2).StripX;
    EXPECT_EQ(strip(x0 + 3, 0), b.indices[3]);
    EXPECT_EQ(strip(x0 + 3, 39), 0u);
    // Exactly: the frame's own indices up to where its data end, index 0 from there on, also in
    // the rest of that line.
    size_t k = 0;
    while (k < b.indices.size() && strip(x0 + int(k % 12), int(k / 12)) == b.indices[k]) ++k;
    EXPECT_GT(k, b.indices.size() / 4);
    for (size_t i = k; i < b.indices.size(); ++i)
        ASSERT_EQ(strip(x0 + int(i % 12), int(i / 12)), 0u) << "pixel " << i << " after " << k;
}

TEST_F(BuildFrames, DecodesAFrameWhoseControlBlockHasAWrongSizeByte) {
    const auto a = pattern(9, 7, 2);
    auto b = pattern(9, 7, 5);
    b.interlaced = true;
    const auto bytes = GifBuilder()
                           .screen(9, 7)
                           .globalTable(giftest::testPalette(16))
                           .raw({0x21, 0xF9, 0xEE, 0x09, 0x0A, 0x00, 0x03, 0x00})
                           .frame(a)
                           .frame(withControl(b, 1))
                           .build();
    ASSERT_TRUE(load(bytes));
    ASSERT_EQ(gif.FrameCount(), 2);
    EXPECT_EQ(gif.Frames(1).Delay, 100);
    expectCell(1, a);
    expectCell(2, b);
}

TEST_F(BuildFrames, FailsCleanlyOnFramesTooLargeToHold) {
    // One 65535 x 65535 frame: its strip alone is 4 GiB.
    Bytes huge = GifBuilder().screen(1, 1).globalTable({0, 0xFFFFFF}).build(false);
    const Bytes image = {0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 2, 0x4C, 0x01, 0};
    huge.insert(huge.end(), image.begin(), image.end());
    huge.push_back(0x3B);
    EXPECT_FALSE(load(huge));
    EXPECT_EQ(gif.FrameCount(), 0);
    EXPECT_EQ(gif.currentFrame, 0);
    EXPECT_EQ(gif.Strip, nullptr);
    EXPECT_TRUE(gif.GifBytes.empty());

    // Thousands of wide frames: each is small, the strip of all of them (2.2 GB) is over the
    // budget on any machine.
    GifBuilder many;
    many.screen(1, 1).globalTable({0, 0xFFFFFF});
    Bytes wide = {0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0x10, 0x00, 0, 2, 2, 0x4C, 0x01, 0};
    for (int i = 0; i < 2100; ++i) many.raw(wide);
    EXPECT_FALSE(load(many.build()));
    EXPECT_EQ(gif.FrameCount(), 0);
    EXPECT_EQ(gif.Composite, nullptr);

    // The control loads normally afterwards.
    EXPECT_TRUE(load(GifBuilder().globalTable({0, 0xFFFFFF}).frame(pattern(3, 3, 0, 2)).build()));
}

TEST_F(BuildFrames, LoadsEveryPrefixOfAGifWithoutFault) {
    auto t = pattern(9, 7, 2);
    t.interlaced = true;
    auto local = pattern(5, 5, 1, 4);
    local.localTable = giftest::testPalette(4);
    local.left = 4;
    const auto full = GifBuilder()
                          .screen(12, 12)
                          .globalTable(giftest::testPalette(16))
                          .loop(3)
                          .frame(withControl(pattern(12, 12, 0), 1))
                          .frame(withControl(t, 3, true, 4))
                          .comment("x")
                          .frame(withControl(local, 2))
                          .build();
    int loaded = 0;
    for (size_t n = 0; n <= full.size(); ++n) {
        const bool ok = load(Bytes(full.begin(), full.begin() + static_cast<long>(n)));
        loaded += ok;
        if (ok) {
            std::vector<uint8_t> maskSave, compositeSave;
            for (int32_t k = 1; k <= gif.FrameCount() && gif.Composite; ++k) {
                gif.ComposeFrame(k, false, maskSave, compositeSave);
                gif.ComposeFrame(k, true, maskSave, compositeSave);
            }
        }
    }
    EXPECT_GT(loaded, 0);
    ASSERT_TRUE(load(full));
    EXPECT_EQ(gif.FrameCount(), 3);
    EXPECT_EQ(gif.loopSetting, 3);
    EXPECT_EQ(gif.loopsRemaining, 3);
}

}  // namespace

// ---- Frames decoded in parallel ----------------------------------------------------------------

// What a load leaves for its callers to see: its result, the frame table and every strip byte.
struct Loaded {
    bool ok = false;
    std::vector<int32_t> frames;  // per frame: StripX, Width, Height, Left, Top, TableIndex
    std::vector<uint8_t> strip;
    std::vector<uint8_t> firstPassStrip;  // a deferred load's strip between its two passes
    int32_t stripWidth = 0, stripHeight = 0;
    bool operator==(const Loaded&) const = default;
};

// Loads `bytes` in run mode, with the pieces of each pass scheduled as `schedule` says (the
// default: real threads, whatever the size) and at most `threads` threads. All in one pass, or
// (deferred) frame 1 first and the remaining frames in a second pass, as a held load does.
Loaded loadScheduled(const Bytes& bytes, int32_t threads,
                     anigif::PieceSchedule schedule = {true, nullptr}, bool deferred = false) {
    anigif::setPieceSchedule(std::move(schedule));
    platform::HeadlessHost host;
    ucAniGIF gif{host};
    gif.delayMode = deferred ? anigif::DelayHold : anigif::DelayOff;
    gif.SetThreadLimit(threads);
    Loaded r;
    r.ok = gif.loadGifBytes(bytes);
    if (r.ok && deferred && gif.FrameCount() > 1) {
        r.firstPassStrip.assign(gif.Strip->bits(), gif.Strip->bits() + gif.Strip->sizeBytes());
        bool rest = false;
        r.ok = gif.BuildFrames(rest);
    }
    anigif::setPieceSchedule({});
    for (int32_t k = 1; r.ok && k <= gif.FrameCount(); ++k) {
        const auto& f = gif.Frames(k);
        r.frames.insert(r.frames.end(), {f.StripX, f.Width, f.Height, f.Left, f.Top, f.TableIndex});
    }
    if (gif.Strip) {
        r.strip.assign(gif.Strip->bits(), gif.Strip->bits() + gif.Strip->sizeBytes());
        r.stripWidth = gif.Strip->width();
        r.stripHeight = gif.Strip->height();
    }
    return r;
}

// A GIF of frames of different sizes, tables, interlacing and code sizes; `broken` (1-based, 0
// for none) gets an LZW minimum code size the decoder rejects.
Bytes mixedFrames(int count, int broken = 0) {
    GifBuilder b;
    b.screen(40, 30).globalTable(giftest::testPalette(16));
    for (int k = 1; k <= count; ++k) {
        auto f = pattern(8 + (k * 7) % 33, 5 + (k * 11) % 26, k, k % 3 == 0 ? 4 : 16);
        f.interlaced = k % 2 == 0;
        if (k % 3 == 0) {
            f.localTable = giftest::testPalette(4);
            f.minCodeSize = 2;
        }
        if (k == broken) {
            // The frame's descriptor with an LZW minimum code size of 12.
            const auto w = static_cast<uint8_t>(f.width), h = static_cast<uint8_t>(f.height);
            b.raw({0x2C, 0, 0, 0, 0, w, 0, h, 0, 0, 12, 2, 0xFF, 0xFF, 0});
            continue;
        }
        b.frame(withControl(f, 1 + k % 3, k % 4 == 0, 3));
    }
    return b.build();
}

TEST(ParallelFrames, GiveTheSameStripInWhateverOrderFramesAreDecoded) {
    const Bytes gif = mixedFrames(12);
    const Loaded reference = loadScheduled(gif, 1, {});
    ASSERT_TRUE(reference.ok);
    ASSERT_EQ(reference.frames.size(), 12u * 6);

    auto reversed = [](std::size_t n) {
        std::vector<std::size_t> order(n);
        for (std::size_t k = 0; k < n; ++k) order[k] = n - 1 - k;
        return order;
    };
    EXPECT_EQ(loadScheduled(gif, 0, {true, reversed}), reference);
    for (unsigned seed = 1; seed <= 4; ++seed) {
        auto shuffled = [seed](std::size_t n) {
            std::vector<std::size_t> order(n);
            for (std::size_t k = 0; k < n; ++k) order[k] = k;
            std::shuffle(order.begin(), order.end(), std::mt19937(seed));
            return order;
        };
        EXPECT_EQ(loadScheduled(gif, 0, {true, shuffled}), reference) << "seed " << seed;
    }
    // Real threads, more of them than frames are worth, several times over.
    for (int round = 0; round < 5; ++round) EXPECT_EQ(loadScheduled(gif, 8), reference);

    // Deferred: threads idle during the first pass decode the next frames ahead (frames no
    // larger than frame 1), yet the strip between the passes holds frame 1 alone, and the end is
    // the same.
    GifBuilder even;
    even.screen(20, 20).globalTable(giftest::testPalette(16));
    for (int k = 1; k <= 5; ++k) even.frame(withControl(pattern(20, 20 - k, k), 1));
    const Bytes evenGif = even.build();
    const Loaded whole = loadScheduled(evenGif, 1, {});
    const Loaded deferred = loadScheduled(evenGif, 1, {}, true);
    ASSERT_TRUE(deferred.ok);
    EXPECT_EQ(deferred.strip, whole.strip);
    const std::size_t rowBytes = deferred.strip.size() / std::size_t(deferred.stripHeight);
    for (std::size_t i = 0; i < deferred.firstPassStrip.size(); ++i)
        if (i % rowBytes >= 20) {
            ASSERT_EQ(deferred.firstPassStrip[i], 0) << i;
        }
    EXPECT_EQ(loadScheduled(evenGif, 0, {true, reversed}, true), deferred);
    for (int round = 0; round < 5; ++round)
        EXPECT_EQ(loadScheduled(evenGif, 8, {true, nullptr}, true), deferred);
}

TEST(ParallelFrames, KeepARejectedFrameAtIndexZeroAndItsNeighboursExact) {
    const Bytes intact = mixedFrames(9), broken = mixedFrames(9, 5);
    const Loaded good = loadScheduled(intact, 1, {});
    const Loaded one = loadScheduled(broken, 1, {});
    const Loaded many = loadScheduled(broken, 4);
    ASSERT_TRUE(good.ok);
    ASSERT_TRUE(many.ok);
    EXPECT_EQ(many, one);
    ASSERT_EQ(many.frames, good.frames);
    // Column by column: frame 5's cell is all zeros, every other byte as in the intact GIF.
    const int32_t x5 = good.frames[4 * 6], w5 = good.frames[4 * 6 + 1];
    const std::size_t rowBytes = good.strip.size() / static_cast<std::size_t>(good.stripHeight);
    for (std::size_t i = 0; i < good.strip.size(); ++i) {
        const auto x = static_cast<int32_t>(i % rowBytes);
        if (x >= x5 && x < x5 + w5)
            ASSERT_EQ(many.strip[i], 0) << "byte " << i;
        else
            ASSERT_EQ(many.strip[i], good.strip[i]) << "byte " << i;
    }
}

// One thread and the default agree on every file of the conformance suite (the gif fuzzer's
// seeds), and every prefix of a many-framed GIF (cut streams, cut descriptors).
TEST(ParallelFrames, AgreeWithOneThreadOnTheSuiteAndCutStreams) {
    std::vector<Bytes> inputs;
    for (const char* dir : {KAVRILO_GIF_SUITE_DIR}) {
        ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
        for (const auto& e : std::filesystem::directory_iterator(dir)) {
            if (!e.is_regular_file()) continue;
            std::ifstream in(e.path(), std::ios::binary);
            inputs.emplace_back(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
        }
    }
    ASSERT_GT(inputs.size(), 100u);
    const Bytes full = mixedFrames(6);
    for (std::size_t n = 0; n <= full.size(); n += 3)
        inputs.emplace_back(full.begin(), full.begin() + n);
    int loaded = 0;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const Loaded one = loadScheduled(inputs[i], 1, {});
        ASSERT_EQ(loadScheduled(inputs[i], 0), one) << "input " << i;
        ASSERT_EQ(loadScheduled(inputs[i], 0, {true, nullptr}, true),
                  loadScheduled(inputs[i], 1, {}, true))
            << "deferred, input " << i;
        loaded += one.ok;
    }
    EXPECT_GT(loaded, 100);
}

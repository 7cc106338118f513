#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "gifcontrol/decode/bytes_to_picture.h"
#include "platform/gif_decoder.h"
#include "tests/support/gif_builder.h"

namespace {

using anigif::BytesToPicture;
using giftest::Bytes;
using giftest::GifBuilder;
using giftest::makeFrame;

uint8_t pattern(int x, int y) {
    return static_cast<uint8_t>((x * 7 + y * 13 + 1) % 251);
}

Bytes singleImage(int w, int h, bool interlaced = false) {
    auto f = makeFrame(w, h, pattern);
    f.interlaced = interlaced;
    return GifBuilder().screen(w, h).globalTable(giftest::testPalette(256)).frame(f).build();
}

// The index-coding table: entry i = (0, 0, i).
std::vector<uint32_t> indexCoding() {
    std::vector<uint32_t> t(256);
    for (uint32_t i = 0; i < 256; ++i) t[i] = i;
    return t;
}

TEST(BytesToPicture, DecodesATenByTenImage) {
    const Bytes gif = singleImage(10, 10);
    auto pic = BytesToPicture(gif);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(pic->width(), 10);
    EXPECT_EQ(pic->height(), 10);
    EXPECT_EQ(pic->bytes(), gif);
    EXPECT_EQ(pic->colorTable(), giftest::testPalette(256));
    EXPECT_EQ(pic->transparentIndex(), -1);
    const auto idx = pic->indices();
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            EXPECT_EQ(idx[static_cast<size_t>(y * 10 + x)], pattern(x, y));
            EXPECT_EQ(pic->index(x, y), pattern(x, y));
        }
}

TEST(BytesToPicture, InterlacedImagesComeBackInRowOrder) {
    // Heights around the pass boundaries (1, 2, 3, 4, 5, 8, 9 ...).
    for (int h : {1, 2, 3, 4, 5, 7, 8, 9, 16, 17, 33}) {
        auto pic = BytesToPicture(singleImage(5, h, true));
        ASSERT_NE(pic, nullptr) << h;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < 5; ++x) ASSERT_EQ(pic->index(x, y), pattern(x, y)) << h << " " << y;
    }
}

TEST(BytesToPicture, NonImagesGiveNone) {
    EXPECT_EQ(BytesToPicture(nullptr, 10), nullptr);
    const Bytes gif = singleImage(4, 4);
    EXPECT_EQ(BytesToPicture(gif.data(), 0), nullptr);
    EXPECT_EQ(BytesToPicture(gif.data(), -5), nullptr);
    const std::string text = "This is plain text, not a picture at all.";
    EXPECT_EQ(BytesToPicture(reinterpret_cast<const uint8_t*>(text.data()),
                             static_cast<int64_t>(text.size())),
              nullptr);
    const Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13};
    EXPECT_EQ(BytesToPicture(png), nullptr);
    // A valid screen with no image, and a header alone.
    EXPECT_EQ(BytesToPicture(GifBuilder().screen(4, 4).build()), nullptr);
    EXPECT_EQ(BytesToPicture(gif.data(), 13), nullptr);
    // An extension that never ends.
    EXPECT_EQ(BytesToPicture(GifBuilder().screen(4, 4).raw({0x21, 0xFE, 10, 'a'}).build(false)),
              nullptr);
}

TEST(BytesToPicture, CutStreamKeepsWhatWasDecoded) {
    // Every prefix: none before the image descriptor is complete; afterwards a full-size picture
    // whose pixels match the image up to some point in stream order and are 0 after it.
    const int w = 12, h = 9;
    const Bytes gif = singleImage(w, h);
    const size_t descriptorEnd = 13 + 768 + 10 + 1;  // with the LZW code size
    int lastDecoded = -1;
    for (size_t len = 1; len <= gif.size(); ++len) {
        auto pic = BytesToPicture(gif.data(), static_cast<int64_t>(len));
        if (len < descriptorEnd) {
            EXPECT_EQ(pic, nullptr) << len;
            continue;
        }
        ASSERT_NE(pic, nullptr) << len;
        ASSERT_EQ(pic->width(), w);
        ASSERT_EQ(pic->height(), h);
        int decoded = 0;
        while (decoded < w * h &&
               pic->index(decoded % w, decoded / w) == pattern(decoded % w, decoded / w))
            ++decoded;
        for (int i = decoded; i < w * h; ++i) ASSERT_EQ(pic->index(i % w, i / w), 0) << len;
        EXPECT_GE(decoded, lastDecoded);
        lastDecoded = decoded;
    }
    EXPECT_EQ(lastDecoded, w * h);
    // Without its trailer and block terminator the image is still whole.
    EXPECT_EQ(BytesToPicture(gif.data(), static_cast<int64_t>(gif.size() - 2))->indices(),
              BytesToPicture(gif)->indices());
}

TEST(BytesToPicture, RenderWritesOwnIndicesIntoAnIndexCodedStrip) {
    auto f = makeFrame(6, 4, pattern);
    f.localTable = indexCoding();
    const Bytes gif = GifBuilder().screen(6, 4).frame(f).build();
    auto pic = BytesToPicture(gif);
    ASSERT_NE(pic, nullptr);
    auto strip = platform::Surface::create(8, 20, 5, indexCoding());
    ASSERT_NE(strip, nullptr);
    // Drawn upright at column 10, the usual way: origin (0, height), extent (width, -height).
    pic->render(*strip, 10, 0, 6, 4, 0, pic->height(), pic->width(), -pic->height());
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool inCell = x >= 10 && x < 16 && y < 4;
            ASSERT_EQ(strip->pixel(x, y), inCell ? pattern(x - 10, y) : 0u) << x << "," << y;
        }
    // Going through colours instead gives the same indices' colours.
    auto rgb = platform::Surface::create(24, 6, 4);
    pic->render(*rgb, 0, 0, 6, 4, 0, 4, 6, -4);
    EXPECT_EQ(rgb->colorAt(3, 2), uint32_t{pattern(3, 2)});
}

TEST(BytesToPicture, RenderMirrorsOnNegativeExtents) {
    auto pic = BytesToPicture(singleImage(5, 3));
    ASSERT_NE(pic, nullptr);
    auto s = platform::Surface::create(8, 5, 3);
    pic->render(*s, 0, 0, 5, 3, 0, 0, 5, 3);  // upside down
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(s->pixel(x, y), pattern(x, 2 - y));
    pic->render(*s, 0, 0, 5, 3, 5, 3, -5, -3);  // left-right mirrored
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(s->pixel(x, y), pattern(4 - x, y));
    pic->render(*s, 0, 0, 10, 6, 0, 3, 5, -3);  // doubled, cut at the surface
    EXPECT_EQ(s->pixel(4, 2), pattern(2, 1));
}

TEST(BytesToPicture, RenderLeavesTheTargetShowingThroughTransparentPixels) {
    // Index 0 is transparent; the picture is 4 x 3.
    auto f = makeFrame(4, 3, [](int x, int y) { return (x + y) % 3; });
    f.control = true;
    f.transparent = true;
    f.transIndex = 0;
    const auto palette = giftest::testPalette(4);
    auto pic = BytesToPicture(GifBuilder().screen(4, 3).globalTable(palette).frame(f).build());
    ASSERT_NE(pic, nullptr);
    ASSERT_EQ(pic->transparentIndex(), 0);
    constexpr uint32_t kBack = 0xABCDEF;
    auto expectDrawn = [&](const platform::Surface& s, int x, int y, int sx, int sy) {
        const uint8_t i = f.indices[static_cast<size_t>(sy * 4 + sx)];
        EXPECT_EQ(s.pixel(x, y), i == 0 ? kBack : palette[i]) << x << "," << y;
    };

    // Upright at (1, 1), partly off the target at (-2, -1), doubled and mirrored left-right.
    auto rgb = platform::Surface::create(24, 10, 8);
    rgb->fill(0, 0, 10, 8, kBack);
    pic->render(*rgb, 1, 1, 4, 3, 0, 3, 4, -3);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) {
            if (x >= 1 && x < 5 && y >= 1 && y < 4)
                expectDrawn(*rgb, x, y, x - 1, y - 1);
            else
                EXPECT_EQ(rgb->pixel(x, y), kBack) << x << "," << y;
        }
    rgb->fill(0, 0, 10, 8, kBack);
    pic->render(*rgb, -2, -1, 4, 3, 0, 3, 4, -3);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) expectDrawn(*rgb, x, y, x + 2, y + 1);
    EXPECT_EQ(rgb->pixel(2, 0), kBack);
    rgb->fill(0, 0, 10, 8, kBack);
    pic->render(*rgb, 0, 0, 8, 6, 4, 3, -4, -3);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) expectDrawn(*rgb, x, y, 3 - x / 2, y / 2);

    // An 8-bit target keeps its own index under transparent pixels.
    auto indexed = platform::Surface::create(8, 4, 3);
    indexed->fillBytes(9);
    pic->render(*indexed, 0, 0, 4, 3, 0, 3, 4, -3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            const uint8_t i = f.indices[static_cast<size_t>(y * 4 + x)];
            EXPECT_EQ(indexed->pixel(x, y), i == 0 ? 9u : i);
        }
}

TEST(BytesToPicture, PlacesTheImageOnItsScreenAndReportsItsExtras) {
    auto f = makeFrame(3, 2, [](int, int) { return 5; });
    f.left = 2;
    f.top = 1;
    f.control = true;
    f.transparent = true;
    f.transIndex = 5;
    f.localTable = giftest::testPalette(8);
    const Bytes gif =
        GifBuilder().signature("gif89A").screen(4, 2).globalTable({0xFF, 0xFF00}).frame(f).build();
    auto pic = BytesToPicture(gif);
    ASSERT_NE(pic, nullptr);     // any letter case of the signature
    EXPECT_EQ(pic->width(), 5);  // enlarged to hold the image
    EXPECT_EQ(pic->height(), 3);
    EXPECT_EQ(pic->index(2, 1), 5);
    EXPECT_EQ(pic->index(4, 2), 5);
    EXPECT_EQ(pic->index(1, 1), 0);
    EXPECT_EQ(pic->transparentIndex(), 5);
    EXPECT_EQ(pic->colorTable(), giftest::testPalette(8));
}

TEST(BytesToPicture, OversizedImagesFailCleanly) {
    // 65535 x 65535 needs 4 GiB: beyond the surface budget, so no picture and no allocation.
    Bytes gif = {'G', 'I', 'F', '8',  '9',  'a',  0xFF, 0xFF, 0xFF, 0xFF, 0,    0,    0, 0x2C, 0,
                 0,   0,   0,   0xFF, 0xFF, 0xFF, 0xFF, 0,    2,    2,    0x4C, 0x01, 0, 0x3B};
    EXPECT_EQ(BytesToPicture(gif), nullptr);
}

TEST(BytesToPicture, HostileBytesNeverCrash) {
    // Random damage to valid streams; run under the sanitizers this checks every access.
    std::mt19937 rng(12345);
    std::vector<Bytes> seeds = {singleImage(16, 16), singleImage(7, 19, true)};
    auto small = makeFrame(8, 8, [](int x, int y) { return (x ^ y) & 3; });
    small.minCodeSize = 2;
    seeds.push_back(
        GifBuilder().screen(8, 8).globalTable(giftest::testPalette(4)).frame(small).build());
    int pictures = 0;
    for (int round = 0; round < 2000; ++round) {
        Bytes b = seeds[static_cast<size_t>(round) % seeds.size()];
        const int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits; ++e) {
            const size_t at = rng() % b.size();
            switch (rng() % 3) {
                case 0:
                    b[at] = static_cast<uint8_t>(rng());
                    break;
                case 1:
                    b.resize(at + 1);
                    break;
                default:
                    b[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
                    break;
            }
        }
        auto pic = BytesToPicture(b);
        if (pic) {
            ++pictures;
            ASSERT_GT(pic->width(), 0);
            ASSERT_EQ(pic->indices().size(), size_t(pic->width()) * size_t(pic->height()));
        }
    }
    EXPECT_GT(pictures, 0);
}

TEST(GifDecoder, RefusalAndStatus) {
    const Bytes gif = singleImage(4, 4);
    int calls = 0;
    auto refuse = [&](const platform::GifImageInfo& info) {
        ++calls;
        EXPECT_EQ(info.width, 4);
        return platform::GifLineTarget{};
    };
    EXPECT_EQ(platform::decodeFirstGifImage(gif, refuse), platform::GifDecodeStatus::Refused);
    EXPECT_EQ(calls, 1);
    auto throwing = [](const platform::GifImageInfo&) -> platform::GifLineTarget {
        throw std::runtime_error("no");
    };
    EXPECT_EQ(platform::decodeFirstGifImage(gif, throwing), platform::GifDecodeStatus::Refused);
    std::vector<uint8_t> buf(16);
    auto into = [&](const platform::GifImageInfo&) {
        return platform::GifLineTarget{buf.data(), 4};
    };
    EXPECT_EQ(platform::decodeFirstGifImage(gif, into), platform::GifDecodeStatus::Complete);
    EXPECT_EQ(buf[5], pattern(1, 1));
    EXPECT_EQ(platform::decodeFirstGifImage(std::span(gif).first(gif.size() - 10), into),
              platform::GifDecodeStatus::Partial);
    EXPECT_EQ(platform::decodeFirstGifImage(std::span(gif).first(5), into),
              platform::GifDecodeStatus::NotGif);
}

}  // namespace

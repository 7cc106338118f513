// The GIF writer: its bytes are fixed exactly, and whatever it writes must decode (through
// giflib, an independent decoder) to the same indices and colours.
#include "gifcontrol/persist/gif_writer.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <utility>

#include "tests/support/gif_builder.h"

namespace {

using anigif::encodeFrameGif;
using anigif::FrameGifSource;
using Bytes = std::vector<uint8_t>;

// An 8-bit strip with bottom-up rows padded to 4 bytes, addressed from the top like the frames.
struct Strip {
    int width, height, stride;
    Bytes bits;

    Strip(int w, int h, uint8_t fill = 0)
        : width(w), height(h), stride((w + 3) & ~3), bits(static_cast<size_t>(stride) * h, fill) {}

    uint8_t& at(int x, int yFromTop) {
        return bits[static_cast<size_t>(height - 1 - yFromTop) * stride + x];
    }

    FrameGifSource source(int stripX, int w, int h, const std::vector<uint32_t>& colours) const {
        FrameGifSource s;
        s.stripBits = bits;
        s.stripWidth = width;
        s.stripHeight = height;
        s.stripStride = stride;
        s.stripX = stripX;
        s.width = w;
        s.height = h;
        s.colours = colours;
        return s;
    }
};

// A strip holding exactly one frame of w x h filled by f(x, y).
Strip frameStrip(int w, int h, const std::function<uint8_t(int, int)>& f) {
    Strip s(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.at(x, y) = f(x, y);
    return s;
}

Bytes slice(const Bytes& b, size_t from, size_t n) {
    if (from + n > b.size()) return {};
    return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(from + n));
}

// The LZW data of a written file: sub-blocks joined, starting after the minimum code size.
// Also checks that the sub-blocks run exactly to the terminator and trailer.
Bytes imageData(const Bytes& file, size_t codeSizeAt) {
    Bytes data;
    size_t pos = codeSizeAt + 1;
    while (pos < file.size() && file[pos] != 0) {
        const size_t n = file[pos];
        EXPECT_LE(pos + 1 + n, file.size());
        data.insert(data.end(), file.begin() + static_cast<long>(pos + 1),
                    file.begin() + static_cast<long>(std::min(file.size(), pos + 1 + n)));
        pos += 1 + n;
    }
    EXPECT_EQ(pos + 2, file.size()) << "terminator and trailer end the file";
    if (pos + 1 < file.size()) {
        EXPECT_EQ(file[pos + 1], 0x3B);
    }
    return data;
}

// Reads codes least significant bit first.
class CodeReader {
  public:
    explicit CodeReader(Bytes data) : data_(std::move(data)) {}
    int read(int width) {
        int code = 0;
        for (int i = 0; i < width; ++i, ++bit_) {
            if (bit_ / 8 >= data_.size()) return -1;
            code |= ((data_[bit_ / 8] >> (bit_ % 8)) & 1) << i;
        }
        return code;
    }
    size_t bitsLeft() const { return data_.size() * 8 - bit_; }

  private:
    Bytes data_;
    size_t bit_ = 0;
};

// What giflib makes of a written file.
struct Decoded {
    int screenW = -1, screenH = -1;
    int width = -1, height = -1;
    std::vector<uint32_t> colours;  // the global table, 0x00RRGGBB
    bool hasControl = false;
    bool transparent = false;
    int transIndex = -1;
    int delayCs = -1, disposal = -1;
    Bytes indices;
    int images = 0;
};

struct MemoryInput {
    const Bytes* bytes;
    size_t pos = 0;
};

int readInput(GifFileType* gif, GifByteType* buf, int n) {
    auto* in = static_cast<MemoryInput*>(gif->UserData);
    const size_t take = std::min<size_t>(in->bytes->size() - in->pos, static_cast<size_t>(n));
    std::memcpy(buf, in->bytes->data() + in->pos, take);
    in->pos += take;
    return static_cast<int>(take);
}

bool decode(const Bytes& file, Decoded& d) {
    MemoryInput in{&file};
    int err = 0;
    GifFileType* gif = DGifOpen(&in, readInput, &err);
    if (!gif) return false;
    bool ok = true;
    d.screenW = gif->SWidth;
    d.screenH = gif->SHeight;
    if (gif->SColorMap)
        for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
            const GifColorType c = gif->SColorMap->Colors[i];
            d.colours.push_back((uint32_t{c.Red} << 16) | (uint32_t{c.Green} << 8) | c.Blue);
        }
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    while (ok && DGifGetRecordType(gif, &type) == GIF_OK && type != TERMINATE_RECORD_TYPE) {
        if (type == IMAGE_DESC_RECORD_TYPE) {
            ok = DGifGetImageDesc(gif) == GIF_OK;
            if (!ok) break;
            ++d.images;
            d.width = gif->Image.Width;
            d.height = gif->Image.Height;
            d.indices.assign(static_cast<size_t>(d.width) * d.height, 0);
            for (int y = 0; ok && y < d.height; ++y)
                ok = DGifGetLine(gif, d.indices.data() + static_cast<size_t>(y) * d.width,
                                 d.width) == GIF_OK;
        } else if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            ok = DGifGetExtension(gif, &code, &ext) == GIF_OK;
            if (ok && code == GRAPHICS_EXT_FUNC_CODE && ext) {
                GraphicsControlBlock gcb;
                DGifExtensionToGCB(ext[0], ext + 1, &gcb);
                d.hasControl = true;
                d.transparent = gcb.TransparentColor != NO_TRANSPARENT_COLOR;
                d.transIndex = gcb.TransparentColor;
                d.delayCs = gcb.DelayTime;
                d.disposal = gcb.DisposalMode;
            }
            while (ok && ext) ok = DGifGetExtensionNext(gif, &ext) == GIF_OK;
        } else {
            ok = false;
        }
    }
    ok = ok && type == TERMINATE_RECORD_TYPE;
    DGifCloseFile(gif, &err);
    return ok;
}

// --- Layout -------------------------------------------------------------------------------

TEST(GifWriterLayout, SinglePixelFileIsExact) {
    const auto colours = giftest::testPalette(2);
    const Strip strip = frameStrip(1, 1, [](int, int) { return 0; });
    const Bytes file = encodeFrameGif(strip.source(0, 1, 1, colours));
    ASSERT_EQ(file.size(), 799u);
    EXPECT_EQ(slice(file, 0, 13), (Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x87, 0, 0}));
    EXPECT_EQ(slice(file, 781, 11), (Bytes{0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0x00, 8}));
    // Codes 256, 0, 257 at 9 bits, in one sub-block, then terminator and trailer.
    EXPECT_EQ(slice(file, 792, 7), (Bytes{0x04, 0x00, 0x01, 0x04, 0x04, 0x00, 0x3B}));
}

TEST(GifWriterLayout, RepeatedPixelEmitsItsCodeTwice) {
    const auto colours = giftest::testPalette(2);
    const Strip strip = frameStrip(2, 1, [](int, int) { return 1; });
    const Bytes file = encodeFrameGif(strip.source(0, 2, 1, colours));
    // 256, 1, 1, 257: the string (1, 1) is entered but never used.
    EXPECT_EQ(slice(file, 6, 4), (Bytes{2, 0, 1, 0}));
    EXPECT_EQ(imageData(file, 791), (Bytes{0x00, 0x03, 0x04, 0x08, 0x08}));
    EXPECT_EQ(file.size(), 800u);
}

TEST(GifWriterLayout, ColourTableAlwaysHas256EntriesInRedGreenBlueOrder) {
    const std::vector<uint32_t> four = {0x00112233, 0x00FF0000, 0x0000FF00, 0x000000FF};
    const Strip strip = frameStrip(3, 2, [](int x, int) { return x; });
    const Bytes file = encodeFrameGif(strip.source(0, 3, 2, four));
    ASSERT_GT(file.size(), 781u);
    EXPECT_EQ(file[10], 0x87);
    EXPECT_EQ(slice(file, 13, 12), (Bytes{0x11, 0x22, 0x33, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF}));
    EXPECT_EQ(slice(file, 25, 768 - 12), Bytes(768 - 12, 0)) << "entries 4..255 are black";
    EXPECT_EQ(file[781], 0x2C);

    // A table longer than 256 entries is cut at 256; nothing spills past offset 781.
    std::vector<uint32_t> many(300, 0x00ABCDEF);
    const Bytes big = encodeFrameGif(strip.source(0, 3, 2, many));
    EXPECT_EQ(slice(big, 13 + 255 * 3, 3), (Bytes{0xAB, 0xCD, 0xEF}));
    EXPECT_EQ(big[781], 0x2C);
}

TEST(GifWriterLayout, TransparencyAddsControlExtensionAt781WithoutDelayOrDisposal) {
    const auto colours = giftest::testPalette(16);
    const Strip strip = frameStrip(5, 4, [](int x, int y) { return (x + y) % 16; });
    FrameGifSource src = strip.source(0, 5, 4, colours);

    const Bytes opaque = encodeFrameGif(src);
    EXPECT_EQ(slice(opaque, 781, 11), (Bytes{0x2C, 0, 0, 0, 0, 5, 0, 4, 0, 0, 8}));

    src.transparent = true;
    src.transIndex = 0xC7;
    const Bytes transparent = encodeFrameGif(src);
    EXPECT_EQ(slice(transparent, 781, 8), (Bytes{0x21, 0xF9, 0x04, 0x01, 0, 0, 0xC7, 0}));
    EXPECT_EQ(slice(transparent, 789, 11), (Bytes{0x2C, 0, 0, 0, 0, 5, 0, 4, 0, 0, 8}));
    EXPECT_EQ(transparent.size(), opaque.size() + 8);
    EXPECT_EQ(imageData(transparent, 799), imageData(opaque, 791));

    Decoded d;
    ASSERT_TRUE(decode(transparent, d));
    EXPECT_TRUE(d.transparent);
    EXPECT_EQ(d.transIndex, 0xC7);
    EXPECT_EQ(d.delayCs, 0);
    EXPECT_EQ(d.disposal, 0);
}

// A row of n pixels with no repeated pair gives n + 2 codes of 9 bits.
Bytes distinctRowFile(int n) {
    const auto colours = giftest::testPalette(256);
    const Strip strip = frameStrip(n, 1, [](int x, int) { return x % 256; });
    return encodeFrameGif(strip.source(0, n, 1, colours));
}

TEST(GifWriterLayout, SubBlocksHold254BytesAndTheLastOneIsShort) {
    // 225 codes x 9 bits = 2025 bits: exactly 254 bytes, one full sub-block and no short one.
    const Bytes exact = distinctRowFile(223);
    ASSERT_EQ(exact.size(), 792u + 255 + 2);
    EXPECT_EQ(exact[792], 0xFE);
    EXPECT_EQ(exact[792 + 255], 0x00);
    EXPECT_EQ(exact[792 + 256], 0x3B);

    // One byte more spills into a second sub-block of 1 byte.
    const Bytes over = distinctRowFile(224);
    ASSERT_EQ(over.size(), 792u + 255 + 2 + 2);
    EXPECT_EQ(over[792], 0xFE);
    EXPECT_EQ(over[792 + 255], 0x01);
    EXPECT_EQ(over[792 + 258], 0x3B);

    // One code fewer (2016 bits) stays in a single short sub-block of 252 bytes.
    const Bytes under = distinctRowFile(222);
    ASSERT_EQ(under.size(), 792u + 253 + 2);
    EXPECT_EQ(under[792], 252);

    for (const Bytes* f : {&exact, &over, &under}) {
        Decoded d;
        ASSERT_TRUE(decode(*f, d));
        for (int x = 0; x < d.width; ++x) ASSERT_EQ(d.indices[x], x % 256);
    }
}

TEST(GifWriterLayout, EmptyFrameHasOnlyClearAndEndCodes) {
    const auto colours = giftest::testPalette(2);
    FrameGifSource src;
    src.colours = colours;
    src.width = 0;
    src.height = 3;
    const Bytes file = encodeFrameGif(src);
    ASSERT_EQ(file.size(), 798u);
    EXPECT_EQ(slice(file, 781, 17),
              (Bytes{0x2C, 0, 0, 0, 0, 0, 0, 3, 0, 0, 8, 0x03, 0x00, 0x03, 0x02, 0x00, 0x3B}));
}

// --- Reading the strip ----------------------------------------------------------------------

TEST(GifWriterStrip, ShortFrameIsReadFromTheTopRowsAtItsColumn) {
    // Two cells side by side; the second frame (at column 4) is 3 x 2 in a strip 5 rows tall.
    Strip strip(9, 5, 0xEE);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 4; ++x) strip.at(x, y) = 0xAA;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) strip.at(4 + x, y) = static_cast<uint8_t>(10 * y + x + 1);
    const auto colours = giftest::testPalette(256);
    const Bytes file = encodeFrameGif(strip.source(4, 3, 2, colours));

    CodeReader codes(imageData(file, 791));
    EXPECT_EQ(codes.read(9), 256);
    EXPECT_EQ(codes.read(9), 1) << "the first code is the frame's own top-left pixel";

    Decoded d;
    ASSERT_TRUE(decode(file, d));
    ASSERT_EQ(d.width, 3);
    ASSERT_EQ(d.height, 2);
    EXPECT_EQ(d.indices, (Bytes{1, 2, 3, 11, 12, 13}));
}

TEST(GifWriterStrip, InconsistentSourcesGiveNoBytes) {
    const auto colours = giftest::testPalette(4);
    const Strip strip(10, 6);
    const auto bad = [&](const std::function<void(FrameGifSource&)>& change) {
        FrameGifSource s = strip.source(2, 8, 6, colours);
        EXPECT_FALSE(encodeFrameGif(s).empty()) << "the unchanged source is fine";
        change(s);
        return encodeFrameGif(s).empty();
    };
    EXPECT_TRUE(bad([](FrameGifSource& s) { s.stripX = 3; })) << "cell past the strip's right";
    EXPECT_TRUE(bad([](FrameGifSource& s) { s.stripX = -1; }));
    EXPECT_TRUE(bad([](FrameGifSource& s) { s.height = 7; })) << "taller than the strip";
    EXPECT_TRUE(bad([](FrameGifSource& s) { s.width = -1; }));
    EXPECT_TRUE(bad([](FrameGifSource& s) { s.stripStride = 9; })) << "rows shorter than width";
    EXPECT_TRUE(
        bad([](FrameGifSource& s) { s.stripBits = s.stripBits.first(s.stripBits.size() - 1); }));
    EXPECT_TRUE(bad([](FrameGifSource& s) {
        s.stripHeight = 7;
        s.height = 7;
    })) << "more rows claimed than bytes given";
    EXPECT_TRUE(bad([](FrameGifSource& s) { s.stripX = 0x7FFFFFFF; })) << "no overflow";

    // Sides above 16 bits cannot be written.
    Strip wide(65536, 1);
    EXPECT_TRUE(encodeFrameGif(wide.source(0, 65536, 1, colours)).empty());
    EXPECT_FALSE(encodeFrameGif(wide.source(1, 65535, 1, colours)).empty());
}

// --- Code stream ----------------------------------------------------------------------------

// Symbols whose adjacent pairs never repeat (greedy prefer-largest de Bruijn construction), so
// that every pixel after the first misses the string table and emits one code.
Bytes pairwiseDistinct(size_t n) {
    Bytes seq{0};
    std::set<std::pair<int, int>> used;
    while (seq.size() < n) {
        const int last = seq.back();
        int next = 255;
        while (next >= 0 && used.count({last, next})) --next;
        if (next < 0) break;
        used.insert({last, next});
        seq.push_back(static_cast<uint8_t>(next));
    }
    return seq;
}

TEST(GifWriterCodes, FullTableEmitsClearAt12BitsAndRestartsAt9) {
    constexpr int kW = 100, kH = 50;
    const Bytes pixels = pairwiseDistinct(kW * kH);
    ASSERT_EQ(pixels.size(), size_t{kW * kH});
    const Strip strip = frameStrip(kW, kH, [&](int x, int y) { return pixels[y * kW + x]; });
    const auto colours = giftest::testPalette(256);
    const Bytes file = encodeFrameGif(strip.source(0, kW, kH, colours));

    // The code written in the step that assigns entry e has 9 bits up to entry 512, 10 up to
    // 1024, 11 up to 2048 and 12 up to 4096; assigning 4096 is followed by a clear code.
    const auto widthFor = [](int entry) {
        return entry <= 512 ? 9 : entry <= 1024 ? 10 : entry <= 2048 ? 11 : 12;
    };
    CodeReader codes(imageData(file, 791));
    ASSERT_EQ(codes.read(9), 256);
    int entry = 258;
    int clears = 0;
    for (size_t i = 1; i < pixels.size(); ++i) {
        const int width = widthFor(entry);
        ASSERT_EQ(codes.read(width), pixels[i - 1]) << "pixel " << i << " entry " << entry;
        if (entry == 4096) {
            ASSERT_EQ(codes.read(12), 256) << "clear after the 4096th entry";
            ++clears;
            entry = 258;
        } else {
            ++entry;
        }
    }
    EXPECT_EQ(clears, 1);
    EXPECT_EQ(codes.read(widthFor(entry)), pixels.back());
    EXPECT_EQ(codes.read(widthFor(entry)), 257);
    EXPECT_LT(codes.bitsLeft(), 8u);

    Decoded d;
    ASSERT_TRUE(decode(file, d));
    EXPECT_EQ(d.indices, pixels);
}

TEST(GifWriterCodes, ProbedSlotHoldingZeroEndsTheSearch) {
    // (16, 1) takes slot 0, so the string (0, 0), whose key is 0, lands at slot 5002. (165,
    // 150) takes slot 2501; (5, 156) also hashes to 2501 and probes on to 5002, where the 0
    // ends the search: (5, 156) replaces (0, 0), and the second (0, 0) is not found again.
    const Bytes pixels = {16, 1, 0, 0, 165, 150, 5, 156, 0, 0};
    const int n = static_cast<int>(pixels.size());
    const Strip strip = frameStrip(n, 1, [&](int x, int) { return pixels[x]; });
    const Bytes file = encodeFrameGif(strip.source(0, n, 1, giftest::testPalette(256)));
    CodeReader codes(imageData(file, 791));
    std::vector<int> read;
    for (int i = 0; i < 12; ++i) read.push_back(codes.read(9));
    EXPECT_EQ(read, (std::vector<int>{256, 16, 1, 0, 0, 165, 150, 5, 156, 0, 0, 257}));

    Decoded d;
    ASSERT_TRUE(decode(file, d));
    EXPECT_EQ(d.indices, pixels);
}

// --- Round trips through giflib -------------------------------------------------------------

struct RoundTripCase {
    const char* name;
    int width, height;
    std::function<uint8_t(int, int)> pixel;
};

TEST(GifWriterRoundTrip, LargeAndNoisyFramesDecodeToTheSameIndicesAndColours) {
    std::mt19937 rng(7);
    Bytes noise(1000 * 700);
    for (auto& b : noise) b = static_cast<uint8_t>(rng());
    Bytes lowNoise(640 * 480);
    for (auto& b : lowNoise) b = static_cast<uint8_t>(rng() % 5);

    const RoundTripCase cases[] = {
        {"noise256", 1000, 700, [&](int x, int y) { return noise[y * 1000 + x]; }},
        {"noise5", 640, 480, [&](int x, int y) { return lowNoise[y * 640 + x]; }},
        {"flat", 1200, 900, [](int, int) { return 42; }},
        {"zeros", 300, 300, [](int, int) { return 0; }},
        {"bands", 777, 333, [](int x, int y) { return ((x / 50) ^ (y / 20)) & 0xFF; }},
        {"gradient", 512, 257, [](int x, int y) { return (x + 3 * y) & 0xFF; }},
        {"column", 1, 5000, [](int, int y) { return y % 7; }},
    };
    const auto colours = giftest::testPalette(256);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Strip strip = frameStrip(c.width, c.height, c.pixel);
        const Bytes file = encodeFrameGif(strip.source(0, c.width, c.height, colours));
        Decoded d;
        ASSERT_TRUE(decode(file, d));
        EXPECT_EQ(d.images, 1);
        EXPECT_EQ(d.screenW, c.width);
        EXPECT_EQ(d.screenH, c.height);
        ASSERT_EQ(d.width, c.width);
        ASSERT_EQ(d.height, c.height);
        EXPECT_EQ(d.colours, colours);
        EXPECT_FALSE(d.hasControl);
        Bytes expected;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) expected.push_back(c.pixel(x, y));
        EXPECT_TRUE(d.indices == expected);
    }
}

TEST(GifWriterRoundTrip, ManySmallRandomFramesAtRandomCells) {
    // Sizes, cell positions and runs of repeated indices vary, so that sub-block ends, code
    // width changes and table clears fall at ever different places.
    std::mt19937 rng(2024);
    const auto colours = giftest::testPalette(256);
    for (int n = 0; n < 300; ++n) {
        const int w = 1 + static_cast<int>(rng() % 90), h = 1 + static_cast<int>(rng() % 60);
        const int x0 = static_cast<int>(rng() % 7), spread = 1 << (rng() % 9);
        Strip strip(w + x0 + static_cast<int>(rng() % 5), h + static_cast<int>(rng() % 4));
        uint8_t value = 0;
        for (int y = 0; y < strip.height; ++y)
            for (int x = 0; x < strip.width; ++x) {
                if (rng() % 4 == 0) value = static_cast<uint8_t>(rng() % spread);
                strip.at(x, y) = value;
            }
        Decoded d;
        ASSERT_TRUE(decode(encodeFrameGif(strip.source(x0, w, h, colours)), d)) << n;
        ASSERT_EQ(d.indices.size(), static_cast<size_t>(w * h)) << n;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(d.indices[y * w + x], strip.at(x0 + x, y)) << n << ": " << x << "," << y;
    }
}

TEST(GifWriterRoundTrip, EveryCellOfAStripComesBackWithItsOwnTable) {
    // Three frames of different sizes side by side, each with its own table and transparency.
    std::mt19937 rng(11);
    const int widths[] = {37, 120, 64}, heights[] = {90, 41, 64};
    Strip strip(37 + 120 + 64, 90);
    for (auto& b : strip.bits) b = static_cast<uint8_t>(rng());
    int stripX = 0;
    for (int f = 0; f < 3; ++f) {
        SCOPED_TRACE(f);
        const int colourCount = 2 << (f * 3);  // 2, 16, 128
        std::vector<uint32_t> colours = giftest::testPalette(colourCount);
        FrameGifSource src = strip.source(stripX, widths[f], heights[f], colours);
        src.transparent = f != 1;
        src.transIndex = static_cast<uint8_t>(f);
        Decoded d;
        ASSERT_TRUE(decode(encodeFrameGif(src), d));
        ASSERT_EQ(d.colours.size(), 256u);
        for (int k = 0; k < 256; ++k)
            ASSERT_EQ(d.colours[k], k < colourCount ? colours[k] : 0u) << k;
        EXPECT_EQ(d.transparent, f != 1);
        if (f != 1) {
            EXPECT_EQ(d.transIndex, f);
        }
        ASSERT_EQ(d.indices.size(), size_t(widths[f] * heights[f]));
        for (int y = 0; y < heights[f]; ++y)
            for (int x = 0; x < widths[f]; ++x)
                ASSERT_EQ(d.indices[y * widths[f] + x], strip.at(stripX + x, y)) << x << "," << y;
        stripX += widths[f];
    }
}

}  // namespace

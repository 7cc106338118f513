// The picture decoder reading a stream given in pieces: wherever the pieces are cut, the decoder
// must see exactly the contiguous stream, and zero runs stand in for missing bytes.
#include "platform/gif_decoder.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/gif_builder.h"

namespace {

using giftest::Bytes;
using platform::GifDecodeStatus;
using platform::GifStreamPiece;

struct Decoded {
    GifDecodeStatus status = GifDecodeStatus::NotGif;
    int32_t width = 0, height = 0;
    std::vector<uint32_t> colors;
    std::vector<uint8_t> pixels;

    bool operator==(const Decoded&) const = default;
};

template <typename Stream>
Decoded decode(const Stream& stream) {
    Decoded d;
    d.status = platform::decodeFirstGifImage(stream, [&](const platform::GifImageInfo& info) {
        d.width = info.width;
        d.height = info.height;
        d.colors = info.colors;
        d.pixels.assign(static_cast<size_t>(info.width) * info.height, 0);
        return platform::GifLineTarget{d.pixels.data(), info.width};
    });
    return d;
}

Decoded decodePieces(const std::vector<GifStreamPiece>& pieces) {
    return decode(std::span<const GifStreamPiece>(pieces));
}

Bytes sampleGif(bool interlaced, bool localTable) {
    giftest::GifFrame f = giftest::makeFrame(
        7, 5, [](int x, int y) { return static_cast<uint8_t>((x * 5 + y * 3) % 16); });
    f.interlaced = interlaced;
    f.control = true;
    f.transparent = true;
    f.transIndex = 3;
    f.minCodeSize = 4;
    if (localTable) f.localTable = giftest::testPalette(16);
    return giftest::GifBuilder()
        .signature("gif89a")
        .screen(7, 5)
        .globalTable(giftest::testPalette(16))
        .comment("a comment before the image")
        .frame(f)
        .build();
}

TEST(GifDecoderPieces, EverySplitOfTheStreamDecodesLikeTheWhole) {
    for (const bool interlaced : {false, true}) {
        for (const bool local : {false, true}) {
            const Bytes gif = sampleGif(interlaced, local);
            const Decoded whole = decode(std::span<const uint8_t>(gif));
            ASSERT_EQ(whole.status, GifDecodeStatus::Complete);
            ASSERT_EQ(whole.width, 7);
            for (size_t cut = 0; cut <= gif.size(); ++cut) {
                // Two pieces, with empty pieces around the cut.
                EXPECT_EQ(decodePieces({{gif.data(), cut},
                                        {gif.data() + cut, 0},
                                        {gif.data() + cut, gif.size() - cut}}),
                          whole)
                    << "interlaced " << interlaced << " local " << local << " cut " << cut;
                // Three pieces, the middle one a single byte.
                if (cut + 1 < gif.size()) {
                    EXPECT_EQ(decodePieces({{gif.data(), cut},
                                            {gif.data() + cut, 1},
                                            {gif.data() + cut + 1, gif.size() - cut - 1}}),
                              whole)
                        << "cut " << cut;
                }
            }
        }
    }
}

// Zero runs before the image data read as zero bytes; inside them they are bytes the stream
// lacks, so the data end where the run begins, as if the stream were cut there.
TEST(GifDecoderPieces, ZeroRunsReadAsZeroBytesOrEndTheDataAndPiecesNeverOverread) {
    const Bytes gif = sampleGif(false, true);
    for (size_t cut = 0; cut <= gif.size(); cut += 3) {
        for (const size_t zeros : {size_t{0}, size_t{1}, size_t{40}}) {
            // The stream cut short and padded with zeros, then a trailer.
            Bytes padded(gif.begin(), gif.begin() + static_cast<std::ptrdiff_t>(cut));
            padded.insert(padded.end(), zeros, 0);
            padded.push_back(0x3B);
            const Decoded cutOnly = decode(std::span(gif).first(cut));
            const bool inData = cutOnly.status == GifDecodeStatus::Partial ||
                                cutOnly.status == GifDecodeStatus::Complete;
            const Decoded expected = inData ? cutOnly : decode(std::span<const uint8_t>(padded));

            // The same from pieces; the first piece is a heap copy of exactly `cut` bytes, so
            // that a read past its end shows under the address sanitizer.
            const Bytes head(gif.begin(), gif.begin() + static_cast<std::ptrdiff_t>(cut));
            const uint8_t trailer = 0x3B;
            EXPECT_EQ(decodePieces({{head.data(), head.size()}, {nullptr, zeros}, {&trailer, 1}}),
                      expected)
                << "cut " << cut << " zeros " << zeros;
        }
    }
}

TEST(GifDecoderPieces, NoPiecesOrOnlyZerosAreNoGif) {
    EXPECT_EQ(decodePieces({}).status, GifDecodeStatus::NotGif);
    EXPECT_EQ(decodePieces({{nullptr, 100}}).status, GifDecodeStatus::NotGif);
}

}  // namespace

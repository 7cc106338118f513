// The test GIF builder must produce streams that giflib reads back exactly; every decoder test
// relies on that.
#include "tests/support/gif_builder.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Reader {
    const giftest::Bytes* bytes;
    size_t pos = 0;
};

int readFn(GifFileType* gif, GifByteType* buf, int n) {
    auto* r = static_cast<Reader*>(gif->UserData);
    const size_t left = r->bytes->size() - r->pos;
    const size_t take = std::min<size_t>(left, static_cast<size_t>(n));
    std::memcpy(buf, r->bytes->data() + r->pos, take);
    r->pos += take;
    return static_cast<int>(take);
}

TEST(GifBuilder, GiflibReadsBackEveryFrameExactly) {
    for (int minCode : {2, 4, 8}) {
        const int colours = 1 << minCode;
        auto f1 =
            giftest::makeFrame(37, 23, [&](int x, int y) { return (x * 7 + y * 3) % colours; });
        auto f2 = giftest::makeFrame(9, 30, [&](int x, int y) { return (x + y) % colours; });
        f1.minCodeSize = f2.minCodeSize = minCode;
        f2.interlaced = true;
        f2.localTable = giftest::testPalette(colours);
        f2.left = 3;
        const auto bytes = giftest::GifBuilder()
                               .screen(40, 40)
                               .globalTable(giftest::testPalette(colours))
                               .loop(0)
                               .frame(f1)
                               .frame(f2)
                               .build();
        Reader r{&bytes};
        int err = 0;
        GifFileType* gif = DGifOpen(&r, readFn, &err);
        ASSERT_NE(gif, nullptr);
        ASSERT_EQ(DGifSlurp(gif), GIF_OK) << minCode;
        ASSERT_EQ(gif->ImageCount, 2);
        const auto& a = gif->SavedImages[0];
        EXPECT_EQ(0, std::memcmp(a.RasterBits, f1.indices.data(), f1.indices.size()));
        const auto& b = gif->SavedImages[1];
        ASSERT_TRUE(b.ImageDesc.Interlace);
        // DGifSlurp puts interlaced rows back in row order itself.
        EXPECT_EQ(0, std::memcmp(b.RasterBits, f2.indices.data(), f2.indices.size()));
        DGifCloseFile(gif, &err);
    }
}

}  // namespace

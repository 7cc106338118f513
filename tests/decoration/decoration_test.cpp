// The stored decoration of the main window: its exact stream layout, that a standard decoder
// reads all of it, and that the generator in tools/decoration reproduces it.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes decoration() {
    return readAll(std::filesystem::path(KAVRILO_SOURCE_DIR) / "practice/decoration.gif");
}

int le16(const Bytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8);
}

TEST(Decoration, StreamLayoutIsExact) {
    const Bytes g = decoration();
    ASSERT_EQ(g.size(), 12990u);
    EXPECT_EQ(std::string(g.begin(), g.begin() + 6), "GIF89a");
    EXPECT_EQ(le16(g, 6), 200);
    EXPECT_EQ(le16(g, 8), 200);
    EXPECT_EQ(g[10], 0xE7);
    EXPECT_EQ(g[11], 0);  // background index
    EXPECT_EQ(g[12], 0);  // aspect
    size_t at = 13 + 768;
    const Bytes loop = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S',  'C',  'A', 'P',
                        'E',  '2',  '.',  '0', 3,   1,   0x75, 0x70, 0};
    ASSERT_TRUE(std::equal(loop.begin(), loop.end(), g.begin() + static_cast<long>(at)));
    at += loop.size();

    for (int frame = 1; frame <= 6; ++frame) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        const uint8_t disposal = frame < 6 ? 2 : 1;
        const Bytes control = {0x21, 0xF9, 4,   static_cast<uint8_t>(disposal << 2 | 1),
                               10,   0,    255, 0};
        ASSERT_TRUE(std::equal(control.begin(), control.end(), g.begin() + static_cast<long>(at)));
        at += control.size();
        const Bytes descriptor = {0x2C, 0, 0, 0, 0, 200, 0, 200, 0, 0x00, 8};
        ASSERT_TRUE(
            std::equal(descriptor.begin(), descriptor.end(), g.begin() + static_cast<long>(at)));
        at += descriptor.size();
        while (g.at(at) != 0) at += g[at] + 1u;  // image data sub-blocks
        ++at;
    }
    // Only a comment pads the rest; then the trailer as byte 12,989 and one zero byte.
    ASSERT_EQ(g[at], 0x21);
    ASSERT_EQ(g[at + 1], 0xFE);
    at += 2;
    while (g.at(at) != 0) at += g[at] + 1u;
    EXPECT_EQ(at + 1, 12988u);
    EXPECT_EQ(g[12988], 0x3B);
    EXPECT_EQ(g[12989], 0x00);
}

struct Reader {
    const Bytes* data;
    size_t at = 0;
};

int readBytes(GifFileType* gif, GifByteType* out, int n) {
    auto* r = static_cast<Reader*>(gif->UserData);
    const size_t take = std::min<size_t>(static_cast<size_t>(n), r->data->size() - r->at);
    std::memcpy(out, r->data->data() + r->at, take);
    r->at += take;
    return static_cast<int>(take);
}

TEST(Decoration, DecodesToSixFramesWithAFigureOnATransparentGround) {
    const Bytes g = decoration();
    Reader reader{&g};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, readBytes, &error);
    ASSERT_NE(gif, nullptr) << GifErrorString(error);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK) << GifErrorString(gif->Error);
    ASSERT_EQ(gif->ImageCount, 6);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE("frame " + std::to_string(i + 1));
        const SavedImage& image = gif->SavedImages[i];
        ASSERT_EQ(image.ImageDesc.Width, 200);
        ASSERT_EQ(image.ImageDesc.Height, 200);
        EXPECT_EQ(image.ImageDesc.ColorMap, nullptr);
        EXPECT_FALSE(image.ImageDesc.Interlace);
        GraphicsControlBlock gcb;
        ASSERT_EQ(DGifSavedExtensionToGCB(gif, i, &gcb), GIF_OK);
        EXPECT_EQ(gcb.TransparentColor, 255);
        // The window shows columns 35 and up and rows up to 131 of the control's picture: all
        // else is see-through, and the figure fills a fair part of what is shown.
        int figure = 0;
        for (int y = 0; y < 200; ++y) {
            for (int x = 0; x < 200; ++x) {
                const bool shown = image.RasterBits[y * 200 + x] != 255;
                if (x < 35 || y > 131) {
                    ASSERT_FALSE(shown) << x << "," << y;
                }
                figure += shown;
            }
        }
        EXPECT_GT(figure, 3000);
        EXPECT_LT(figure, 15000);
    }
    DGifCloseFile(gif, &error);
}

TEST(Decoration, GeneratorReproducesTheCommittedFile) {
    const auto out = std::filesystem::temp_directory_path() /
                     ("decoration_" + std::to_string(::getpid()) + ".gif");
    const std::string command =
        std::string("\"") + DECORATION_GENERATOR + "\" \"" + out.string() + "\" 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(readAll(out), decoration());
    std::filesystem::remove(out);
}

}  // namespace

#include "tests/conformance/loaded_gif.h"

namespace conformance {
namespace {

anigifrender::Options unscaledOver(uint32_t background) {
    anigifrender::Options o;
    o.stretch = anigif::StretchNone;
    o.background = background;
    return o;
}

}  // namespace

LoadedGif::LoadedGif(const std::filesystem::path& file)
    : overBlack_(unscaledOver(0x000000)), overWhite_(unscaledOver(0xFFFFFF)) {
    overBlack_.load(file.string());
    overWhite_.load(file.string());
}

std::vector<RgbaImage> LoadedGif::presentAll() {
    std::vector<RgbaImage> out;
    for (int32_t i = 1; i <= frameCount(); ++i) {
        const anigifrender::PaintedFrame* black = overBlack_.paintNext();
        const anigifrender::PaintedFrame* white = overWhite_.paintNext();
        if (!black || !white) break;
        RgbaImage img(black->width, black->height);
        for (int32_t y = 0; y < black->height; ++y)
            for (int32_t x = 0; x < black->width; ++x) {
                const uint32_t b = black->colorAt(x, y);
                if (b == white->colorAt(x, y)) img.set(x, y, b << 8 | 0xFF);
            }
        out.push_back(std::move(img));
    }
    return out;
}

}  // namespace conformance

#include "tests/conformance/presentation.h"

namespace conformance {
namespace {

uint32_t lookup(std::span<const uint32_t> table, uint32_t index) {
    return index < table.size() ? table[index] & 0xFFFFFF : 0;
}

}  // namespace

void drawFrame(platform::Surface& composite, const platform::Surface& strip, const FrameRect& f,
               std::span<const uint32_t> table) {
    for (int32_t y = 0; y < f.height; ++y)
        for (int32_t x = 0; x < f.width; ++x) {
            const uint32_t index = strip.pixel(f.stripX + x, y);
            if (f.transparent && index == f.transIndex) continue;
            composite.setPixel(f.left + x, f.top + y, lookup(table, index));
        }
}

RgbaImage presentComposite(const platform::Surface& composite, const platform::Surface* mask) {
    RgbaImage out(composite.width(), composite.height());
    for (int32_t y = 0; y < composite.height(); ++y)
        for (int32_t x = 0; x < composite.width(); ++x) {
            const bool uncovered = mask != nullptr && mask->pixel(x, y) != 0;
            if (!uncovered) out.set(x, y, composite.pixel(x, y) << 8 | 0xFF);
        }
    return out;
}

RgbaImage presentDirect(int32_t width, int32_t height, const platform::Surface& strip,
                        const FrameRect& f, std::span<const uint32_t> table) {
    RgbaImage out(width, height);
    for (int32_t y = 0; y < f.height; ++y)
        for (int32_t x = 0; x < f.width; ++x) {
            const uint32_t index = strip.pixel(f.stripX + x, y);
            if (f.transparent && index == f.transIndex) continue;
            const int32_t px = f.left + x, py = f.top + y;
            if (px < width && py < height) out.set(px, py, lookup(table, index) << 8 | 0xFF);
        }
    return out;
}

}  // namespace conformance

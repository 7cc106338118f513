#include "platform/system_colors.h"

#include <array>
#include <cstddef>

namespace platform {

namespace {

// A light desktop theme, 0x00RRGGBB, by system colour number.
constexpr std::array<uint32_t, 31> kSystemColors = {
    0xC8C8C8,  // 0 scroll bar
    0x000000,  // 1 desktop
    0x99B4D1,  // 2 active caption
    0xBFCDDB,  // 3 inactive caption
    0xF0F0F0,  // 4 menu
    0xFFFFFF,  // 5 window background
    0x646464,  // 6 window frame
    0x000000,  // 7 menu text
    0x000000,  // 8 window text
    0x000000,  // 9 caption text
    0xB4B4B4,  // 10 active border
    0xF4F7FC,  // 11 inactive border
    0xABABAB,  // 12 application workspace
    0x0078D7,  // 13 highlight
    0xFFFFFF,  // 14 highlight text
    0xF0F0F0,  // 15 button face
    0xA0A0A0,  // 16 button shadow
    0x6D6D6D,  // 17 grey text
    0x000000,  // 18 button text
    0x000000,  // 19 inactive caption text
    0xFFFFFF,  // 20 button highlight
    0x696969,  // 21 3-D dark shadow
    0xE3E3E3,  // 22 3-D light
    0x000000,  // 23 tooltip text
    0xFFFFE1,  // 24 tooltip background
    0x000000,  // 25 (unused)
    0x0066CC,  // 26 hot-tracked item
    0xB9D1EA,  // 27 active caption gradient
    0xD7E4F2,  // 28 inactive caption gradient
    0x3399FF,  // 29 menu highlight
    0xF0F0F0,  // 30 menu bar
};

constexpr uint32_t swapRedBlue(uint32_t c) noexcept {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

}  // namespace

uint32_t sysColor(int32_t index) noexcept {
    if (index < 0 || index >= static_cast<int32_t>(kSystemColors.size())) return 0;
    return swapRedBlue(kSystemColors[static_cast<std::size_t>(index)]);
}

uint32_t colorRefToRgb(uint32_t colorRef) noexcept {
    if (colorRef & 0x80000000u) colorRef = sysColor(static_cast<int32_t>(colorRef & 0xFF));
    return swapRedBlue(colorRef & 0x00FFFFFFu);
}

}  // namespace platform

#pragma once
// System colours and colour references. A colour reference is what the control publishes for
// its colours: 0x00BBGGRR, or with the top bit set a system colour whose number is the low byte.
#include <cstdint>

namespace platform {

// System colours by number, as 0x00BBGGRR (0 for an unknown number). The values are a light
// desktop theme: 5 window background white, 8 window text black, 15 button face 0xF0F0F0,
// 18 button text black, 6 window frame 0x646464; the full table is in system_colors.cpp.
uint32_t sysColor(int32_t index) noexcept;

// A colour reference as 0x00RRGGBB, the order surfaces and fills take.
uint32_t colorRefToRgb(uint32_t colorRef) noexcept;

}  // namespace platform

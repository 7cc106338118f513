#pragma once
// A reference model of how a decoded frame looks on screen, written independently of the
// control's renderer so that the conformance test checks decoding and compositing, not the
// renderer against itself.
//
// Presentation is over transparent black: a pixel nothing opaque has covered is (0, 0, 0, 0),
// every other pixel is its colour with alpha 255.
#include <cstdint>
#include <span>

#include "platform/surface.h"
#include "tests/conformance/suite_case.h"

namespace conformance {

// The frame fields the presentation needs, in overall-image coordinates.
struct FrameRect {
    int32_t left = 0, top = 0, width = 0, height = 0;
    int32_t stripX = 0;
    bool transparent = false;
    uint8_t transIndex = 0;
};

// Draws the frame's strip cell into a 24-bit composite at its position: every pixel whose index
// is not the transparent one takes table[index] (0x00RRGGBB; 256 entries, unused ones 0).
void drawFrame(platform::Surface& composite, const platform::Surface& strip, const FrameRect& f,
               std::span<const uint32_t> table);

// The composite as seen over transparent black: where the mask is white (uncovered) the pixel
// is transparent; without a mask every pixel is opaque.
RgbaImage presentComposite(const platform::Surface& composite, const platform::Surface* mask);

// A frame drawn on its own (no composite) onto a width x height area of transparent black.
RgbaImage presentDirect(int32_t width, int32_t height, const platform::Surface& strip,
                        const FrameRect& f, std::span<const uint32_t> table);

}  // namespace conformance

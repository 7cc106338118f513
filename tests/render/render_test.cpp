// Drawing the control on the headless host: both paint paths, offsets, stretch modes and the
// resize event, mirroring, the solid background, smoothing at transparent edges, and the
// design-time outline.
#include <gtest/gtest.h>

#include <memory>

#include "platform/system_colors.h"
#include "tests/support/control_fixture.h"

namespace {

using anigif::ucAniGIF;
using giftest::GifBuilder;
using giftest::GifFrame;

constexpr uint32_t kBack = 0xFF00FF;  // host background
constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;
const std::vector<uint32_t> kPalette = {0x000000, kRed, kGreen, kBlue, kWhite, 0x808080, 0, 0};

GifFrame frame(int left, int top, std::vector<std::string> rows, int disposal = 0,
               int transIndex = -1) {
    const int w = static_cast<int>(rows[0].size()), h = static_cast<int>(rows.size());
    auto f = giftest::makeFrame(w, h, [&](int x, int y) {
        return static_cast<uint8_t>(rows[static_cast<size_t>(y)][static_cast<size_t>(x)] - '0');
    });
    f.left = left;
    f.top = top;
    f.control = true;
    f.delayCs = 10;
    f.disposal = disposal;
    if (transIndex >= 0) {
        f.transparent = true;
        f.transIndex = static_cast<uint8_t>(transIndex);
    }
    return f;
}

class Render : public giftest::ControlFixture {
  protected:
    Render() {
        host.setBackground(kBack);
        gif->stretchMode = anigif::StretchNone;
    }

    // Loads the frames on a w x h screen with the inner size given (default: the image's).
    void load(int w, int h, const std::vector<GifFrame>& frames, double innerW = -1,
              double innerH = -1) {
        GifBuilder b;
        b.screen(w, h).globalTable(kPalette);
        for (const auto& f : frames) b.frame(f);
        host.setInnerSize(innerW < 0 ? w : innerW, innerH < 0 ? h : innerH);
        ASSERT_TRUE(gif->loadGifBytes(b.build()));
        gif->Action(anigif::ActionPause);
    }

    // Paints frame k (composing the frames before it in order when k > current).
    const platform::Surface& show(int32_t k) {
        gif->currentFrame = 1;
        host.refresh();
        while (gif->currentFrame < k) {
            ++gif->currentFrame;
            host.refresh();
        }
        return *host.surface();
    }

    // The painted surface as rows of colour letters: . background, R G B W red green blue
    // white, k black, ? anything else.
    std::vector<std::string> picture() const {
        const auto& s = *host.surface();
        std::vector<std::string> rows;
        for (int32_t y = 0; y < s.height(); ++y) {
            std::string row;
            for (int32_t x = 0; x < s.width(); ++x) {
                const uint32_t c = s.colorAt(x, y);
                row += c == kBack    ? '.'
                       : c == kRed   ? 'R'
                       : c == kGreen ? 'G'
                       : c == kBlue  ? 'B'
                       : c == kWhite ? 'W'
                       : c == 0      ? 'k'
                                     : '?';
            }
            rows.push_back(row);
        }
        return rows;
    }
    using Rows = std::vector<std::string>;
};

TEST_F(Render, NothingLoadedDrawsNothing) {
    host.setInnerSize(3, 2);
    host.refresh();
    EXPECT_EQ(picture(), (Rows{"...", "..."}));
    const auto target = platform::Surface::create(24, 1, 1);
    EXPECT_FALSE(gif->PaintFrame(0, *target));
}

TEST_F(Render, DirectPathIsExactAndTransparentPixelsShowTheHost) {
    // One frame: no composite, drawn straight from the strip.
    load(4, 2, {frame(0, 0, {"1203", "0321"}, 0, 0)});
    ASSERT_EQ(gif->Composite, nullptr);
    show(1);
    EXPECT_EQ(picture(), (Rows{"RG.B", ".BGR"}));

    // Offsets move the picture; what leaves the control is cut.
    gif->offsetX = -1;
    gif->offsetY = 1;
    host.refresh();
    EXPECT_EQ(picture(), (Rows{"....", "G.B."}));
}

TEST_F(Render, DirectPathScalesOffsetsWithThePicture) {
    gif->stretchMode = anigif::StretchFill;
    load(2, 1, {frame(0, 0, {"12"})}, 4, 2);
    ASSERT_FLOAT_EQ(gif->scaleX, 2.0f);
    gif->offsetX = 1;
    show(1);
    EXPECT_EQ(picture(), (Rows{"..RR", "..RR"}));
}

TEST_F(Render, CompositePathComposesAndShowsTheHostWhereNothingCovers) {
    // Frame 2 is transparent at index 0 and does not cover column 0.
    load(3, 2, {frame(1, 0, {"12", "21"}, 0, -1), frame(1, 0, {"03", "30"}, 0, 0)});
    ASSERT_NE(gif->Composite, nullptr);
    ASSERT_NE(gif->Mask, nullptr);
    show(1);
    EXPECT_EQ(picture(), (Rows{".RG", ".GR"}));
    show(2);
    EXPECT_EQ(picture(), (Rows{".RB", ".BR"}));
}

TEST_F(Render, CompositePathDisposalRestoresTheBackground) {
    load(3, 1, {frame(0, 0, {"1"}, 2), frame(1, 0, {"2"}, 0), frame(2, 0, {"3"}, 0)});
    ASSERT_NE(gif->Composite, nullptr);
    show(3);
    EXPECT_EQ(picture(), (Rows{".GB"}));
}

TEST_F(Render, CompositePathDoesNotScaleOffsets) {
    gif->stretchMode = anigif::StretchFill;
    load(2, 1, {frame(0, 0, {"12"}), frame(0, 0, {"21"})}, 4, 1);
    ASSERT_NE(gif->Composite, nullptr);
    gif->offsetX = 1;  // one target pixel, not two
    show(1);
    // The composite is stretched into the whole inner area starting at x = 1.
    EXPECT_EQ(picture(), (Rows{".RRG"}));
}

TEST_F(Render, SolidBackgroundFillsTheImageAreaBehindTransparentPixels) {
    load(3, 1, {frame(0, 0, {"102"}, 0, 0)}, 5, 1);
    gif->bkgColorUsed = true;
    gif->bkgColor = 0x00FF0000;  // 0x00BBGGRR: blue
    show(1);
    EXPECT_EQ(picture(), (Rows{"RBG.."}));  // the fill covers the image area only

    gif->bkgColor = static_cast<int32_t>(0x8000000Fu);  // system colour 15, button face
    host.refresh();
    EXPECT_EQ(host.surface()->colorAt(1, 0), platform::colorRefToRgb(platform::sysColor(15)));
    EXPECT_EQ(host.surface()->colorAt(1, 0), 0xF0F0F0u);
}

TEST_F(Render, TableReloadedAfterATransparentLoadOfTheSameTable) {
    // All frames dispose to the background, so there is no composite: frame 2 draws after
    // frame 1 loaded the shared table with its transparent entry (index 1) blackened.
    load(2, 1, {frame(0, 0, {"12"}, 2, 1), frame(0, 0, {"12"}, 2)});
    ASSERT_EQ(gif->Composite, nullptr);
    show(1);
    EXPECT_EQ(picture(), (Rows{".G"}));
    show(2);
    EXPECT_EQ(picture(), (Rows{"RG"}));
}

struct ScaleCase {
    int32_t mode;
    double innerW, innerH;
    float scaleX, scaleY;
    double sizeW, sizeH;
};

class StretchModes : public Render, public ::testing::WithParamInterface<ScaleCase> {};

TEST_P(StretchModes, ResizeSetsScaleAndSize) {
    const ScaleCase c = GetParam();
    load(20, 10, {frame(0, 0, {"1"}), frame(19, 9, {"2"})}, 20, 10);
    gif->stretchMode = c.mode;
    int resizes = 0;
    host.onResize = [&] {
        ++resizes;
        gif->UserControl_Resize();
    };
    host.setSize(c.innerW, c.innerH);
    EXPECT_FLOAT_EQ(gif->scaleX, c.scaleX);
    EXPECT_FLOAT_EQ(gif->scaleY, c.scaleY);
    EXPECT_EQ(host.scaleWidth(), c.sizeW);
    EXPECT_EQ(host.scaleHeight(), c.sizeH);
    EXPECT_EQ(resizes, 2);  // the control's own size change returns at once
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StretchModes,
    ::testing::Values(ScaleCase{anigif::StretchNone, 30, 5, 1, 1, 20, 5},
                      ScaleCase{anigif::StretchFit, 30, 30, 1.5f, 1.5f, 30, 15},
                      ScaleCase{anigif::StretchFit, 20, 10, 1, 1, 20, 10},
                      ScaleCase{anigif::StretchFill, 30, 5, 1.5f, 0.5f, 30, 5},
                      ScaleCase{anigif::StretchShrink, 40, 40, 1, 1, 20, 10},
                      ScaleCase{anigif::StretchShrink, 40, 5, 0.5f, 0.5f, 10, 5},
                      ScaleCase{anigif::StretchAutoSize, 7, 70, 1, 1, 20, 10}));

TEST_F(Render, ScaleOfOneDrawsExactly) {
    gif->stretchMode = anigif::StretchFit;
    load(2, 1, {frame(0, 0, {"12"}), frame(0, 0, {"34"})}, 2, 1);
    ASSERT_EQ(gif->scaleX, 1.0f);
    show(2);
    EXPECT_EQ(picture(), (Rows{"BW"}));
}

TEST_F(Render, MirroringFlipsFramesAndTwiceRestoresThem) {
    // Frame 2 sits in the top-left corner of a 3 x 2 image.
    load(3, 2, {frame(0, 0, {"111", "111"}), frame(0, 0, {"23"}, 0)});
    gif->MirrorFrames(anigif::MirrorHorizontal, false, true);
    gif->mirrorStyle = anigif::MirrorHorizontal;
    EXPECT_EQ(gif->Frames(2).Left, 1);
    show(2);
    EXPECT_EQ(picture(), (Rows{"RBG", "RRR"}));

    // Horizontal to vertical flips both axes once.
    gif->MirrorFrames(anigif::MirrorVertical, false, true);
    gif->mirrorStyle = anigif::MirrorVertical;
    EXPECT_EQ(gif->Frames(2).Left, 0);
    EXPECT_EQ(gif->Frames(2).Top, 1);
    show(2);
    EXPECT_EQ(picture(), (Rows{"RRR", "GBR"}));

    gif->MirrorFrames(anigif::MirrorNone, false, true);
    gif->mirrorStyle = anigif::MirrorNone;
    show(2);
    EXPECT_EQ(picture(), (Rows{"GBR", "RRR"}));
}

TEST_F(Render, MirrorMarkSkipsTheFirstFrame) {
    load(2, 1, {frame(0, 0, {"12"}), frame(0, 0, {"34"})});
    gif->mirrorStyle = anigif::MirrorHorizontal | anigif::kMirrorFirstFrameDone;
    gif->MirrorFrames(anigif::MirrorNone, false, false);
    EXPECT_EQ(gif->mirrorStyle, anigif::MirrorHorizontal);
    show(2);
    EXPECT_EQ(picture(), (Rows{"WB"}));
    gif->currentFrame = 1;
    host.refresh();
    EXPECT_EQ(picture(), (Rows{"RG"}));  // frame 1 left as it was
}

// Every pixel of a red shape with transparent surroundings, drawn scaled over white, is a blend
// of red and white: no darker or tinted fringe.
void expectRedOverWhiteOnly(const platform::Surface& s) {
    int blended = 0;
    for (int32_t y = 0; y < s.height(); ++y)
        for (int32_t x = 0; x < s.width(); ++x) {
            const uint32_t c = s.colorAt(x, y);
            const uint32_t r = c >> 16, g = (c >> 8) & 0xFF, b = c & 0xFF;
            ASSERT_EQ(r, 255u) << x << "," << y;
            ASSERT_LE(g > b ? g - b : b - g, 1u) << x << "," << y;
            if (g > 0 && g < 255) ++blended;
        }
    EXPECT_GT(blended, 0);  // the edges are smoothed, not cut
}

TEST_F(Render, ScaledTransparentEdgesBlendWithoutFringe) {
    host.setBackground(kWhite);
    std::vector<std::string> rows(10, "0000000000");
    for (int y = 3; y < 7; ++y) rows[static_cast<size_t>(y)] = "0001111000";
    for (const float scale : {0.72f, 1.7f}) {
        for (const bool composite : {false, true}) {
            SCOPED_TRACE(std::to_string(scale) + (composite ? " composite" : " direct"));
            gif->stretchMode = anigif::StretchFit;
            std::vector<GifFrame> frames{frame(0, 0, rows, 0, 0)};
            if (composite) frames.push_back(frame(0, 0, rows, 0, 0));
            load(10, 10, frames, 10 * scale, 10 * scale);
            ASSERT_EQ(gif->Composite != nullptr, composite);
            ASSERT_NE(gif->scaleX, 1.0f);
            expectRedOverWhiteOnly(show(1));
        }
    }
}

TEST_F(Render, DesignModeDrawsADottedOutline) {
    host.setUserMode(false);
    gif = std::make_unique<ucAniGIF>(host);  // creation sets the dotted window-frame pen
    host.setInnerSize(5, 3);
    host.refresh();
    const uint32_t frameColour = platform::colorRefToRgb(0x80000006u);
    const auto& s = *host.surface();
    EXPECT_EQ(s.colorAt(0, 0), frameColour);
    EXPECT_EQ(s.colorAt(1, 0), kBack);
    EXPECT_EQ(s.colorAt(2, 0), frameColour);
    EXPECT_EQ(s.colorAt(4, 2), frameColour);  // right and bottom edges at width - 1, height - 1
    EXPECT_EQ(s.colorAt(0, 2), frameColour);
    for (int32_t x = 1; x < 4; ++x) EXPECT_EQ(s.colorAt(x, 1), kBack);  // nothing inside
}

}  // namespace

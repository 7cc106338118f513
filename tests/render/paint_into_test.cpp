// Painting into a host's pixels in one pass gives exactly the colour and transparency that two
// paints on the control's own surface, over black and over white, reveal (what the widget drew
// before it painted in one pass): for every GIF of the conformance suite and a composed
// animation, at device scales 1 and 2, unscaled and stretched, mirrored, offset, over a solid
// background and at design time; and a paint of part of the control, into a buffer of that part
// or through a clip, gives that part of the whole.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "anigif/manual_clock.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/headless_host.h"
#include "tests/support/gif_builder.h"

namespace {

using anigif::ucAniGIF;
using Pixels = std::vector<uint32_t>;  // premultiplied 0xAARRGGBB, rows top-down

struct Setting {
    const char* name;
    int32_t stretch = anigif::StretchFit;
    double zoom = 1;  // the control's size against the picture's
    int32_t mirror = anigif::MirrorNone;
    int32_t offsetX = 0, offsetY = 0;
    bool solid = false;
    bool designTime = false;
};

const Setting kSettings[] = {
    {"as loaded"},
    {"reduced", anigif::StretchFill, 0.72},
    {"enlarged", anigif::StretchFit, 1.7},
    {"mirrored and offset", anigif::StretchNone, 1, anigif::MirrorBoth, -3, 2},
    {"offset and stretched", anigif::StretchFill, 1.3, anigif::MirrorHorizontal, 2, -1},
    {"solid background", anigif::StretchFill, 0.8, anigif::MirrorNone, 1, 1, true},
    {"design time", anigif::StretchFit, 1, anigif::MirrorNone, 0, 0, false, true},
};

// One control on a host of its own, loaded and paused; it paints only when asked.
struct Painted {
    platform::ManualClock clock;
    platform::HeadlessHost host;
    std::unique_ptr<ucAniGIF> gif;
    bool painting = false;

    Painted(const std::vector<uint8_t>& bytes, const Setting& s) {
        host.setTimerService(&clock);
        host.setUserMode(!s.designTime);
        gif = std::make_unique<ucAniGIF>(host);
        host.onPaint = [this] {
            if (painting) gif->UserControl_Paint();
        };
        host.onResize = [this] { gif->UserControl_Resize(); };
        gif->DelayAnimation(anigif::DelayOff);
        gif->Stretch(s.stretch);
        gif->Mirrored(s.mirror);
        gif->OffsetX(s.offsetX);
        gif->OffsetY(s.offsetY);
        if (s.solid) {
            gif->SolidBkgColor(0x336699);
            gif->SolidBkgColorUsed(true);
        }
        if (!gif->loadGifBytes(bytes)) return;
        host.setSize(std::round(gif->screenWidth * s.zoom), std::round(gif->screenHeight * s.zoom));
        gif->Action(anigif::ActionPause);
    }
    bool loaded() const { return gif->FrameCount() > 0; }
    void step() { gif->Action(anigif::ActionStep); }

    int deviceSize(double inner, double ratio) const {
        return static_cast<int>(std::floor(inner * ratio + 0.5));
    }

    // The paint of the control's two surfaces: the scale and the composite's offsets multiplied
    // by the ratio, the inner size at device pixels, and both passes from the same compositing
    // state; where they differ the background shows through.
    Pixels twoPasses(double ratio, int& w, int& h) {
        ucAniGIF& c = *gif;
        const double innerW = host.scaleWidth(), innerH = host.scaleHeight();
        w = deviceSize(innerW, ratio);
        h = deviceSize(innerH, ratio);
        const float scaleX = c.scaleX, scaleY = c.scaleY;
        const int32_t offsetX = c.offsetX, offsetY = c.offsetY;
        if (ratio != 1.0) {
            c.scaleX = static_cast<float>(scaleX * ratio);
            c.scaleY = static_cast<float>(scaleY * ratio);
            if (c.Composite) {
                c.offsetX = static_cast<int32_t>(std::lround(offsetX * ratio));
                c.offsetY = static_cast<int32_t>(std::lround(offsetY * ratio));
            }
            host.setInnerSize(w, h);
        }
        auto bits = [](const std::unique_ptr<platform::Surface>& s) {
            return s ? std::vector<uint8_t>(s->bits(), s->bits() + s->sizeBytes())
                     : std::vector<uint8_t>{};
        };
        auto restore = [](const std::unique_ptr<platform::Surface>& s,
                          const std::vector<uint8_t>& saved) {
            if (s) std::memcpy(s->bits(), saved.data(), saved.size());
        };
        const auto composite = bits(c.Composite), mask = bits(c.Mask);
        auto pass = [&](uint32_t background) {
            host.setBackground(background);
            painting = true;
            host.refresh();
            painting = false;
            Pixels out(static_cast<size_t>(w) * h, background);
            if (const platform::Surface* s = host.surface())
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) out[size_t(y) * w + x] = s->colorAt(x, y);
            return out;
        };
        const Pixels black = pass(0x000000);
        restore(c.Composite, composite);
        restore(c.Mask, mask);
        const Pixels white = pass(0xFFFFFF);
        c.scaleX = scaleX;
        c.scaleY = scaleY;
        c.offsetX = offsetX;
        c.offsetY = offsetY;
        host.setInnerSize(innerW, innerH);

        Pixels out(black.size());
        for (size_t i = 0; i < out.size(); ++i) {
            int through = 0;
            for (int k = 0; k < 24; k += 8)
                through =
                    std::max(through, int((white[i] >> k) & 0xFF) - int((black[i] >> k) & 0xFF));
            const auto alpha = static_cast<uint32_t>(255 - through);
            uint32_t v = alpha << 24;
            for (int k = 0; k < 24; k += 8) v |= std::min((black[i] >> k) & 0xFF, alpha) << k;
            out[i] = v;
        }
        return out;
    }

    // One pass into a w x h buffer, transparent before it, whose pixel (0, 0) is the control's
    // device pixel (x, y); only `clip` (buffer pixels) when given.
    Pixels into(double ratio, int x, int y, int w, int h, anigif::PixelRect clip = {}) {
        Pixels out(static_cast<size_t>(w) * h, 0);
        anigif::PaintTarget t;
        t.pixels = out.data();
        t.stride = w * 4;
        t.width = w;
        t.height = h;
        t.deviceScale = ratio;
        t.originX = -x;
        t.originY = -y;
        t.clip = clip;
        gif->paintInto(t);
        return out;
    }
};

std::vector<uint8_t> fileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A composed animation with every disposal method, transparency and a local colour table.
std::vector<uint8_t> composedAnimation() {
    giftest::GifBuilder b;
    std::vector<uint32_t> palette(16);
    for (uint32_t i = 0; i < 16; ++i) palette[i] = (i * 0x10) << 16 | (255 - i * 0x10) << 8 | i * 9;
    b.screen(37, 23).globalTable(palette).loop(0);
    for (int k = 0; k < 6; ++k) {
        const int w = k == 0 ? 37 : 13 + k, h = k == 0 ? 23 : 9 + k;
        auto f = giftest::makeFrame(
            w, h, [&](int x, int y) { return static_cast<uint8_t>((x * 3 + y * 5 + k) % 16); });
        f.left = k == 0 ? 0 : (k * 7) % (37 - w);
        f.top = k == 0 ? 0 : (k * 5) % (23 - h);
        f.control = true;
        f.delayCs = 10;
        f.disposal = k == 0 ? 1 : 1 + k % 3;
        f.transparent = k != 0;
        f.transIndex = static_cast<uint8_t>(k % 16);
        if (k == 3) f.localTable = std::vector<uint32_t>(palette.rbegin(), palette.rend());
        b.frame(f);
    }
    return b.build();
}

TEST(PaintInto, OnePassShowsWhatTwoPassesOverBlackAndWhiteReveal) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> gifs;
    for (const auto& entry : std::filesystem::directory_iterator(KAVRILO_GIF_SUITE_DIR))
        if (entry.path().extension() == ".gif")
            gifs.emplace_back(entry.path().filename().string(), fileBytes(entry.path()));
    ASSERT_GT(gifs.size(), 50u);
    gifs.emplace_back("composed animation", composedAnimation());

    int compared = 0;
    for (const auto& [name, bytes] : gifs)
        for (const Setting& setting : kSettings)
            for (const double ratio : {1.0, 2.0}) {
                SCOPED_TRACE(name + ", " + setting.name + ", ratio " + std::to_string(ratio));
                Painted old(bytes, setting), whole(bytes, setting), part(bytes, setting);
                if (!old.loaded()) continue;
                // Twice round, so that kept stretched frames are drawn as well.
                for (int k = 0; k < 2 * old.gif->FrameCount(); ++k) {
                    SCOPED_TRACE("paint " + std::to_string(k + 1));
                    int w = 0, h = 0;
                    const Pixels want = old.twoPasses(ratio, w, h);
                    ASSERT_EQ(whole.into(ratio, 0, 0, w, h), want);
                    // The lower right part from (w / 3, h / 2), alternately as a buffer of its
                    // own and through a clip of a whole buffer.
                    const int x0 = w / 3, y0 = h / 2, pw = w - x0, ph = h - y0;
                    const Pixels got = k % 2 ? part.into(ratio, x0, y0, pw, ph)
                                             : part.into(ratio, 0, 0, w, h, {x0, y0, pw, ph});
                    const int stride = k % 2 ? pw : w, dx = k % 2 ? 0 : x0, dy = k % 2 ? 0 : y0;
                    for (int y = 0; y < h; ++y)
                        for (int x = 0; x < w; ++x) {
                            const bool inside = x >= x0 && y >= y0;
                            if (!inside && k % 2) continue;
                            const uint32_t g = got[size_t(y - y0 + dy) * stride + (x - x0 + dx)];
                            ASSERT_EQ(g, inside ? want[size_t(y) * w + x] : 0u)
                                << "part at " << x << "," << y;
                        }
                    ++compared;
                    old.step();
                    whole.step();
                    part.step();
                }
            }
    EXPECT_GT(compared, 1000);
}

// An animation of several hash tiles (64 x 16 source pixels) whose frames move about, every
// disposal method among them; `shade` changes every colour.
std::vector<uint8_t> movingAnimation(uint32_t shade) {
    giftest::GifBuilder b;
    std::vector<uint32_t> palette(16);
    for (uint32_t i = 0; i < 16; ++i)
        palette[i] = ((i * 0x10) ^ shade) << 16 | (255 - i * 0x10) << 8 | (i * 9 + shade) % 256;
    b.screen(150, 53).globalTable(palette).loop(0);
    for (int k = 0; k < 7; ++k) {
        const int w = k == 0 ? 150 : 12 + 5 * k, h = k == 0 ? 53 : 6 + 3 * k;
        auto f = giftest::makeFrame(
            w, h, [&](int x, int y) { return static_cast<uint8_t>((x + y * 3 + k * 5) % 16); });
        f.left = k == 0 ? 0 : (k * 53) % (150 - w);
        f.top = k == 0 ? 0 : (k * 17) % (53 - h);
        f.control = true;
        f.delayCs = 10;
        f.disposal = k == 0 ? 1 : 1 + k % 3;
        f.transparent = k % 2 == 1;
        f.transIndex = static_cast<uint8_t>(k);
        b.frame(f);
    }
    return b.build();
}

// A stretched paint after the composite changed in any way (a replaced palette, mirroring,
// jumps back and forth, a new GIF of the same size) shows exactly what a control that went
// through the same calls shows when it works out the whole picture afresh at every paint: a
// kept picture of another state is never taken for the current one.
TEST(PaintInto, StretchedPaintsAfterEveryKindOfChangeMatchAPaintFromScratch) {
    const std::vector<uint8_t> first = movingAnimation(0), second = movingAnimation(0x5A);
    for (const Setting& setting : {kSettings[1], kSettings[2]}) {
        SCOPED_TRACE(setting.name);
        Painted played(first, setting), fresh(first, setting);
        ASSERT_TRUE(played.loaded());
        const std::function<void(ucAniGIF&)> steps[] = {
            [](ucAniGIF& g) { g.Action(anigif::ActionStep); },
            // Jumps that start from a kept composite (frame 1 to 7, frame 3 to 6).
            [](ucAniGIF& g) { g.ShowFrame(7); },
            [](ucAniGIF& g) { g.ShowFrame(6); },
            [](ucAniGIF& g) {
                ucAniGIF::PaletteArray p;
                ASSERT_TRUE(g.GetPalette(0, p));
                for (int32_t& c : p.values) c ^= 0x00FF00;
                ASSERT_TRUE(g.SetPalette(0, p));
            },
            [](ucAniGIF& g) { g.Mirrored(anigif::MirrorHorizontal); },
            [](ucAniGIF& g) { g.Mirrored(anigif::MirrorBoth); },
            [&](ucAniGIF& g) {
                ASSERT_TRUE(g.loadGifBytes(second));
                g.Action(anigif::ActionPause);
            },
        };
        // Two loops first, so that every frame has a kept picture; then each change among
        // steps, the other steps painted one by one.
        std::vector<int> script(14, 0);
        for (int change = 1; change < static_cast<int>(std::size(steps)); ++change)
            script.insert(script.end(), {change, 0, 0, 0});
        int paint = 0;
        for (const int k : script) {
            SCOPED_TRACE("paint " + std::to_string(++paint) + " after step " + std::to_string(k));
            steps[k](*played.gif);
            steps[k](*fresh.gif);
            const int w = played.deviceSize(played.host.scaleWidth(), 1);
            const int h = played.deviceSize(played.host.scaleHeight(), 1);
            const Pixels got = played.into(1, 0, 0, w, h);
            fresh.gif->dropKeptComposites();  // which forgets what the composite was
            ASSERT_EQ(got, fresh.into(1, 0, 0, w, h));
        }
    }
}

}  // namespace

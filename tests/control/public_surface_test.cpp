// The control's public properties on the headless host and the manual clock: clamping, which
// changes repaint and which notify, Stretch and Mirrored against the animation state, the
// host-forwarded properties, mouse events in container units, and the help strings.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "platform/runtime_error.h"
#include "tests/support/control_fixture.h"

namespace {

using namespace anigif;
using Strings = std::vector<std::string>;

giftest::Bytes animation(int frames, int w = 8, int h = 4) {
    giftest::GifBuilder b;
    b.screen(w, h).globalTable(giftest::testPalette(16));
    for (int k = 0; k < frames; ++k) {
        // A left half and a right half of different colours, so that mirroring shows.
        auto f = giftest::makeFrame(
            w, h, [&](int x, int) { return static_cast<uint8_t>(x < w / 2 ? k + 1 : 15); });
        f.control = true;
        f.delayCs = 10;
        f.disposal = 1;
        b.frame(f);
    }
    return b.build();
}

class PublicSurface : public giftest::ControlFixture {
  protected:
    PublicSurface() { host.setInnerSize(8, 4); }
    void load(int frames = 5) { loadBytes(animation(frames)); }
    // Stopped on frame `frame`, as after stepping there and stopping the timer.
    void stopOn(int32_t frame) {
        while (gif->CurrentFrame() != frame) gif->Action(ActionStep);
        gif->SetAnimationTimer(0);
        ASSERT_EQ(gif->Action(), ActionStop);
        clearRecords();
    }
    // Colour of the host's last painted surface at (x, y).
    uint32_t shown(int x, int y) const { return host.surface()->colorAt(x, y); }
};

TEST_F(PublicSurface, CreationDefaults) {
    EXPECT_EQ(gif->CurrentFrame(), 0);
    EXPECT_EQ(gif->FrameCount(), 0);
    EXPECT_EQ(gif->Stretch(), StretchFit);
    EXPECT_EQ(gif->Mirrored(), MirrorNone);
    EXPECT_EQ(gif->MinFrameDelay(), 50);
    EXPECT_EQ(gif->LoopsRemaining(), 0);
    EXPECT_TRUE(gif->Enabled());
    EXPECT_FALSE(gif->SolidBkgColorUsed());
    EXPECT_EQ(host.lineStyle(), 2);
    EXPECT_EQ(static_cast<uint32_t>(host.foreColor()), 0x80000006u);
}

TEST_F(PublicSurface, StretchTakesNewValidValuesOnly) {
    load();
    gif->Stretch(5);
    gif->Stretch(-1);
    gif->Stretch(StretchFit);  // the current value: no pause, no resize, no notice
    EXPECT_TRUE(host.changedProperties().empty());
    EXPECT_EQ(host.refreshCount(), 0);
    EXPECT_EQ(gif->Action(), ActionPlay);

    // While playing: paused for the resize, then playing on, no extra repaint.
    gif->Stretch(StretchFill);
    EXPECT_EQ(gif->Stretch(), StretchFill);
    EXPECT_EQ(gif->Action(), ActionPlay);
    EXPECT_EQ(host.refreshCount(), 0);
    EXPECT_EQ(host.changedProperties(), (Strings{"Stretch"}));
}

TEST_F(PublicSurface, StretchRewindsAStoppedControlButMirroredKeepsTheFrame) {
    load();
    stopOn(4);
    gif->Mirrored(MirrorHorizontal);
    EXPECT_EQ(gif->CurrentFrame(), 4);
    EXPECT_EQ(gif->Action(), ActionStop);
    EXPECT_EQ(host.changedProperties(), (Strings{"Mirrored"}));
    EXPECT_EQ(painted, (std::vector<int32_t>{4}));
    EXPECT_TRUE(events().empty());
    // The picture is mirrored: the frame's own colour is now on the right.
    const uint32_t right = shown(7, 0), left = shown(0, 0);
    EXPECT_NE(left, right);
    EXPECT_EQ(right, giftest::testPalette(16)[4]);

    clearRecords();
    gif->Stretch(StretchNone);
    EXPECT_EQ(gif->CurrentFrame(), 1);
    EXPECT_EQ(events(), (Strings{"FrameChanged(1,F)"}));
    EXPECT_EQ(host.changedProperties(), (Strings{"Stretch"}));
    EXPECT_EQ(gif->Action(), ActionStop);
}

TEST_F(PublicSurface, MirroredBeforeAndWhilePlaying) {
    // Nothing loaded: stored and notified even when unchanged; out of range ignored.
    gif->Mirrored(MirrorBoth);
    gif->Mirrored(MirrorBoth);
    gif->Mirrored(4);
    EXPECT_EQ(gif->Mirrored(), MirrorBoth);
    EXPECT_EQ(host.changedProperties(), (Strings{"Mirrored", "Mirrored"}));

    // Loaded and playing: the change keeps playing; the same value does nothing.
    gif->Mirrored(MirrorNone);
    load();
    gif->Mirrored(MirrorNone);
    EXPECT_TRUE(host.changedProperties().empty());
    gif->Mirrored(MirrorVertical);
    EXPECT_EQ(gif->Action(), ActionPlay);
    EXPECT_EQ(host.changedProperties(), (Strings{"Mirrored"}));
    EXPECT_EQ(gif->Mirrored(), MirrorVertical);
}

TEST_F(PublicSurface, OffsetsRepaintUnlessPlaying) {
    load();
    gif->OffsetX(3);
    gif->OffsetY(-2);
    EXPECT_EQ(host.refreshCount(), 0);  // the next tick paints them
    EXPECT_EQ(gif->OffsetX(), 3);
    EXPECT_EQ(gif->OffsetY(), -2);

    gif->Action(ActionPause);
    clearRecords();
    gif->OffsetX(1);
    EXPECT_EQ(host.refreshCount(), 1);
    gif->Action(ActionStop);
    clearRecords();
    gif->OffsetY(0);
    EXPECT_EQ(host.refreshCount(), 1);
    EXPECT_TRUE(host.changedProperties().empty());
}

TEST_F(PublicSurface, SolidBackgroundRepaintsOnlyAtDesignTime) {
    load();
    gif->Action(ActionStop);
    clearRecords();
    gif->SolidBkgColorUsed(true);
    gif->SolidBkgColor(0x0000FF);
    EXPECT_EQ(host.refreshCount(), 0);  // drawn at the next paint
    EXPECT_EQ(gif->SolidBkgColor(), 0x0000FF);

    host.setUserMode(false);
    gif->SolidBkgColor(0x00FF00);
    EXPECT_EQ(host.refreshCount(), 1);
    gif->SolidBkgColorUsed(false);
    EXPECT_EQ(host.refreshCount(), 2);
    gif->SolidBkgColor(0x00FFFF);  // not in use: no repaint
    EXPECT_EQ(host.refreshCount(), 2);
    EXPECT_TRUE(host.changedProperties().empty());
}

TEST_F(PublicSurface, ClampedAndIgnoredValues) {
    load();
    gif->MinFrameDelay(5);
    EXPECT_EQ(gif->MinFrameDelay(), 10);
    gif->MinFrameDelay(40000);
    EXPECT_EQ(gif->MinFrameDelay(), 32700);
    gif->MinFrameDelay(32700);
    EXPECT_EQ(host.changedProperties(), (Strings{"Delay", "Delay"}));

    gif->SteppedDelay(-4);
    EXPECT_EQ(gif->SteppedDelay(), 0);
    gif->FrameCount(7);
    EXPECT_EQ(gif->FrameCount(), 5);
    gif->DelayAnimation(4);
    EXPECT_EQ(gif->DelayAnimation(), DelayOff);

    gif->Loops(-3);
    EXPECT_EQ(gif->Loops(), 3);
    EXPECT_EQ(host.changedProperties().back(), "Loops");
}

TEST_F(PublicSurface, HostForwardedProperties) {
    gif->Enabled(false);
    EXPECT_FALSE(host.enabled());
    EXPECT_FALSE(gif->Enabled());
    EXPECT_EQ(host.changedProperties(), (Strings{"Enabled"}));

    gif->MousePointer(11);
    EXPECT_EQ(gif->MousePointer(), 11);
    gif->MousePointer(42);     // refused by the host: ignored
    gif->MousePointer(70000);  // beyond 16 bits: ignored
    EXPECT_EQ(gif->MousePointer(), 11);

    auto icon = std::make_shared<const platform::PictureBytes>(platform::PictureBytes{1, 2, 3});
    gif->MouseIcon(icon);
    EXPECT_EQ(gif->MouseIcon(), icon);
    EXPECT_EQ(gif->MousePointer(), 11);
    gif->MouseIcon(nullptr);
    EXPECT_EQ(gif->MouseIcon(), nullptr);
    EXPECT_EQ(gif->MousePointer(), 0);
    EXPECT_EQ(host.changedProperties(), (Strings{"Enabled", "MouseIcon", "MouseIcon"}));
}

TEST_F(PublicSurface, SizesAndMousePositionsInContainerUnits) {
    host.setUnitsPerPixel(15, 15);  // twips
    EXPECT_EQ(gif->ActualWidth(), 0);
    load();
    EXPECT_EQ(gif->ActualWidth(), 120);
    EXPECT_EQ(gif->ActualHeight(), 60);

    host.setUnitsPerPixel(0.4, 0.4);
    gif->UserControl_MouseDown(1, 2, 2.6F, 7.0F);   // 1.04 and 2.8 round down
    gif->UserControl_MouseMove(0, 0, -1.0F, 0.0F);  // -0.4 rounds down to -1
    gif->UserControl_MouseUp(1, 0, 2.6F, 7.0F);
    gif->UserControl_Click();
    ASSERT_EQ(host.events().size(), 4u);
    const auto& down = host.events()[0];
    EXPECT_EQ(down.number, EventMouseDown);
    EXPECT_EQ(std::get<int16_t>(down.args[0].second), 1);
    EXPECT_EQ(std::get<int16_t>(down.args[1].second), 2);
    EXPECT_EQ(std::get<float>(down.args[2].second), 1.0F);
    EXPECT_EQ(std::get<float>(down.args[3].second), 2.0F);
    EXPECT_EQ(host.events()[1].number, EventMouseMove);
    EXPECT_EQ(std::get<float>(host.events()[1].args[2].second), -1.0F);
    EXPECT_EQ(host.events()[2].number, EventMouseUp);
    EXPECT_EQ(host.events()[3].number, EventClick);
    EXPECT_EQ(gif->UserControl_HitTest(-5, 1e6F), 3);

    // A size that does not fit 32 bits in the container's units is the overflow error.
    host.setUnitsPerPixel(1e9, 1);
    EXPECT_THROW(gif->ActualWidth(), platform::RuntimeError);
}

TEST_F(PublicSurface, HelpStrings) {
    EXPECT_EQ(ucAniGIF::helpString("Loops"),
              "The number of loops that will occur before animation stops. Zero will loop "
              "infintely");
    EXPECT_EQ(ucAniGIF::helpString("remoteloadcomplete"),
              "Event that occurs when a remotely loaded GIF has been validated");
    EXPECT_EQ(ucAniGIF::helpString("Refresh"), "Forces a complete repaint of a object");
    EXPECT_TRUE(ucAniGIF::helpString("NoSuchMember").empty());
    // Every property, method and event a host shows carries one.
    for (const char* name :
         {"AnimatedGIF",    "CurrentFrame",      "Enabled",          "FrameCount",
          "ActualWidth",    "ActualHeight",      "Stretch",          "MinFrameDelay",
          "LoopsRemaining", "Mirrored",          "Action",           "DelayAnimation",
          "MouseIcon",      "MousePointer",      "OffsetX",          "OffsetY",
          "SolidBkgColor",  "SolidBkgColorUsed", "SteppedDelay",     "LoadAnimatedGIF_File",
          "GetPalette",     "SetPalette",        "CacheColorTables", "RestoreColorTables",
          "Click",          "MouseDown",         "MouseUp",          "MouseMove",
          "LoopsEnded",     "FrameChanged",      "RemoteLoadFailure"})
        EXPECT_FALSE(ucAniGIF::helpString(name).empty()) << name;
}

}  // namespace

// WriteProperties and ReadProperties: keys, order, defaults, the read order around the load, and
// values that the setters would refuse.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "anigif/manual_clock.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/headless_host.h"
#include "platform/property_bag.h"
#include "platform/runtime_error.h"
#include "tests/support/gif_builder.h"

namespace {

using platform::PictureData;
using platform::PropertyBag;
using platform::PropertyType;
using platform::PropertyValue;

giftest::Bytes threeFrameGif(int loops) {
    giftest::GifBuilder b;
    b.screen(8, 6).globalTable(giftest::testPalette(4));
    if (loops >= 0) b.loop(loops);
    for (int k = 0; k < 3; ++k) {
        giftest::GifFrame f =
            giftest::makeFrame(8, 6, [k](int x, int y) { return (x + y + k) % 4; });
        f.control = true;
        f.delayCs = 10;
        b.frame(f);
    }
    return b.build();
}

// A control on a headless host; design mode unless run mode is asked for.
struct Fixture {
    explicit Fixture(bool run = false) {
        host.setUserMode(run);
        host.setInnerSize(16, 12);
        host.setTimerService(&clock);
        control = std::make_unique<anigif::ucAniGIF>(host);
        host.onPaint = [this] { control->UserControl_Paint(); };
        host.onResize = [this] { control->UserControl_Resize(); };
    }
    platform::ManualClock clock;
    platform::HeadlessHost host;
    std::unique_ptr<anigif::ucAniGIF> control;
};

std::vector<std::string> names(const PropertyBag& bag) {
    std::vector<std::string> out;
    for (const auto& e : bag.entries()) out.push_back(e.name);
    return out;
}

PropertyBag bagWithGif(const giftest::Bytes& gif) {
    PropertyBag bag;
    bag.writeProperty("GIF", PropertyValue{gif});
    return bag;
}

TEST(WriteProperties, FreshOrDefaultControlStoresOnlyTheGif) {
    Fixture fresh;
    PropertyBag empty;
    fresh.control->WriteProperties(empty);
    ASSERT_EQ(names(empty), std::vector<std::string>{"gif"});
    EXPECT_EQ(empty.find("gif")->type(), PropertyType::Bytes);
    EXPECT_TRUE(empty.find("gif")->toBytes().empty());

    // Loaded, everything at its default, and a GIF without loop count: still only the bytes.
    const giftest::Bytes gif = threeFrameGif(-1);
    ASSERT_TRUE(fresh.control->loadGifBytes(gif));
    PropertyBag loaded;
    fresh.control->WriteProperties(loaded);
    ASSERT_EQ(names(loaded), std::vector<std::string>{"gif"});
    EXPECT_EQ(loaded.find("GIF")->toBytes(), gif);
}

TEST(StoredProperties, EverySettingRoundTripsInWriteOrder) {
    Fixture a;
    const giftest::Bytes gif = threeFrameGif(5);
    ASSERT_TRUE(a.control->loadGifBytes(gif));
    a.control->Stretch(anigif::StretchFill);
    a.control->Loops(7);
    a.control->MinFrameDelay(120);
    a.control->Mirrored(anigif::MirrorVertical);
    a.control->DelayAnimation(anigif::DelayHold);
    a.control->OffsetX(-3);
    a.control->OffsetY(4);
    a.control->SolidBkgColor(0x123456);
    a.control->SolidBkgColorUsed(true);
    a.control->SteppedDelay(200);
    const auto icon =
        std::make_shared<const platform::PictureBytes>(platform::PictureBytes{1, 2, 3});
    a.host.setMouseIcon(icon);
    a.host.setMousePointer(2);
    a.host.setEnabled(false);

    PropertyBag written;
    a.control->WriteProperties(written);
    const std::vector<std::string> order = {
        "gif",          "delay",   "stretch", "loops",   "delayload", "mirror",  "mouseicon",
        "mousepointer", "enabled", "offsetx", "offsety", "bkgfill",   "bkgused", "stepdelay"};
    ASSERT_EQ(names(written), order);
    const std::vector<PropertyType> types = {
        PropertyType::Bytes, PropertyType::Int16, PropertyType::Int32,   PropertyType::Int32,
        PropertyType::Int32, PropertyType::Int32, PropertyType::Picture, PropertyType::Int16,
        PropertyType::Bool,  PropertyType::Int32, PropertyType::Int32,   PropertyType::Int32,
        PropertyType::Bool,  PropertyType::Int32};
    for (size_t i = 0; i < types.size(); ++i)
        EXPECT_EQ(written.entries()[i].value.type(), types[i]) << order[i];
    EXPECT_EQ(written.find("gif")->toBytes(), gif);

    // Through the file form into a new control, as a window would be created from it.
    const PropertyBag stored = PropertyBag::fromBytes(written.toBytes());
    Fixture b;
    b.control->ReadProperties(stored);
    const anigif::ucAniGIF& c = *b.control;
    EXPECT_EQ(c.FrameCount(), 3);
    EXPECT_EQ(c.Stretch(), anigif::StretchFill);
    EXPECT_EQ(c.Loops(), 7);
    EXPECT_EQ(c.loopsRemaining, 7);
    EXPECT_EQ(c.MinFrameDelay(), 120);
    EXPECT_EQ(c.Mirrored(), anigif::MirrorVertical);
    EXPECT_EQ(c.DelayAnimation(), anigif::DelayHold);
    EXPECT_EQ(c.OffsetX(), -3);
    EXPECT_EQ(c.OffsetY(), 4);
    EXPECT_EQ(c.SolidBkgColor(), 0x123456);
    EXPECT_TRUE(c.SolidBkgColorUsed());
    EXPECT_EQ(c.SteppedDelay(), 200);
    ASSERT_TRUE(b.host.mouseIcon());
    EXPECT_EQ(*b.host.mouseIcon(), *icon);
    EXPECT_EQ(b.host.mousePointer(), 2);
    EXPECT_FALSE(b.host.enabled());
    // Reading restores state; it never marks the description stale.
    EXPECT_TRUE(b.host.changedProperties().empty());

    // Written again, the same description comes out.
    PropertyBag again;
    b.control->WriteProperties(again);
    EXPECT_EQ(again, written);
}

TEST(ReadProperties, WithoutGifKeepsWhatTheControlHoldsAndSkipsLoops) {
    PropertyBag bag;
    bag.writeProperty("Loops", PropertyValue{int32_t{9}});
    bag.writeProperty("Stretch", PropertyValue{int32_t{0}});

    Fixture fresh;
    fresh.control->ReadProperties(bag);
    EXPECT_EQ(fresh.control->FrameCount(), 0);
    EXPECT_EQ(fresh.control->Loops(), 0);  // not read: nothing loaded
    EXPECT_EQ(fresh.control->Stretch(), 0);

    Fixture holding;
    holding.control->GifBytes.assign(std::span<const uint8_t>(threeFrameGif(4)));
    holding.control->ReadProperties(bag);
    EXPECT_EQ(holding.control->FrameCount(), 3);
    EXPECT_EQ(holding.control->Loops(), 9);
}

TEST(ReadProperties, LoopsFollowTheGifUnlessStored) {
    // Loops 0 is not stored, so the next read takes the GIF's own count, not 0.
    Fixture a;
    ASSERT_TRUE(a.control->loadGifBytes(threeFrameGif(28789)));
    a.control->Loops(0);
    PropertyBag bag;
    a.control->WriteProperties(bag);
    EXPECT_FALSE(bag.contains("loops"));
    Fixture b;
    b.control->ReadProperties(bag);
    EXPECT_EQ(b.control->Loops(), 28789);
    EXPECT_EQ(b.control->loopsRemaining, 28789);

    // Counts beyond 16 bits read without error and count down in full.
    PropertyBag big = bagWithGif(threeFrameGif(2));
    big.writeProperty("LOOPS", PropertyValue{int32_t{40000}});
    Fixture c;
    EXPECT_NO_THROW(c.control->ReadProperties(big));
    EXPECT_EQ(c.control->Loops(), 40000);
    EXPECT_EQ(c.control->loopsRemaining, 40000);
}

TEST(ReadProperties, ValuesAreTakenAsStoredWithoutTheSettersRules) {
    struct Case {
        int32_t stored, expected;
    };
    for (const Case& k : {Case{-1, 1}, Case{0, 0}, Case{3, 3}, Case{7, 7}, Case{-5, -5}}) {
        PropertyBag bag = bagWithGif(threeFrameGif(0));
        bag.writeProperty("DelayLoad", PropertyValue{k.stored});
        Fixture f;
        f.control->ReadProperties(bag);
        EXPECT_EQ(f.control->DelayAnimation(), k.expected) << "stored " << k.stored;
    }
    // Below the setter's lower bound of 10, and a stepped delay the setter would turn off.
    PropertyBag bag = bagWithGif(threeFrameGif(0));
    bag.writeProperty("Delay", PropertyValue{int16_t{5}});
    bag.writeProperty("StepDelay", PropertyValue{int32_t{-4}});
    Fixture f;
    f.control->ReadProperties(bag);
    EXPECT_EQ(f.control->MinFrameDelay(), 5);
    EXPECT_EQ(f.control->SteppedDelay(), -4);
}

TEST(ReadProperties, ConversionErrorsReachTheCallerAndKeepWhatWasApplied) {
    const giftest::Bytes gif = threeFrameGif(0);
    PropertyBag tooLong = bagWithGif(gif);
    tooLong.writeProperty("Delay", PropertyValue{int32_t{40000}});
    tooLong.writeProperty("Stretch", PropertyValue{int32_t{3}});
    Fixture a;
    try {
        a.control->ReadProperties(tooLong);
        FAIL() << "a 40000 ms Delay does not fit 16 bits";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.number(), platform::errors::kOverflow);
    }
    EXPECT_EQ(a.control->GifBytes.upperBound(), static_cast<int32_t>(gif.size()));
    EXPECT_EQ(a.control->Stretch(), anigif::StretchFit);  // after the failure: not applied
    EXPECT_EQ(a.control->FrameCount(), 0);                // the load never ran

    PropertyBag notAPicture = bagWithGif(gif);
    notAPicture.writeProperty("MouseIcon", PropertyValue{int16_t{1}});
    Fixture b;
    try {
        b.control->ReadProperties(notAPicture);
        FAIL() << "a number is no mouse icon";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.number(), platform::errors::kTypeMismatch);
    }

    PropertyBag gifAsNumber;
    gifAsNumber.writeProperty("gif", PropertyValue{int32_t{1}});
    Fixture c;
    EXPECT_THROW(c.control->ReadProperties(gifAsNumber), platform::RuntimeError);
}

TEST(ReadProperties, RunModeDefersTheRestAndPlaysAtTheGifsPace) {
    Fixture f(/*run=*/true);
    f.control->ReadProperties(bagWithGif(threeFrameGif(0)));
    EXPECT_EQ(f.control->FrameCount(), 3);
    EXPECT_EQ(f.control->CurrentFrame(), 1);
    // The deferred decode, then frames every 100 ms (10 hundredths, above the 50 ms minimum).
    f.clock.advance(20);
    EXPECT_EQ(f.clock.interval(f.host.parentWindow(), f.control->timerId()), 100u);
    f.clock.advance(100);
    EXPECT_EQ(f.control->CurrentFrame(), 2);
    f.clock.advance(200);
    EXPECT_EQ(f.control->CurrentFrame(), 1);
    // At run time the bytes are released once the frames are built.
    PropertyBag after;
    f.control->WriteProperties(after);
    EXPECT_TRUE(after.find("gif")->toBytes().empty());
}

TEST(ReadProperties, ExtremeStoredValuesStillLoadPaintAndPlay) {
    // Stored values skip the setters' range checks, so every member that uses them later must
    // cope with whatever a description holds.
    PropertyBag bag = bagWithGif(threeFrameGif(0));
    bag.writeProperty("Delay", PropertyValue{int16_t{-32768}});
    bag.writeProperty("Stretch", PropertyValue{int32_t{99}});
    bag.writeProperty("DelayLoad", PropertyValue{int32_t{-77}});
    bag.writeProperty("Mirror", PropertyValue{int32_t{1000}});
    bag.writeProperty("OffsetX", PropertyValue{int32_t{2147483647}});
    bag.writeProperty("OffsetY", PropertyValue{int32_t{-2147483647 - 1}});
    bag.writeProperty("BkgFill", PropertyValue{int32_t{-1}});
    bag.writeProperty("BkgUsed", PropertyValue{true});
    bag.writeProperty("StepDelay", PropertyValue{int32_t{-5}});
    bag.writeProperty("Loops", PropertyValue{int32_t{-3}});
    Fixture f(/*run=*/true);
    f.control->ReadProperties(bag);
    EXPECT_EQ(f.control->FrameCount(), 3);
    f.control->Action(anigif::ActionPlay);
    f.clock.advance(2000);
    f.host.refresh();
    EXPECT_GE(f.control->CurrentFrame(), 1);
}

}  // namespace

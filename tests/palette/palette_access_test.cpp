// Palette access on the headless host: choosing a table, array bounds, the colour-table cache,
// loads emptying it, pausing and resuming a playing animation, and the repaint of a stopped one.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gifcontrol/decode/bytes_to_picture.h"
#include "tests/support/control_fixture.h"

namespace {

using anigif::ucAniGIF;
using namespace anigif;  // Action and mode names
using Palette = ucAniGIF::PaletteArray;

constexpr platform::WindowId kWindow = 31;
constexpr uint32_t kRed = 0x00FF0000;
constexpr uint32_t kGreen = 0x0000FF00;

// 256 global colours with a pure red at 1; frame 2 alone has a 4-colour local table.
std::vector<uint32_t> globalColours() {
    auto colours = giftest::testPalette(256);
    colours[1] = kRed;
    return colours;
}
const std::vector<uint32_t> kLocal = {0x00112233, 0x00445566, 0x00778899, 0x00AABBCC};

giftest::Bytes threeFrames() {
    giftest::GifBuilder b;
    b.screen(2, 2).globalTable(globalColours()).loop(0);
    for (int k = 1; k <= 3; ++k) {
        auto f = giftest::makeFrame(2, 2, [](int, int) { return uint8_t{1}; });
        f.control = true;
        f.delayCs = 10;
        f.disposal = 1;
        if (k == 2) f.localTable = kLocal;
        b.frame(f);
    }
    return b.build();
}

giftest::Bytes oneFrame() {
    return giftest::GifBuilder()
        .screen(2, 2)
        .globalTable(globalColours())
        .frame(giftest::makeFrame(2, 2, [](int, int) { return uint8_t{1}; }))
        .build();
}

// Only a local table: the global table has no colours.
giftest::Bytes localOnly() {
    auto f = giftest::makeFrame(2, 2, [](int, int) { return uint8_t{1}; });
    f.localTable = kLocal;
    return giftest::GifBuilder().screen(2, 2).frame(f).build();
}

Palette filled(int32_t first, int32_t last, int32_t (*value)(int32_t)) {
    Palette p;
    p.redim(first, last);
    for (int32_t i = first; i <= last; ++i) p(i) = value(i);
    return p;
}

class PaletteAccess : public giftest::ControlFixture {
  protected:
    PaletteAccess() {
        host.setParentWindow(kWindow);
        host.setInnerSize(2, 2);
        gif->stretchMode = StretchNone;
    }
};

TEST_F(PaletteAccess, GetPaletteChoosesTheGlobalOrAFramesOwnTable) {
    Palette p;
    EXPECT_FALSE(gif->GetPalette(0, p)) << "nothing loaded";
    loadBytes(threeFrames());

    ASSERT_TRUE(gif->GetPalette(0, p));
    EXPECT_EQ(p.lowerBound, 0);
    ASSERT_EQ(p.values.size(), 256u);
    EXPECT_EQ(p(1), static_cast<int32_t>(kRed));  // 0x00RRGGBB, not 0x00BBGGRR
    EXPECT_EQ(p(255), static_cast<int32_t>(globalColours()[255]));

    // An old array of any shape is replaced by 0 .. count - 1.
    Palette q = filled(-3, 10, [](int32_t) { return -1; });
    ASSERT_TRUE(gif->GetPalette(2, q));
    EXPECT_EQ(q.lowerBound, 0);
    EXPECT_EQ(q.values, (std::vector<int32_t>(kLocal.begin(), kLocal.end())));

    // No table: frames on the global table, beyond the count, negative. The array stays.
    for (int32_t k : {1, 3, 4, -1}) {
        Palette r = filled(5, 6, [](int32_t i) { return i; });
        EXPECT_FALSE(gif->GetPalette(k, r)) << k;
        EXPECT_EQ(r.lowerBound, 5);
        EXPECT_EQ(r.values, (std::vector<int32_t>{5, 6})) << k;
    }
}

TEST_F(PaletteAccess, GetPaletteOnATableWithoutColoursIsFalseAndResumes) {
    loadBytes(localOnly());
    Palette p = filled(0, 0, [](int32_t) { return 7; });
    EXPECT_FALSE(gif->GetPalette(0, p));
    EXPECT_EQ(p.values, std::vector<int32_t>{7});
    ASSERT_TRUE(gif->GetPalette(1, p));
    EXPECT_EQ(p.values.size(), 4u);
}

TEST_F(PaletteAccess, SetPaletteNeedsAFullArrayAndCopiesFromItsLowerBound) {
    Palette full = filled(0, 255, [](int32_t i) { return i * 3; });
    EXPECT_FALSE(gif->SetPalette(0, full)) << "nothing loaded";
    loadBytes(threeFrames());
    const auto loaded = gif->ColorTables;

    // Refused: never dimensioned, one short, dimensioned but empty, negative index, no table.
    Palette never;
    never.values.assign(256, 1);
    EXPECT_FALSE(gif->SetPalette(0, never));
    EXPECT_FALSE(gif->SetPalette(0, filled(1, 255, [](int32_t) { return 1; })));
    Palette empty;
    empty.redim(0, -1);
    EXPECT_FALSE(gif->SetPalette(2, empty));
    EXPECT_FALSE(gif->SetPalette(-1, full));
    EXPECT_FALSE(gif->SetPalette(1, full));
    EXPECT_FALSE(gif->SetPalette(4, full));
    EXPECT_EQ(gif->ColorTables, loaded);

    // An array 5 to 300 fills entries 0..255 from elements 5..260; the count stays.
    ASSERT_TRUE(gif->SetPalette(0, filled(5, 300, [](int32_t i) { return i * 16; })));
    for (int i = 0; i < 256; ++i) ASSERT_EQ(gif->ColorTables[0][i], uint32_t((i + 5) * 16)) << i;
    EXPECT_EQ(gif->ColorTables[0][kColorCountEntry], 256u);
    EXPECT_EQ(gif->ColorTables[1], loaded[1]);
    EXPECT_EQ(gif->TableCount, -1);

    // A local table takes only its own count; the rest of the array is ignored.
    ASSERT_TRUE(gif->SetPalette(2, full));
    EXPECT_EQ(gif->ColorTables[1][3], 9u);
    EXPECT_EQ(gif->ColorTables[1][4], loaded[1][4]);
    EXPECT_EQ(gif->ColorTables[1][kColorCountEntry], 4u);

    Palette back;
    ASSERT_TRUE(gif->GetPalette(2, back));
    EXPECT_EQ(back.values, (std::vector<int32_t>{0, 3, 6, 9}));

    // An empty array (upper bound one below the lower) is no array of two colours.
    loadBytes(giftest::GifBuilder()
                  .screen(1, 1)
                  .globalTable({kRed, kGreen})
                  .frame(giftest::makeFrame(1, 1, [](int, int) { return uint8_t{1}; }))
                  .build());
    EXPECT_FALSE(gif->SetPalette(0, empty));
    EXPECT_EQ(gif->ColorTables[0][1], kGreen);
}

TEST_F(PaletteAccess, CacheStatesAndTheLoadThatEmptiesThem) {
    // Caching does not depend on a load; restoring an empty copy gives the empty tables back.
    EXPECT_TRUE(gif->CacheColorTables());
    EXPECT_TRUE(gif->RestoreColorTables(true));
    EXPECT_FALSE(gif->RestoreColorTables(false));

    loadBytes(threeFrames());
    const auto loaded = gif->ColorTables;
    EXPECT_FALSE(gif->RestoreColorTables(false)) << "empty";
    EXPECT_TRUE(gif->CacheColorTables());
    const Palette green = filled(0, 255, [](int32_t) { return int32_t{kGreen}; });
    ASSERT_TRUE(gif->SetPalette(0, green));
    EXPECT_FALSE(gif->CacheColorTables()) << "held: the first copy stays";

    EXPECT_TRUE(gif->RestoreColorTables(false));
    EXPECT_EQ(gif->ColorTables, loaded);
    EXPECT_EQ(gif->TableCount, -1);
    EXPECT_TRUE(gif->ColorTablesCached());

    ASSERT_TRUE(gif->SetPalette(0, green));
    EXPECT_TRUE(gif->RestoreColorTables(false)) << "a held copy restores again";
    EXPECT_EQ(gif->ColorTables, loaded);
    ASSERT_TRUE(gif->SetPalette(0, green));
    EXPECT_TRUE(gif->RestoreColorTables(true));
    EXPECT_EQ(gif->ColorTables, loaded);
    EXPECT_FALSE(gif->ColorTablesCached());
    EXPECT_FALSE(gif->RestoreColorTables(false));

    // A load, successful or not, empties the cache.
    EXPECT_TRUE(gif->CacheColorTables());
    loadBytes(oneFrame());
    EXPECT_FALSE(gif->RestoreColorTables(true));
    EXPECT_TRUE(gif->CacheColorTables());
    EXPECT_FALSE(gif->loadGifBytes(giftest::Bytes{'G', 'I', 'F'}));
    EXPECT_FALSE(gif->RestoreColorTables(true));
}

TEST_F(PaletteAccess, APlayingAnimationPausesAndResumesFromItsFrame) {
    loadBytes(threeFrames());
    ASSERT_EQ(gif->Action(), ActionPlay);
    clock.advance(100);
    ASSERT_EQ(gif->CurrentFrame(), 2);
    host.clearRecords();

    Palette p;
    EXPECT_TRUE(gif->GetPalette(0, p));
    EXPECT_TRUE(gif->SetPalette(0, p));
    EXPECT_FALSE(gif->GetPalette(1, p));
    EXPECT_EQ(gif->Action(), ActionPlay);
    EXPECT_EQ(gif->CurrentFrame(), 2);
    EXPECT_TRUE(timerPending());
    EXPECT_TRUE(host.events().empty());
    EXPECT_EQ(host.refreshCount(), 0) << "a playing control shows the colours with its next frame";

    clock.advance(100);
    EXPECT_EQ(gif->CurrentFrame(), 3);

    // Paused stays paused, and repaints on SetPalette.
    gif->Action(ActionPause);
    host.clearRecords();
    EXPECT_TRUE(gif->SetPalette(0, p));
    EXPECT_EQ(gif->Action(), ActionPause);
    EXPECT_FALSE(timerPending());
    EXPECT_EQ(host.refreshCount(), 1);
}

TEST_F(PaletteAccess, AStoppedControlRepaintsWithTheNewColours) {
    loadBytes(oneFrame());
    ASSERT_EQ(gif->Action(), ActionStop);
    host.refresh();
    ASSERT_NE(host.surface(), nullptr);
    EXPECT_EQ(host.surface()->pixel(1, 1), kRed);
    const int before = host.refreshCount();

    // The frame's table is the one already loaded into the strip; it must load again.
    Palette p;
    ASSERT_TRUE(gif->GetPalette(0, p));
    p(1) = static_cast<int32_t>(kGreen);
    ASSERT_TRUE(gif->SetPalette(0, p));
    EXPECT_EQ(host.refreshCount(), before + 1);
    EXPECT_EQ(host.surface()->pixel(1, 1), kGreen);
}

TEST_F(PaletteAccess, RestoredColoursShowAtTheNextPaint) {
    loadBytes(oneFrame());
    ASSERT_TRUE(gif->CacheColorTables());
    Palette p;
    ASSERT_TRUE(gif->GetPalette(0, p));
    p(1) = static_cast<int32_t>(kGreen);
    ASSERT_TRUE(gif->SetPalette(0, p));
    ASSERT_EQ(host.surface()->pixel(0, 0), kGreen);
    const int before = host.refreshCount();

    ASSERT_TRUE(gif->RestoreColorTables(false));
    EXPECT_EQ(host.refreshCount(), before);
    host.refresh();
    EXPECT_EQ(host.surface()->pixel(0, 0), kRed);
}

TEST_F(PaletteAccess, TheWrittenFrameCarriesTheNewColours) {
    loadBytes(threeFrames());
    gif->Action(ActionPause);
    Palette p;
    ASSERT_TRUE(gif->GetPalette(0, p));
    p(1) = static_cast<int32_t>(kGreen);
    ASSERT_TRUE(gif->SetPalette(0, p));

    const auto picture = gif->AnimatedGIF();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->index(0, 0), 1);
    ASSERT_GE(picture->colorTable().size(), 2u);
    EXPECT_EQ(picture->colorTable()[1], kGreen);

    // Frame 2's own table is untouched by a change of the global one.
    const auto second = gif->BuildFrameGif(2);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->colorTable()[1], kLocal[1]);
}

}  // namespace

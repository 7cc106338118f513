// Hostile streams: every prefix of a rich multi-frame GIF, and GIFs whose sizes would need more
// memory than a surface may take. Loads must end cleanly, never crash, and stay bounded.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "gifcontrol/render/uc_ani_gif.h"
#include "tests/support/gif_builder.h"
#include "tests/support/headless_control.h"
#include "tests/support/sanitizer.h"

namespace {

using giftest::Bytes;

struct Loaded : giftest::HeadlessControl {
    explicit Loaded(const Bytes& bytes) { gif->loadGifBytes(bytes); }

    // Composes every frame in order, as the animation does.
    void composeAll() {
        if (!gif->Composite) return;
        std::vector<uint8_t> maskSave, compositeSave;
        for (int32_t i = 1; i <= gif->FrameCount(); ++i) {
            gif->ComposeFrame(i, false, maskSave, compositeSave);
            gif->ComposeFrame(i, true, maskSave, compositeSave);
        }
    }

    // The indices of frame i's strip cell, row by row.
    std::vector<uint8_t> cell(int32_t i) const {
        const auto& f = gif->Frames(i);
        std::vector<uint8_t> out;
        for (int32_t y = 0; y < f.Height; ++y)
            for (int32_t x = 0; x < f.Width; ++x)
                out.push_back(static_cast<uint8_t>(gif->Strip->pixel(f.StripX + x, y)));
        return out;
    }
};

// Four frames that between them use every kind of block the parser and builder handle.
Bytes richGif(std::vector<size_t>* imageEnds) {
    giftest::GifBuilder b;
    b.screen(20, 16).globalTable(giftest::testPalette(16)).loop(3).comment("prefix test");
    auto f1 = giftest::makeFrame(20, 16, [](int x, int y) { return (x + 2 * y) % 16; });
    f1.control = true;
    f1.delayCs = 10;
    f1.disposal = 1;
    b.frame(f1);
    std::vector<size_t> ends{b.build(false).size()};
    auto f2 = giftest::makeFrame(9, 7, [](int x, int y) { return (x * y) % 4; });
    f2.left = 3;
    f2.top = 5;
    f2.control = true;
    f2.transparent = true;
    f2.transIndex = 2;
    f2.disposal = 3;
    f2.localTable = giftest::testPalette(4);
    f2.minCodeSize = 2;
    b.frame(f2);
    ends.push_back(b.build(false).size());
    auto f3 = giftest::makeFrame(11, 13, [](int x, int y) { return (3 * x + y) % 16; });
    f3.left = 9;
    f3.top = 1;
    f3.interlaced = true;
    f3.control = true;
    f3.disposal = 2;
    f3.minCodeSize = 4;
    b.frame(f3);
    ends.push_back(b.build(false).size());
    auto f4 = giftest::makeFrame(6, 6, [](int x, int) { return x; });
    f4.left = 14;
    f4.top = 10;  // reaches past the logical screen
    b.frame(f4);
    ends.push_back(b.build(false).size());
    if (imageEnds) *imageEnds = ends;
    return b.build();
}

TEST(Prefixes, EveryPrefixLoadsWithoutHarmAndKeepsCompletedFrames) {
    std::vector<size_t> imageEnds;
    const Bytes whole = richGif(&imageEnds);
    Loaded full(whole);
    ASSERT_EQ(full.gif->FrameCount(), 4);
    ASSERT_TRUE(full.gif->Composite);
    ASSERT_TRUE(full.gif->Mask);
    full.composeAll();

    int32_t previous = 0;
    for (size_t len = 0; len <= whole.size(); ++len) {
        SCOPED_TRACE(len);
        Loaded cut(Bytes(whole.begin(), whole.begin() + static_cast<long>(len)));
        const int32_t n = cut.gif->FrameCount();
        cut.composeAll();
        // More bytes never lose a frame.
        EXPECT_GE(n, previous);
        previous = n;
        // Every image whose bytes are complete is decoded exactly as in the whole stream.
        const auto complete = std::count_if(imageEnds.begin(), imageEnds.end(),
                                            [&](size_t end) { return end <= len; });
        ASSERT_GE(n, complete);
        for (int32_t i = 1; i <= complete; ++i) EXPECT_EQ(cut.cell(i), full.cell(i)) << i;
        // An image cut inside its data shows what was decoded and index 0 for the rest, never
        // bytes left over from another frame. One pixel may be wrong: the code the cut split.
        if (n > complete) {
            const auto got = cut.cell(n), want = full.cell(n);
            ASSERT_EQ(got.size(), want.size());
            size_t wrong = 0;
            for (size_t p = 0; p < got.size(); ++p) wrong += got[p] != 0 && got[p] != want[p];
            EXPECT_LE(wrong, 1u) << "frame " << n;
        }
    }
    EXPECT_EQ(previous, 4);
}

// An image descriptor of any size with a few bytes of valid image data.
Bytes image(int left, int top, int width, int height) {
    auto w = [](Bytes& out, int v) {
        out.push_back(static_cast<uint8_t>(v & 0xFF));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    Bytes out{0x2C};
    w(out, left);
    w(out, top);
    w(out, width);
    w(out, height);
    out.push_back(0);
    const auto data = giftest::lzwImageData({0, 1, 1, 0}, 2);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes manyImages(int count, int width, int height) {
    giftest::GifBuilder b;
    b.screen(width, height).globalTable(giftest::testPalette(4));
    const Bytes one = image(0, 0, width, height);
    Bytes body;
    for (int i = 0; i < count; ++i) body.insert(body.end(), one.begin(), one.end());
    return b.raw(body).build();
}

struct ChildResult {
    int32_t frames = -1;
    long peakRssKiB = -1;
};

// Loads in a child process so that the peak resident set belongs to this load alone.
ChildResult loadInChild(const Bytes& bytes) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        ChildResult r;
        {
            Loaded l(bytes);
            l.composeAll();
            r.frames = l.gif->FrameCount();
        }
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        r.peakRssKiB = usage.ru_maxrss;
        const auto written = write(fds[1], &r, sizeof r);
        _exit(written == sizeof r ? 0 : 1);
    }
    close(fds[1]);
    ChildResult r;
    if (pid < 0 || read(fds[0], &r, sizeof r) != sizeof r) r = {};
    close(fds[0]);
    if (pid > 0) waitpid(pid, nullptr, 0);
    return r;
}

// Beyond what this process held before the load; leaves room for sanitizer bookkeeping.
constexpr long kBoundKiB = 96 * 1024;

constexpr bool kSanitized = testsupport::kAddressSanitized;

long ownPeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct HugeCase {
    const char* name;
    Bytes bytes;
};

TEST(HugeSizes, FailCleanlyWithNoFramesAndBoundedMemory) {
    const HugeCase cases[] = {
        // 4 GiB of strip for one frame.
        {"one 65535 x 65535 frame", manyImages(1, 65535, 65535)},
        // Small first frames, then the huge one: the strip is sized before any decoding.
        {"65535 x 65535 after small frames", giftest::GifBuilder()
                                                 .globalTable(giftest::testPalette(4))
                                                 .raw(image(0, 0, 2, 2))
                                                 .raw(image(0, 0, 3, 3))
                                                 .raw(image(0, 0, 65535, 65535))
                                                 .build()},
        // 3000 frames of 30000 x 32: each small, the strip 90 million pixels wide (2.9 GB).
        {"3000 wide frames", manyImages(3000, 30000, 32)},
        // 40000 images of 65535 x 1: capped at 32767 frames, whose widths overflow a row.
        {"32767 frames of 65535 x 1", manyImages(40000, 65535, 1)},
    };
    const long before = ownPeakRssKiB();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = loadInChild(c.bytes);
        EXPECT_EQ(r.frames, 0);
        ASSERT_GT(r.peakRssKiB, 0);
        std::printf("%s: GIF %zu bytes, peak RSS %ld KiB\n", c.name, c.bytes.size(), r.peakRssKiB);
        RecordProperty(c.name, std::to_string(r.peakRssKiB) + " KiB");
        EXPECT_LT(r.peakRssKiB, before + kBoundKiB);
    }
}

TEST(HugeSizes, LargeSurfacesWithinBudgetLoadAndCostOnlyWhatIsWritten) {
    // The budget must not turn away a large but sound GIF. The image data of these end early,
    // so most of every surface is never written and must cost no memory.
    giftest::GifBuilder spread;  // two 2 x 2 frames 10000 x 9000 apart: a 270 MB composite
    spread.globalTable(giftest::testPalette(4)).raw(image(0, 0, 2, 2)).raw(image(9998, 8998, 2, 2));
    const HugeCase cases[] = {
        // 130 full-HD frames: a 270 MB strip.
        {"130 frames of 1920 x 1080", manyImages(130, 1920, 1080)},
        {"two pixels 10000 x 9000 apart", spread.build()},
        // A 32 MiB strip and a 48 MiB composite.
        {"two 4096 x 4096 frames", manyImages(2, 4096, 4096)},
    };
    const int32_t frames[] = {130, 2, 2};
    const long before = ownPeakRssKiB();
    for (size_t k = 0; k < std::size(cases); ++k) {
        SCOPED_TRACE(cases[k].name);
        const auto r = loadInChild(cases[k].bytes);
        EXPECT_EQ(r.frames, frames[k]);
        std::printf("%s: peak RSS %ld KiB\n", cases[k].name, r.peakRssKiB);
        // Under the address sanitizer every surface is a heap block, cleared by writing it.
        if (!kSanitized) {
            EXPECT_LT(r.peakRssKiB, before + kBoundKiB);
        }
    }
}

}  // namespace

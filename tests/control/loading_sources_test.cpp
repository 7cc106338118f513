// Loading sources on the headless host: files (also with a Chinese name), arrays of one, two and
// three dimensions, the design-time picture, and remote downloads served by the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gifcontrol/decode/bytes_to_picture.h"
#include "gifcontrol/decode/gif_array.h"
#include "platform/memory_budget.h"
#include "tests/support/control_fixture.h"

namespace {

using namespace anigif;
using Strings = std::vector<std::string>;

// A GIF of `frames` frames of w x h, frame k filled with colour k + 1.
giftest::Bytes animation(int frames, int w = 6, int h = 4) {
    return giftest::solidAnimation(w, h, 16, std::vector<int>(static_cast<size_t>(frames), 10));
}

class Loading : public giftest::ControlFixture {
  protected:
    Loading() {
        host.setInnerSize(6, 4);
        dir = std::filesystem::temp_directory_path() /
              ("kavrilo-loading-" +
               std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    ~Loading() override {
        gif.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    std::string write(const std::string& name, const giftest::Bytes& bytes) {
        // File names are UTF-8 bytes here, as the control takes them.
        const auto path = dir / name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }
    Strings eventNames() const {
        Strings out;
        for (const auto& e : host.events()) out.push_back(e.name);
        return out;
    }
    // Leaves the control with a 3-frame GIF playing, records cleared.
    void loadPlaying() {
        ASSERT_TRUE(gif->loadGifBytes(animation(3)));
        ASSERT_EQ(gif->Action(), ActionPlay);
        host.clearRecords();
    }
    void expectEmpty() const {
        EXPECT_EQ(gif->FrameCount(), 0);
        EXPECT_EQ(gif->CurrentFrame(), 0);
        EXPECT_TRUE(gif->GifBytes.empty());
        EXPECT_EQ(gif->Action(), ActionStop);
    }

    std::filesystem::path dir;
};

TEST_F(Loading, FileByPlainAndChineseName) {
    const auto bytes = animation(3, 7, 5);
    const std::string plain = write("plain.gif", bytes);
    const std::string chinese = write("动画 小球.gif", bytes);

    ASSERT_TRUE(gif->LoadAnimatedGIF_File(plain));
    EXPECT_EQ(gif->FrameCount(), 3);
    ASSERT_TRUE(gif->LoadAnimatedGIF_File(chinese));
    EXPECT_EQ(gif->FrameCount(), 3);
    EXPECT_EQ(gif->screenWidth, 7);
    EXPECT_EQ(gif->screenHeight, 5);
    // Stretch 1 fits the control to the picture after the load.
    EXPECT_EQ(host.scaleHeight(), 4);
    EXPECT_EQ(host.scaleWidth(), 6);  // 7 x 5 fitted into 6 x 4: scale 0.8 -> 5.6 rounds to 6
}

TEST_F(Loading, FileThatCannotBeReadEmptiesTheControl) {
    const std::string empty = write("empty.gif", {});
    const std::string notGif = write("text.gif", {'h', 'e', 'l', 'l', 'o'});
    // A GIF followed by a hole that takes it past the memory budget: refused before any read.
    const std::string huge = write("huge.gif", animation(2));
    std::filesystem::resize_file(huge, platform::memoryBudgetBytes() + 1);
    for (const std::string& name :
         {(dir / "missing.gif").string(), empty, notGif, huge, dir.string(), std::string()}) {
        SCOPED_TRACE(name);
        loadPlaying();
        EXPECT_FALSE(gif->LoadAnimatedGIF_File(name));
        expectEmpty();
        EXPECT_FALSE(clock.isPending(host.parentWindow(), gif->timerId()));
    }
    // A name with an embedded NUL names no file, not its prefix.
    const std::string good = write("good.gif", animation(2));
    EXPECT_FALSE(gif->LoadAnimatedGIF_File(good + std::string(1, '\0') + "x"));
}

TEST_F(Loading, OneBudgetForEverythingTheControlHolds) {
    // 40 frames of 64 x 48 with a composite: strip, composite and mask, all counted.
    const giftest::Bytes bytes =
        giftest::solidAnimation(64, 48, 64, std::vector<int>(40, 10), /*disposal=*/1);
    const std::string file = write("budget.gif", bytes);
    ASSERT_TRUE(gif->LoadAnimatedGIF_File(file));
    const std::size_t held = gif->heldBytes();
    EXPECT_GE(held, std::size_t{64} * 40 * 48 + 64 * 48 * 3);
    EXPECT_LE(held, gif->MemoryBudget());

    // A budget below what the load needs: no frames, from a file, from memory or at design time.
    gif->MemoryBudget(held / 2);
    EXPECT_EQ(gif->MemoryBudget(), held / 2);
    EXPECT_FALSE(gif->LoadAnimatedGIF_File(file));
    expectEmpty();
    EXPECT_FALSE(gif->loadGifBytes(bytes));
    EXPECT_FALSE(gif->Strip || gif->Composite);

    // Just enough: it loads, and stretched paints keep frames only within what is left.
    gif->MemoryBudget(held + bytes.size() + (std::size_t{256} << 10));
    ASSERT_TRUE(gif->loadGifBytes(bytes));
    std::vector<uint32_t> pixels(300 * 200);
    PaintTarget target;
    target.pixels = pixels.data();
    target.stride = 300 * 4;
    target.width = 300;
    target.height = 200;
    gif->Stretch(StretchFill);
    host.setInnerSize(300, 200);
    for (int32_t k = 1; k <= 40; ++k) {
        gif->Action(ActionStep);
        gif->paintInto(target);
        ASSERT_LE(gif->heldBytes(), gif->MemoryBudget());
    }
    EXPECT_LE(gif->heldBytes() + gif->paintRoomBytes(), gif->MemoryBudget());

    // A budget above the default is cut to it; 0 is the default.
    gif->MemoryBudget(std::numeric_limits<std::size_t>::max());
    EXPECT_EQ(gif->MemoryBudget(), platform::memoryBudgetBytes());
    gif->MemoryBudget(0);
    EXPECT_EQ(gif->MemoryBudget(), platform::memoryBudgetBytes());
}

TEST(MemoryBudgetText, ByteCounts) {
    EXPECT_EQ(platform::parseByteCount("1048576"), std::size_t{1} << 20);
    EXPECT_EQ(platform::parseByteCount("512M"), std::size_t{512} << 20);
    EXPECT_EQ(platform::parseByteCount("2g"), std::size_t{2} << 30);
    for (const char* bad : {"", "0", "M", "-1", "1.5G", "12 M", "99999999999999999999"})
        EXPECT_FALSE(platform::parseByteCount(bad)) << bad;
}

TEST_F(Loading, ArraysOfOneAndTwoDimensions) {
    const auto bytes = animation(2);
    EXPECT_TRUE(gif->LoadAnimatedGIF_Array(GifArray(bytes)));
    EXPECT_EQ(gif->FrameCount(), 2);

    const auto n = static_cast<int64_t>(bytes.size());
    const std::span<const uint8_t> all(bytes);
    EXPECT_TRUE(gif->LoadAnimatedGIF_Array(GifArray::twoDimensional(all, 1, n)));
    EXPECT_EQ(gif->FrameCount(), 2);
    EXPECT_TRUE(gif->LoadAnimatedGIF_Array(GifArray::twoDimensional(all, n, 1)));

    // Elements of any type are copied as raw memory: element size x count bytes.
    auto padded = bytes;
    if (padded.size() % 2) padded.push_back(0);
    std::vector<uint16_t> words(padded.size() / 2);
    std::memcpy(words.data(), padded.data(), padded.size());
    EXPECT_TRUE(gif->LoadAnimatedGIF_Array(GifArray(words)));
    EXPECT_EQ(gif->FrameCount(), 2);
}

TEST_F(Loading, UnusableArraysEmptyTheControl) {
    const auto bytes = animation(2);
    const auto n = static_cast<int64_t>(bytes.size());
    const std::vector<GifArray> unusable = {
        GifArray(),                                               // no array
        GifArray::raw(bytes.data(), bytes.size(), 1, {1, 1, n}),  // three dimensions
        GifArray::raw(bytes.data(), bytes.size(), 1, {}),         // none
        GifArray(std::span<const uint8_t>()),                     // allocated, empty
        GifArray::raw(bytes.data(), bytes.size(), 1, {-1}),       // nonsense count
    };
    for (size_t k = 0; k < unusable.size(); ++k) {
        SCOPED_TRACE(k);
        loadPlaying();
        EXPECT_FALSE(gif->LoadAnimatedGIF_Array(unusable[k]));
        expectEmpty();
    }
}

TEST_F(Loading, ArrayNeverReadPastWhatItHolds) {
    // The shape claims far more than the memory holds: only the held bytes are read (an
    // address sanitizer build would catch a read beyond them).
    const auto bytes = animation(2);
    auto held = std::make_unique<uint8_t[]>(bytes.size());
    std::memcpy(held.get(), bytes.data(), bytes.size());
    EXPECT_TRUE(
        gif->LoadAnimatedGIF_Array(GifArray::raw(held.get(), bytes.size(), 4, {1000, 1000000})));
    EXPECT_TRUE(gif->GifBytes.empty());  // released after the run-time build
    EXPECT_EQ(gif->FrameCount(), 2);
}

TEST_F(Loading, CallersBytesAreNeverWrittenNorReadOnceTheLoadReturns) {
    // A load built whole within the call reads the caller's bytes where they lie; a deferred
    // decode and a design-time GIF keep their own copy. Scribbling over the caller's bytes after
    // each load must change nothing the control shows or still has to decode.
    const auto bytes = animation(4, 6, 4);
    auto stripOf = [](const ucAniGIF& g) {
        return std::vector<uint8_t>(g.Strip->bits(), g.Strip->bits() + g.Strip->sizeBytes());
    };
    ASSERT_TRUE(gif->loadGifBytes(bytes));
    const auto whole = stripOf(*gif);
    for (const bool runMode : {true, false})
        for (const int32_t mode : {DelayOff, DelayHold}) {
            SCOPED_TRACE(testing::Message() << "run mode " << runMode << ", delay " << mode);
            host.setUserMode(runMode);
            gif->delayMode = mode;
            auto caller = bytes;
            ASSERT_TRUE(gif->LoadAnimatedGIF_Array(GifArray(caller)));
            EXPECT_EQ(caller, bytes);
            std::fill(caller.begin(), caller.end(), uint8_t{0xFF});
            const auto held = std::as_const(gif->GifBytes).span();
            if (!held.empty()) {
                EXPECT_TRUE(std::equal(held.begin(), held.end(), bytes.begin(), bytes.end()));
            }
            if (runMode && mode == DelayHold) {
                bool rest = false;
                ASSERT_TRUE(gif->BuildFrames(rest));
                EXPECT_EQ(stripOf(*gif), whole);
            } else if (runMode) {
                EXPECT_TRUE(held.empty());
                EXPECT_EQ(stripOf(*gif), whole);
            }
        }
}

TEST_F(Loading, AnimatedGifAssignment) {
    const auto bytes = animation(3, 8, 6);
    const auto picture = BytesToPicture(bytes);
    ASSERT_TRUE(picture);

    // Run mode: ignored, whatever was loaded stays.
    loadPlaying();
    gif->AnimatedGIF(picture.get());
    EXPECT_EQ(gif->FrameCount(), 3);
    EXPECT_EQ(gif->screenWidth, 6);
    EXPECT_TRUE(host.changedProperties().empty());

    // Design time: the picture's own bytes are loaded at their own size.
    host.setUserMode(false);
    gif->Stretch(StretchFill);
    host.setInnerSize(30, 30);
    host.clearRecords();
    gif->AnimatedGIF(picture.get());
    EXPECT_EQ(gif->FrameCount(), 3);
    EXPECT_EQ(gif->screenWidth, 8);
    EXPECT_EQ(gif->Stretch(), StretchFill);
    EXPECT_EQ(gif->scaleX, 1.0F);
    EXPECT_EQ(gif->scaleY, 1.0F);
    EXPECT_EQ(host.scaleWidth(), 8);
    EXPECT_EQ(host.scaleHeight(), 6);
    EXPECT_EQ(host.changedProperties(), (Strings{"AnimatedGIF"}));
    EXPECT_GE(host.refreshCount(), 1);
    EXPECT_EQ(gif->GifBytes.upperBound(), static_cast<int32_t>(bytes.size()));

    // No picture: the control is emptied, and the change is still reported.
    host.clearRecords();
    gif->AnimatedGIF(nullptr);
    EXPECT_EQ(gif->FrameCount(), 0);
    EXPECT_TRUE(gif->GifBytes.empty());
    EXPECT_EQ(host.changedProperties(), (Strings{"AnimatedGIF"}));
}

// ---- Remote loading through the host's asynchronous read ------------------------------------

class Remote : public Loading {
  protected:
    void complete(const giftest::Bytes& data, int64_t reported = -1) {
        gif->UserControl_AsyncReadComplete(
            "remoteGIF", data, reported < 0 ? static_cast<int64_t>(data.size()) : reported);
    }
    // A stream of exactly 15 bytes: header, screen descriptor without table, a zero byte, trailer.
    static giftest::Bytes fifteenBytes(uint16_t w, uint16_t h) {
        giftest::Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
        b.insert(b.end(),
                 {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(h),
                  static_cast<uint8_t>(h >> 8), 0, 0, 0, 0, 0x3B});
        return b;
    }
    const platform::HeadlessHost::RecordedEvent* lastEvent() const {
        return host.events().empty() ? nullptr : &host.events().back();
    }
};

TEST_F(Remote, RequestGoesToTheHostUnderRemoteGif) {
    gif->LoadAnimatedGIF_Remote("");
    EXPECT_TRUE(host.asyncReads().empty());
    EXPECT_TRUE(host.events().empty());

    gif->LoadAnimatedGIF_Remote("http://127.0.0.1/a.gif");
    ASSERT_EQ(host.asyncReads().size(), 1u);
    EXPECT_EQ(host.asyncReads()[0].target, "http://127.0.0.1/a.gif");
    EXPECT_EQ(host.asyncReads()[0].propertyName, "remoteGIF");
    EXPECT_EQ(host.asyncReads()[0].readOption, 0x80000);
    EXPECT_TRUE(host.events().empty());

    host.setAsyncReadAccepted(false);
    gif->LoadAnimatedGIF_Remote("http://127.0.0.1/b.gif");
    EXPECT_EQ(eventNames(), (Strings{"RemoteLoadFailure"}));
}

TEST_F(Remote, ValidationOfTheDownload) {
    loadPlaying();
    // 14 bytes: too short, whatever they hold; the GIF on show keeps playing.
    auto data = fifteenBytes(2, 2);
    data.pop_back();
    complete(data);
    EXPECT_EQ(eventNames(), (Strings{"RemoteLoadFailure"}));
    EXPECT_EQ(gif->FrameCount(), 3);
    EXPECT_EQ(gif->Action(), ActionPlay);

    // A count larger than the data delivered is not believed.
    host.clearRecords();
    complete(data, 5000);
    EXPECT_EQ(eventNames(), (Strings{"RemoteLoadFailure"}));

    // Not a GIF signature (case does not matter for a real one).
    host.clearRecords();
    auto wrong = fifteenBytes(2, 2);
    wrong[3] = '9';
    complete(wrong);
    EXPECT_EQ(eventNames(), (Strings{"RemoteLoadFailure"}));
    EXPECT_EQ(gif->FrameCount(), 3);

    // Fifteen bytes of a frameless GIF: validated, then loads nothing and says nothing more.
    host.clearRecords();
    auto lower = fifteenBytes(2, 2);
    lower[0] = 'g';
    lower[1] = 'i';
    lower[2] = 'f';
    complete(lower);
    EXPECT_EQ(eventNames(), (Strings{"RemoteLoadComplete"}));
    EXPECT_EQ(gif->FrameCount(), 0);

    // Forty bytes well within the budget whose frame (2000 x 2000) would pass it: a load that
    // cannot be made fails before it is announced, and what is on show stays.
    loadPlaying();
    gif->MemoryBudget(std::size_t{1} << 20);
    giftest::GifBuilder big;
    big.screen(2000, 2000).globalTable(giftest::testPalette(4));
    big.raw({0x2C, 0, 0, 0, 0, 0xD0, 0x07, 0xD0, 0x07, 0, 2, 1, 0x2C, 0});  // clear, end
    complete(big.build());
    EXPECT_EQ(eventNames(), (Strings{"RemoteLoadFailure"}));
    EXPECT_EQ(gif->FrameCount(), 3);
    EXPECT_EQ(gif->Action(), ActionPlay);
}

TEST_F(Remote, CompleteReportsTheHeaderSizeInContainerUnits) {
    host.setUnitsPerPixel(15, 15);
    auto data = animation(2, 3, 3);
    data[6] = 200;  // logical screen 200 x 100, whatever the frames are
    data[7] = 0;
    data[8] = 100;
    data[9] = 0;
    complete(data);
    ASSERT_NE(lastEvent(), nullptr);
    const auto& e = host.events().front();
    EXPECT_EQ(e.name, "RemoteLoadComplete");
    EXPECT_EQ(e.number, EventRemoteLoadComplete);
    EXPECT_EQ(std::get<float>(e.args[0].second), 3000.0F);
    EXPECT_EQ(std::get<float>(e.args[1].second), 1500.0F);
    EXPECT_EQ(std::get<bool>(e.args[2].second), false);
    EXPECT_EQ(gif->FrameCount(), 2);
}

TEST_F(Remote, CancelKeepsThePreviousAnimation) {
    loadPlaying();
    host.onEvent = [](int32_t number, std::string_view, std::span<platform::EventArg> args) {
        if (number == EventRemoteLoadComplete) args[2].value = true;
    };
    complete(animation(5));
    EXPECT_EQ(eventNames(), (Strings{"RemoteLoadComplete"}));
    EXPECT_EQ(gif->FrameCount(), 3);
    EXPECT_EQ(gif->Action(), ActionPlay);
    clock.advance(100);
    EXPECT_EQ(gif->CurrentFrame(), 2);

    // Not cancelled: the download replaces it.
    host.onEvent = nullptr;
    complete(animation(5));
    EXPECT_EQ(gif->FrameCount(), 5);
    EXPECT_EQ(gif->Action(), ActionPlay);
}

TEST_F(Remote, RefusedOrInvalidDownloadsLeaveADeferredDecodeWhole) {
    // Frames 2 and 3 still wait for the deferred decode while the downloads come in.
    gif->delayMode = DelayFirstFrame;
    ASSERT_TRUE(gif->loadGifBytes(animation(3)));
    host.clearRecords();
    const auto other = animation(2);
    complete(giftest::Bytes(other.begin(), other.begin() + 14));
    auto notGif = other;
    notGif[0] = 'J';
    complete(notGif);
    gif->UserControl_AsyncReadProgress("remoteGIF", 0, 0);
    host.onEvent = [](int32_t number, std::string_view, std::span<platform::EventArg> args) {
        if (number == EventRemoteLoadComplete) args[2].value = true;
    };
    complete(animation(5));
    EXPECT_EQ(eventNames(), (Strings{"RemoteLoadFailure", "RemoteLoadFailure", "RemoteLoadFailure",
                                     "RemoteLoadComplete"}));

    clock.advance(20);
    ASSERT_EQ(gif->FrameCount(), 3);
    EXPECT_EQ(gif->Action(), ActionPlay);
    for (int32_t k = 1; k <= 3; ++k)
        EXPECT_EQ(gif->Strip->pixel(gif->Frames(k).StripX, 0), static_cast<uint32_t>(k))
            << "frame " << k;
}

TEST_F(Remote, DownloadWithAKeeperIsKeptWhereItArrived) {
    // A deferred decode reads the download where the host delivered it, after the host has let
    // go of it: the control holds it through the keeper, and no copy is made.
    gif->delayMode = DelayFirstFrame;
    auto download = std::make_shared<const giftest::Bytes>(animation(3));
    const uint8_t* at = download->data();
    gif->UserControl_AsyncReadComplete("remoteGIF", *download,
                                       static_cast<int64_t>(download->size()), download);
    std::weak_ptr<const giftest::Bytes> watch = download;
    download.reset();
    ASSERT_FALSE(watch.expired());
    EXPECT_EQ(std::as_const(gif->GifBytes).span().data(), at);

    clock.advance(20);
    ASSERT_EQ(gif->FrameCount(), 3);
    for (int32_t k = 1; k <= 3; ++k)
        EXPECT_EQ(gif->Strip->pixel(gif->Frames(k).StripX, 0), static_cast<uint32_t>(k))
            << "frame " << k;
    // Released with the GIF bytes once every frame is built.
    EXPECT_TRUE(watch.expired());
}

TEST_F(Remote, FailedProgressCancelsTheRead) {
    gif->UserControl_AsyncReadProgress("remoteGIF", 1, 100);
    EXPECT_TRUE(host.events().empty());
    gif->UserControl_AsyncReadProgress("remoteGIF", 0, 100);
    EXPECT_EQ(host.cancelledReads(), (Strings{"remoteGIF"}));
    EXPECT_EQ(eventNames(), (Strings{"RemoteLoadFailure"}));
}

}  // namespace

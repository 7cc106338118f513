// Our LZW decoder against giflib's (tests/support/lzw_oracle.h): the conformance suite, the fuzz
// seeds, every cut of some of them, and random code streams that reach every code width, the
// deferred clear, long strings across line ends, early end codes and impossible codes.
#include "platform/lzw_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "tests/support/gif_builder.h"
#include "tests/support/lzw_oracle.h"

namespace {

using giftest::Bytes;

Bytes readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::filesystem::path> streamsOf(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(dir))
        for (const auto& e : std::filesystem::directory_iterator(dir))
            if (e.is_regular_file() && e.path().extension() != ".conf" &&
                e.path().extension() != ".txt" && e.path().extension() != ".md")
                files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(LzwAgainstGiflib, EveryFileOfTheSuiteAndTheFuzzSeedsAndEveryCutOfSome) {
    std::vector<std::filesystem::path> files = streamsOf(KAVRILO_GIF_SUITE_DIR);
    ASSERT_GT(files.size(), 50u);
    for (const auto& f : streamsOf(std::filesystem::path(KAVRILO_SOURCE_DIR) / "fuzz/corpus/lzw"))
        files.push_back(f);
    int decoded = 0, complete = 0;
    for (const auto& f : files) {
        Bytes bytes = readFile(f);
        if (f.extension() == ".bin") bytes = giftest::lzwDataAsGif(bytes);
        const auto v = giftest::compareWithGiflib(bytes);
        EXPECT_EQ(v.fault, "") << f.filename();
        decoded += v.decoded;
        complete += v.decoded && v.own.end == platform::LzwEnd::Complete;
    }
    EXPECT_GT(complete, 50);
    RecordProperty("streams", static_cast<int>(files.size()));
    RecordProperty("decoded", decoded);
    RecordProperty("complete", complete);

    // Every cut: interlaced, 4095 codes and a clear at the full table, a long plain frame.
    for (const char* name : {"4095-codes-clear.gif", "interlace.gif", "large-codes.gif"}) {
        const Bytes bytes = readFile(std::filesystem::path(KAVRILO_GIF_SUITE_DIR) / name);
        if (bytes.empty()) continue;
        uint64_t before = 0;
        for (std::size_t n = 0; n <= bytes.size(); ++n) {
            const auto v = giftest::compareWithGiflib(std::span(bytes).first(n));
            ASSERT_EQ(v.fault, "") << name << " cut at " << n;
            ASSERT_GE(v.own.pixels, before) << name << " cut at " << n;  // more data, more pixels
            before = v.own.pixels;
        }
    }
}

// Writes codes the way a GIF encoder packs them, keeping the decoder's count of codes so as to
// know the width of each.
class CodeStream {
  public:
    explicit CodeStream(int minCodeSize) : size_(minCodeSize) { reset(); }
    int clear() const { return 1 << size_; }
    int width() const { return width_; }
    int nextSlot() const { return nextSlot_; }
    int last() const { return last_; }
    void put(int code) {
        acc_ |= uint64_t(code) << n_;
        n_ += width_;
        while (n_ >= 8) {
            bytes.push_back(static_cast<uint8_t>(acc_));
            acc_ >>= 8;
            n_ -= 8;
        }
        if (running_ < 4097 && ++running_ > limit_ && width_ < 12) {
            limit_ <<= 1;
            ++width_;
        }
        if (code == clear()) {
            reset();
        } else {
            if (last_ >= 0 && nextSlot_ < 4096) ++nextSlot_;
            last_ = code;
        }
    }
    Bytes finish() {
        if (n_ > 0) bytes.push_back(static_cast<uint8_t>(acc_));
        n_ = 0;
        return bytes;
    }
    Bytes bytes;

  private:
    void reset() {
        width_ = size_ + 1;
        limit_ = 1 << width_;
        running_ = clear() + 2;
        nextSlot_ = clear() + 2;
        last_ = -1;
    }
    int size_, width_ = 0, limit_ = 0, running_ = 0, nextSlot_ = 0, last_ = -1;
    uint64_t acc_ = 0;
    int n_ = 0;
};

Bytes gifAround(int w, int h, bool interlaced, int minCodeSize, const Bytes& codes,
                std::mt19937& rng) {
    Bytes g = {'G',
               'I',
               'F',
               '8',
               '9',
               'a',
               static_cast<uint8_t>(w),
               static_cast<uint8_t>(w >> 8),
               static_cast<uint8_t>(h),
               static_cast<uint8_t>(h >> 8),
               0,
               0,
               0,
               0x2C,
               0,
               0,
               0,
               0,
               static_cast<uint8_t>(w),
               static_cast<uint8_t>(w >> 8),
               static_cast<uint8_t>(h),
               static_cast<uint8_t>(h >> 8),
               static_cast<uint8_t>(interlaced ? 0x40 : 0),
               static_cast<uint8_t>(minCodeSize)};
    std::size_t at = 0;
    while (at < codes.size()) {
        const std::size_t n = std::min<std::size_t>(codes.size() - at, 1 + rng() % 255);
        g.push_back(static_cast<uint8_t>(n));
        g.insert(g.end(), codes.begin() + static_cast<std::ptrdiff_t>(at),
                 codes.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
    }
    g.push_back(0);
    g.push_back(0x3B);
    return g;
}

TEST(LzwAgainstGiflib, RandomCodeStreams) {
    std::mt19937 rng(24);
    int counts[5] = {};
    for (int round = 0; round < 3000; ++round) {
        const int size = static_cast<int>(rng() % 9);
        CodeStream s(size);
        const int clear = s.clear();
        const bool damaged = round % 4 == 0;
        const int codes = 1 + static_cast<int>(rng() % (round % 10 == 0 ? 20000 : 3000));
        if (rng() % 2) s.put(clear);
        for (int i = 0; i < codes; ++i) {
            const unsigned r = rng() % 1000;
            if (r < 3) {
                s.put(clear);
            } else if (damaged && r < 5) {
                s.put(clear + 1);  // an early end code
            } else if (damaged && r < 7 && s.nextSlot() + 1 < (1 << s.width())) {
                s.put(s.nextSlot() + 1 +
                      static_cast<int>(rng() % ((1 << s.width()) - s.nextSlot() - 1)));
            } else if (s.last() < 0 || r < 400) {
                s.put(static_cast<int>(rng() % static_cast<unsigned>(clear)));
            } else {
                // Mostly the newest strings, so that strings grow long.
                const int newest = s.nextSlot();
                const int low = std::max(clear + 2, newest - 6);
                s.put(low + static_cast<int>(rng() % static_cast<unsigned>(newest - low + 1)));
            }
        }
        if (rng() % 2) s.put(clear + 1);
        const Bytes data = s.finish();
        const int w = 1 + static_cast<int>(rng() % 300);
        const int h = 1 + static_cast<int>(rng() % 200);
        const Bytes gif = gifAround(w, h, rng() % 3 == 0, size, data, rng);
        const auto v = giftest::compareWithGiflib(gif);
        ASSERT_TRUE(v.decoded) << "round " << round;
        ASSERT_EQ(v.fault, "") << "round " << round;
        ++counts[static_cast<int>(v.own.end)];
    }
    // Every way to end was met.
    for (int end = 0; end < 4; ++end) EXPECT_GT(counts[end], 20) << end;
}

// The rule on an impossible code, seen in the pixels: the line is kept up to the code, the rest
// is 0, although giflib makes indices up from there.
TEST(LzwAgainstGiflib, KeepsNothingAfterAnImpossibleCode) {
    CodeStream s(2);
    for (int code : {1, 2, 3, 1, 2}) s.put(code);
    s.put(s.nextSlot() + 2);  // never defined
    for (int code : {3, 3, 3}) s.put(code);
    const Bytes data = s.finish();
    std::mt19937 rng(1);
    const Bytes gif = gifAround(4, 3, false, 2, data, rng);
    const auto v = giftest::compareWithGiflib(gif);
    EXPECT_EQ(v.fault, "");
    EXPECT_EQ(v.own.end, platform::LzwEnd::BadCode);
    EXPECT_EQ(v.own.pixels, 5u);
    EXPECT_GT(v.giflibPixels, 5u);
}

}  // namespace

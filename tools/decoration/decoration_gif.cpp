// Draws the main window's decoration, a smiling ball bouncing on the grass under twinkling stars,
// and writes it as the six-frame GIF the window stores:
//
//   decoration_gif OUT.gif        (the committed copy is practice/decoration.gif)
//
// The stream layout is fixed to the byte: 200 x 200 screen with a 256-colour global table
// (packed 0xE7), a loop block for 28789 loops, six full-screen frames with delay 10, transparent
// index 255, disposal 2 and on the last frame 1, minimum code size 8, a comment that pads the
// file so that the trailer is byte 12,989, and one zero byte after the trailer (12,990 bytes).
// Drawing uses plain double arithmetic and square roots only (no trigonometry from the maths
// library), so every run on any IEEE machine gives the same bytes.
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kSize = 200;
constexpr int kFrames = 6;
constexpr size_t kFileSize = 12990;
constexpr uint8_t kClear = 255;  // transparent index

enum Colour : uint8_t {
    kWhite = 0,
    kBall = 1,
    kEdge = 2,
    kShine = 3,
    kPupil = 4,
    kCheek = 5,
    kMouth = 6,
    kTongue = 7,
    kStar = 8,
    kStarEdge = 9,
    kShadow = 10,
};

// 0xRRGGBB; unused entries stay black. Entry 255 is never shown (transparent) but is a light
// sky colour for viewers that ignore transparency.
std::array<uint32_t, 256> palette() {
    std::array<uint32_t, 256> p{};
    p[kWhite] = 0xFFFFFF;
    p[kBall] = 0x3F9BFF;
    p[kEdge] = 0x1F3266;
    p[kShine] = 0xFFFFFF;
    p[kPupil] = 0x1F2340;
    p[kCheek] = 0xFF8FB0;
    p[kMouth] = 0xB3262E;
    p[kTongue] = 0xFF7A7A;
    p[kStar] = 0xFFD21F;
    p[kStarEdge] = 0xE07B00;
    p[kShadow] = 0x86B86A;
    p[255] = 0xEAF4FF;
    return p;
}

struct Point {
    double x, y;
};

bool inEllipse(Point p, Point c, double rx, double ry) {
    const double dx = (p.x - c.x) / rx, dy = (p.y - c.y) / ry;
    return dx * dx + dy * dy <= 1.0;
}

// A four-pointed sparkle: |dx|^0.5 + |dy|^0.5 <= r^0.5; negative inside.
double sparkle(Point p, Point c, double r) {
    return std::sqrt(std::abs(p.x - c.x)) + std::sqrt(std::abs(p.y - c.y)) - std::sqrt(r);
}

// A smiling ball bouncing on the grass, squashed as it lands, with twinkling stars. The window
// shows only columns 35 and up and rows up to 131 of the 200 x 200 picture (the control sits
// partly outside the window's left and bottom edges), so everything is drawn inside that part.
std::vector<uint8_t> drawFrame(int frame) {
    std::vector<uint8_t> px(static_cast<size_t>(kSize) * kSize, kClear);
    constexpr double kRise[kFrames] = {0.0, 0.56, 0.94, 0.94, 0.56, 0.0};
    constexpr double kGround = 124.0, kRadius = 37.0, kJump = 44.0;
    const double rx = frame == 0 ? 43.0 : kRadius;  // landing squash, same area roughly
    const double ry = frame == 0 ? 31.0 : kRadius;
    const Point ball{120.0, kGround - ry - kRise[frame] * kJump};
    // cos and sin of 60 degrees per frame: the stars twinkle once per loop.
    constexpr double kCos[kFrames] = {1.0, 0.5, -0.5, -1.0, -0.5, 0.5};
    constexpr double kSin[kFrames] = {0.0, 0.8660254, 0.8660254, 0.0, -0.8660254, -0.8660254};
    struct Star {
        Point centre;
        double size;
    };
    const Star stars[] = {{{56.0, 34.0}, 12.0 + 5.0 * kCos[frame]},
                          {{184.0, 22.0}, 10.0 - 4.0 * kCos[frame]},
                          {{184.0, 86.0}, 8.0 + 3.0 * kSin[frame]}};

    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const Point p{x + 0.5, y + 0.5};
            uint8_t& c = px[static_cast<size_t>(y) * kSize + x];
            // The shadow shrinks as the ball rises.
            const double lift = kRise[frame];
            if (inEllipse(p, {ball.x, kGround + 2.0}, 30.0 - 12.0 * lift, 4.5 - 1.5 * lift))
                c = kShadow;
            for (const auto& star : stars) {
                const double s = sparkle(p, star.centre, star.size);
                if (s <= 0) c = s > -0.5 ? kStarEdge : kStar;
            }
            // Ball space: the unsquashed ball of radius kRadius centred on 0, 0.
            const Point q{(p.x - ball.x) * kRadius / rx, (p.y - ball.y) * kRadius / ry};
            const double dist = std::sqrt(q.x * q.x + q.y * q.y);
            if (dist > kRadius) continue;
            c = dist > kRadius - 3.2 ? kEdge : kBall;
            if (inEllipse(q, {-20.0, -19.0}, 6.0, 3.5) && dist <= kRadius - 6.0) c = kShine;
            for (const double side : {-11.0, 11.0}) {
                if (inEllipse(q, {side, -10.0}, 6.0, 7.5)) c = kWhite;
                if (inEllipse(q, {side + 1.0, -8.5}, 3.4, 4.6)) c = kPupil;
                if (inEllipse(q, {side + 2.2, -10.5}, 1.3, 1.5)) c = kShine;
                if (inEllipse(q, {side * 2.0, 5.0}, 5.0, 3.2)) c = kCheek;
            }
            // An open smile: the lower half of a disc, with a tongue at the bottom.
            if (q.y >= 3.0 && inEllipse(q, {0.0, 3.0}, 13.0, 13.0)) {
                c = kMouth;
                if (inEllipse(q, {0.0, 15.5}, 7.0, 5.0)) c = kTongue;
            }
        }
    }
    return px;
}

// GIF LZW with variable code width, a clear code first and whenever the table is full.
Bytes lzw(const std::vector<uint8_t>& pixels, int minCodeSize) {
    const int clear = 1 << minCodeSize, end = clear + 1;
    std::vector<std::array<uint16_t, 256>> next(4096);
    int width = minCodeSize + 1, lastCode = end;
    Bytes packed;
    uint32_t bits = 0;
    int nbits = 0;
    const auto emit = [&](int code) {
        bits |= static_cast<uint32_t>(code) << nbits;
        nbits += width;
        while (nbits >= 8) {
            packed.push_back(static_cast<uint8_t>(bits & 0xFF));
            bits >>= 8;
            nbits -= 8;
        }
    };
    const auto reset = [&] {
        for (auto& n : next) n.fill(0);
        width = minCodeSize + 1;
        lastCode = end;
    };
    reset();
    emit(clear);
    int current = pixels.empty() ? -1 : pixels[0];
    for (size_t i = 1; i < pixels.size(); ++i) {
        const uint8_t k = pixels[i];
        if (next[current][k] != 0) {
            current = next[current][k];
            continue;
        }
        emit(current);
        next[current][k] = static_cast<uint16_t>(++lastCode);
        if (lastCode >= (1 << width)) ++width;
        if (lastCode == 4095) {
            emit(clear);
            reset();
        }
        current = k;
    }
    if (current >= 0) emit(current);
    emit(end);
    if (nbits > 0) packed.push_back(static_cast<uint8_t>(bits & 0xFF));

    Bytes out{static_cast<uint8_t>(minCodeSize)};
    for (size_t at = 0; at < packed.size(); at += 255) {
        const size_t n = std::min<size_t>(255, packed.size() - at);
        out.push_back(static_cast<uint8_t>(n));
        out.insert(out.end(), packed.begin() + static_cast<std::ptrdiff_t>(at),
                   packed.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    out.push_back(0);
    return out;
}

void put16(Bytes& b, int v) {
    b.push_back(static_cast<uint8_t>(v & 0xFF));
    b.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

// A comment extension of exactly `total` bytes (at least 5): the text, then spaces.
Bytes comment(const std::string& text, size_t total) {
    Bytes out{0x21, 0xFE};
    // d data bytes in k sub-blocks take 2 + d + k + 1 bytes; use as few blocks as fit.
    const size_t budget = total - 3;
    const size_t blocks = (budget + 255) / 256;
    const size_t data = budget - blocks;
    std::string body = text.substr(0, data);
    body.resize(data, ' ');
    size_t at = 0;
    for (size_t i = 0; i < blocks; ++i) {
        const size_t n = data / blocks + (i < data % blocks ? 1 : 0);
        out.push_back(static_cast<uint8_t>(n));
        out.insert(out.end(), body.begin() + static_cast<std::ptrdiff_t>(at),
                   body.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
    }
    out.push_back(0);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.gif\n", argv[0]);
        return 2;
    }
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a'};
    put16(gif, kSize);
    put16(gif, kSize);
    gif.insert(gif.end(), {0xE7, 0x00, 0x00});
    for (const uint32_t rgb : palette())
        gif.insert(gif.end(), {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                               static_cast<uint8_t>(rgb)});
    const std::string app = "NETSCAPE2.0";
    gif.insert(gif.end(), {0x21, 0xFF, 0x0B});
    gif.insert(gif.end(), app.begin(), app.end());
    gif.insert(gif.end(), {0x03, 0x01, 0x75, 0x70, 0x00});

    for (int f = 0; f < kFrames; ++f) {
        const uint8_t disposal = f + 1 < kFrames ? 2 : 1;
        gif.insert(gif.end(), {0x21, 0xF9, 0x04, static_cast<uint8_t>((disposal << 2) | 1)});
        put16(gif, 10);
        gif.insert(gif.end(), {kClear, 0x00});
        gif.push_back(0x2C);
        put16(gif, 0);
        put16(gif, 0);
        put16(gif, kSize);
        put16(gif, kSize);
        gif.push_back(0x00);
        const Bytes data = lzw(drawFrame(f), 8);
        gif.insert(gif.end(), data.begin(), data.end());
        std::fprintf(stderr, "frame %d: %zu bytes of image data\n", f + 1, data.size());
    }

    const size_t used = gif.size() + 2;  // trailer and the zero byte after it
    if (used + 5 > kFileSize) {
        std::fprintf(stderr, "the drawing takes %zu bytes; at most %zu fit\n", used, kFileSize - 5);
        return 1;
    }
    const Bytes pad = comment("Kavrilo decoration: a bouncing ball. ", kFileSize - used);
    gif.insert(gif.end(), pad.begin(), pad.end());
    gif.push_back(0x3B);
    gif.push_back(0x00);
    if (gif.size() != kFileSize) {
        std::fprintf(stderr, "internal error: %zu bytes\n", gif.size());
        return 1;
    }

    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(gif.data()), static_cast<std::streamsize>(gif.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::fprintf(stderr, "%s: %zu bytes, %zu of them padding\n", argv[1], gif.size(), pad.size());
    return 0;
}

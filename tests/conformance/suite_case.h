#pragma once
// Reading one case of the GIF conformance suite: its .conf description and the .rgba reference
// pixels of each expected frame.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace conformance {

// 8-bit RGBA pixels, rows top-down, no padding.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    RgbaImage() = default;
    RgbaImage(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h * 4, 0) {}
    uint32_t at(int x, int y) const;  // 0xRRGGBBAA
    void set(int x, int y, uint32_t rgba);
};

struct ExpectedFrame {
    std::string pixelsFile;      // .rgba file name inside the suite, empty if not given
    std::optional<int> delayCs;  // hundredths of a second, when the case states one
};

struct SuiteCase {
    std::string name;
    std::string input;  // .gif file name
    int width = 0;      // the stream's logical screen
    int height = 0;
    std::string loopCount;        // "infinite" or a number
    bool forceAnimation = false;  // every image is a frame even without delays
    std::vector<ExpectedFrame> frames;
};

// Names listed in the suite's TESTS file, in order.
std::vector<std::string> listCases(const std::filesystem::path& suiteDir);

// Reads <name>.conf; throws std::runtime_error when the file is missing or malformed.
SuiteCase readCase(const std::filesystem::path& suiteDir, const std::string& name);

// Reads a reference picture of width x height; throws when its size does not match.
RgbaImage readRgba(const std::filesystem::path& file, int width, int height);

std::vector<uint8_t> readFileBytes(const std::filesystem::path& file);

}  // namespace conformance

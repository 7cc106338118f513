#pragma once
// Hostile GIFs and files, made on demand: small files that ask for far more memory than they
// hold, and large ones that are not what they seem. The memory runner (hostile_memory.cpp)
// loads each in a child process and records its peak resident memory.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

struct HostileCase {
    std::string name;
    std::vector<uint8_t> bytes;  // the file's start
    uint64_t fileBytes = 0;      // its whole size; beyond `bytes` it is a hole of zeros
};

// LZW data (minimum code size byte, sub-blocks, terminator) for `indices`, compressed as an
// encoder does it: a solid field of millions of pixels takes a few kilobytes.
std::vector<uint8_t> lzwCompressed(const std::vector<uint8_t>& indices, int minCodeSize);

// `frames` frames of width x height, each covering the screen in one colour.
HostileCase solidFrames(std::string name, int frames, int width, int height);
// Two 1 x 1 frames at opposite corners of a 26,001-pixel-square screen: 66 bytes.
HostileCase farApart();
// Zeros only: no GIF at all.
HostileCase zeros(uint64_t fileBytes);
// A small valid GIF followed by zeros up to fileBytes.
HostileCase padded(uint64_t fileBytes);

// Every case above, at the sizes the memory runner measures.
std::vector<HostileCase> hostileCases();

// Writes the case to `path` (the hole stays sparse where the file system allows).
bool writeCase(const HostileCase& c, const std::filesystem::path& path);

}  // namespace bench

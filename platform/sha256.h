#pragma once
// SHA-256 of a byte string: the checksum of stored descriptions and the digests the tools print.
#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace platform {

using Sha256Digest = std::array<uint8_t, 32>;

Sha256Digest sha256(std::span<const uint8_t> data);
// The digest as lower-case hexadecimal (64 characters).
std::string sha256Hex(std::span<const uint8_t> data);

}  // namespace platform

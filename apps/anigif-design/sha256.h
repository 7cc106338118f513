#pragma once
// SHA-256 of a byte string, as lower-case hexadecimal (64 characters).
#include <cstdint>
#include <span>
#include <string>

namespace design {

std::string sha256Hex(std::span<const uint8_t> data);

}  // namespace design

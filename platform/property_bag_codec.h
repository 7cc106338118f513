#pragma once
// The part of the file form that the file code needs besides PropertyBag::toBytes and
// fromBytes (property_bag_codec.cpp): naming a file by its first bytes alone.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/property_bag.h"

namespace platform::bag_codec {

// Every version starts with a short array head and the format name; the version follows.
constexpr size_t kStartBytes = 2 + PropertyBag::kFormatName.size();
// Enough of a file's start to read its version in any encoding of it.
constexpr size_t kVersionedStartBytes = kStartBytes + 9;

// Refuses (PropertyBagError) a start that is foreign, or that of a newer or unknown version.
void checkStart(std::span<const uint8_t> start);

}  // namespace platform::bag_codec

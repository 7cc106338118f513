#pragma once
// GifArray: the array argument of LoadAnimatedGIF_Array. It describes an array variable the way
// the control's callers hand one over: its memory, the size of one element and the element count
// of each dimension. The control takes element size x every count as the byte count of the GIF
// and copies the elements as raw memory, whatever their type; it never reads beyond heldBytes(),
// even when the shape claims more.
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>
#include <vector>

namespace anigif {

class GifArray {
  public:
    // No array at all (an unallocated array variable).
    GifArray() = default;

    // A one-dimensional array of trivially copyable elements.
    template <typename T>
    requires std::is_trivially_copyable_v<T> GifArray(
        std::span<const T> elements)  // NOLINT(google-explicit-constructor): array argument
        : GifArray(elements.data(), elements.size_bytes(), sizeof(T),
                   {static_cast<int64_t>(elements.size())}) {}
    template <typename T>
    requires std::is_trivially_copyable_v<T> GifArray(
        const std::vector<T>& elements)  // NOLINT(google-explicit-constructor)
        : GifArray(std::span<const T>(elements)) {}

    // A two-dimensional array of count1 x count2 elements stored one after the other.
    template <typename T>
    requires std::is_trivially_copyable_v<T>
    static GifArray twoDimensional(std::span<const T> elements, int64_t count1, int64_t count2) {
        return GifArray(elements.data(), elements.size_bytes(), sizeof(T), {count1, count2});
    }

    // Any shape: `dimensions` holds the element count of each dimension (none, one, two or
    // more); `data` holds `heldBytes` readable bytes.
    static GifArray raw(const void* data, std::size_t heldBytes, std::size_t elementSize,
                        std::vector<int64_t> dimensions) {
        return GifArray(data, heldBytes, elementSize, std::move(dimensions));
    }

    // True when an array was given (even an empty one).
    bool allocated() const noexcept { return allocated_; }
    int32_t dimensionCount() const noexcept { return static_cast<int32_t>(counts_.size()); }
    std::size_t elementSize() const noexcept { return elementSize_; }
    // Element count of dimension d (1-based); 0 for a dimension the array does not have.
    int64_t elementCount(int32_t d) const noexcept {
        return d >= 1 && d <= dimensionCount() ? counts_[static_cast<std::size_t>(d) - 1] : 0;
    }
    // The memory the array really holds.
    std::span<const uint8_t> heldBytes() const noexcept { return {data_, held_}; }

  private:
    GifArray(const void* data, std::size_t heldBytes, std::size_t elementSize,
             std::vector<int64_t> dimensions)
        : data_(static_cast<const uint8_t*>(data)),
          held_(data ? heldBytes : 0),
          elementSize_(elementSize),
          counts_(std::move(dimensions)),
          allocated_(true) {}

    const uint8_t* data_ = nullptr;
    std::size_t held_ = 0;
    std::size_t elementSize_ = 0;
    std::vector<int64_t> counts_;
    bool allocated_ = false;
};

}  // namespace anigif

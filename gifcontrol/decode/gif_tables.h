#pragma once
// The tables the stream parser produces and the rest of the control works from: the frame
// table, the image-block table and the colour tables, plus the one-based table type that keeps
// the stream's own numbering (frame 1 is the first image, byte 1 the first byte).
#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "platform/large_block.h"
#include "platform/runtime_error.h"

namespace anigif {

// Leaves new elements of trivial types uninitialised when none is given, so that a table about
// to be overwritten whole is not first filled with zeros; takes large tables (the bytes of a big
// GIF) straight from the system, in huge pages where it offers them.
template <typename T>
struct DefaultInitAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = DefaultInitAllocator<U>;
    };
    DefaultInitAllocator() = default;
    template <typename U>
    DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_alloc();
        if (!platform::isLargeBlock(n * sizeof(T))) return std::allocator<T>::allocate(n);
        void* p = platform::mapLargeBlock(n * sizeof(T));
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) noexcept {
        if (platform::isLargeBlock(n * sizeof(T)))
            platform::unmapLargeBlock(p, n * sizeof(T));
        else
            std::allocator<T>::deallocate(p, n);
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        if constexpr (sizeof...(Args) == 0)
            ::new (static_cast<void*>(p)) U;
        else
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// A table indexed from 1 to upperBound(), stored in a vector. Access outside the bounds raises
// the subscript error (RuntimeError 9); nothing is ever read or written out of bounds.
// A table may also borrow its entries, reading them where the caller holds them (a GIF that is
// loaded within one call is not copied first), or share them with their owner for as long as it
// keeps them (a download is kept where it arrived); anything that could change it makes it its
// own copy first.
template <typename T>
class OneBased {
  public:
    int32_t upperBound() const noexcept { return static_cast<int32_t>(view().size()); }
    bool empty() const noexcept { return view().empty(); }

    // Makes the table 1..n with all entries default (n <= 0 empties it).
    void redim(int32_t n) {
        items_.assign(n > 0 ? static_cast<size_t>(n) : 0, T{});
        letGo();
    }
    // Makes the table 1..n keeping the entries that remain.
    void redimPreserve(int32_t n) {
        own();
        items_.resize(n > 0 ? static_cast<size_t>(n) : 0, T{});
    }
    // Makes the table 1..n with unspecified entries, for a caller that writes them all.
    std::span<T> redimForOverwrite(int32_t n) {
        letGo();
        items_.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return items_;
    }
    void clear() noexcept {
        letGo();
        items_.clear();
        items_.shrink_to_fit();
    }
    // Makes the table 1..values.size() holding values; more than 2^31 - 1 entries cannot be
    // numbered and raise the overflow error.
    void assign(std::span<const T> values) {
        if (values.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
            platform::raiseOverflow();
        items_.assign(values.begin(), values.end());
        letGo();
    }

    // Makes the table 1..values.size() read `values` where they lie, which must stay readable
    // and unchanged until the table lets them go: clear(), any call that sets its size, or own().
    // `values` must not lie in the table's own entries.
    void borrow(std::span<const T> values) {
        if (values.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
            platform::raiseOverflow();
        clear();
        if (!values.empty()) borrowed_ = values;
    }
    // The same with `values` held readable and unchanged by `keeper`, which the table keeps as
    // long as it reads them, so that they need not be copied at all.
    void share(std::span<const T> values, std::shared_ptr<const void> keeper) {
        borrow(values);
        if (borrowed_) keeper_ = std::move(keeper);
    }
    // True while the entries are borrowed without a keeper: their caller must keep them.
    bool borrowed() const noexcept { return borrowed_.has_value() && !keeper_; }
    // Makes borrowed or shared entries the table's own copy; throws when there is no memory.
    void own() {
        if (!borrowed_) return;
        items_.assign(borrowed_->begin(), borrowed_->end());
        letGo();
    }

    T& operator()(int32_t k) {
        if (k < 1 || k > upperBound()) platform::raiseSubscript();
        own();
        return items_[static_cast<size_t>(k) - 1];
    }
    const T& operator()(int32_t k) const {
        if (k < 1 || k > upperBound()) platform::raiseSubscript();
        return view()[static_cast<size_t>(k) - 1];
    }

    // Entries 1..n as a zero-based span (entry k at position k - 1). The writable one makes
    // borrowed entries the table's own first.
    std::span<T> span() {
        own();
        return items_;
    }
    std::span<const T> span() const noexcept { return view(); }

  private:
    std::span<const T> view() const noexcept { return borrowed_ ? *borrowed_ : items_; }
    void letGo() noexcept {
        borrowed_.reset();
        keeper_.reset();
    }

    std::vector<T, DefaultInitAllocator<T>> items_;
    std::optional<std::span<const T>> borrowed_;
    std::shared_ptr<const void> keeper_;
};

// One image of the stream, in stream order.
struct FrameInfo {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Delay = 0;       // milliseconds: the stored hundredths times 10
    int32_t TableIndex = 0;  // 0 = global colour table, k = the k-th local table
    // While parsing: 1-based position of the image's first block in the GIF bytes (its graphic
    // control extension, else its separator). After building: the frame's x offset in the strip.
    int32_t StripX = 0;
    uint8_t TransIndex = 0;
    uint8_t TransFlag = 0;  // 1 = TransIndex is transparent
    uint8_t Disposal = 0;   // 0..3
};

// Where an image's bytes lie in the GIF bytes: from its separator (Start, 1-based) through its
// block terminator (Length bytes). Length may reach past the end of a cut stream.
struct BlockSpan {
    int32_t Length = 0;
    int32_t Start = 0;
};

// One colour table: entries 0..255 as 0x00RRGGBB (memory order blue, green, red, 0, so the
// first 256 entries load into an 8-bit surface unchanged), entry 256 the colour count.
using ColorTable = std::array<uint32_t, 257>;
constexpr int kColorCountEntry = 256;

}  // namespace anigif

#pragma once
// Pixel surfaces: 1, 8 and 24 bits per pixel, rows stored bottom-up and padded to 32 bits, a
// colour table for 1 and 8 bits, and the blits, fills and colour lookups the control draws with.
//
// Coordinates in every call are picture coordinates: x to the right, y downwards from the top
// line. Row r of storage is picture line height - 1 - y (row 0 is the bottom line).
//
// Colour formats: colour-table entries and the colours taken by fills are 0x00RRGGBB (memory
// order blue, green, red, 0). Colour references as the control publishes them (0x00BBGGRR or a
// system colour) are turned into these by colorRefToRgb (platform/system_colors.h).
//
// Scaled blits sample the nearest source pixel. Scaled drawing that averages areas belongs to
// the control's drawing kernels (gifcontrol/render/draw_kernels.h), which draw for display.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace platform {

// Raster operations, with the values the control's callers use.
constexpr uint32_t kRopCopy = 0x00CC0020;  // destination = source
constexpr uint32_t kRopAnd = 0x008800C6;   // destination = destination AND source
constexpr uint32_t kRopOr = 0x00EE0086;    // destination = destination OR source

// Bytes per surface row: bitsPerPixel * width rounded up to a multiple of 32 bits.
// Raises the overflow error (RuntimeError 6) when bitsPerPixel * width + 31 does not fit a
// signed 32-bit integer.
int32_t RowBytes(int32_t bitsPerPixel, int32_t width);

class Surface {
  public:
    // A zero-filled surface of 1, 8 or 24 bits per pixel. The colour table (1 and 8 bits only)
    // starts as `colors` padded with black to 2 or 256 entries; extra entries are ignored.
    // Returns null, never throws, when the size is zero or negative, the bit depth is not one
    // of 1, 8, 24, a row does not fit 32-bit arithmetic (RowBytes), the pixel data would exceed
    // memoryBudgetBytes() (platform/memory_budget.h), or memory is short.
    //
    // The pixels are fresh zero pages that nothing writes at creation: a large surface costs
    // address space, and memory only as its pixels are written.
    static std::unique_ptr<Surface> create(int32_t bitsPerPixel, int32_t width, int32_t height,
                                           std::span<const uint32_t> colors = {}) noexcept;

    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    ~Surface();

    int32_t width() const noexcept { return width_; }
    int32_t height() const noexcept { return height_; }
    int32_t bitsPerPixel() const noexcept { return bits_; }
    int32_t rowBytes() const noexcept { return rowBytes_; }
    std::size_t sizeBytes() const noexcept;

    // The pixel data: rowBytes() * height() bytes, storage row 0 (the bottom line) first.
    uint8_t* bits() noexcept { return data_.get(); }
    const uint8_t* bits() const noexcept { return data_.get(); }
    // Storage row r (0 = bottom line); line y (0 = top line). The caller keeps r, y in range.
    uint8_t* row(int32_t r) noexcept;
    const uint8_t* row(int32_t r) const noexcept;
    uint8_t* line(int32_t y) noexcept { return row(height_ - 1 - y); }
    const uint8_t* line(int32_t y) const noexcept { return row(height_ - 1 - y); }

    // The colour table: 2 entries for 1 bit, 256 for 8 bits, none for 24 bits.
    std::span<const uint32_t> colorTable() const noexcept;
    // Replaces entries start .. start + n - 1 (cut at the table's end); returns how many were
    // replaced, 0 for a 24-bit surface.
    int32_t setColorTable(int32_t start, std::span<const uint32_t> entries) noexcept;

    // Raw value at (x, y): the index (1 and 8 bits) or 0x00RRGGBB (24 bits); 0 outside.
    uint32_t pixel(int32_t x, int32_t y) const noexcept;
    // Sets the raw value at (x, y); ignored outside the surface.
    void setPixel(int32_t x, int32_t y, uint32_t value) noexcept;
    // The colour at (x, y) as 0x00RRGGBB, through the colour table; 0 outside.
    uint32_t colorAt(int32_t x, int32_t y) const noexcept;

    // Fills the rectangle (x, y, w, h), cut to the surface, with a colour (0x00RRGGBB). On 1 and
    // 8 bits the nearest colour-table entry is used (the lowest index on a tie).
    void fill(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rgb) noexcept;
    // Sets every byte of the pixel data (padding included). Filling a large surface with 0
    // hands its pages back to the system instead of writing them, so it costs no memory.
    void fillBytes(uint8_t value) noexcept;

  private:
    // Small surfaces come from the heap, large ones are mapped directly (see create).
    struct FreeDeleter {
        std::size_t mappedBytes;  // 0 = heap block
        void operator()(uint8_t* p) const noexcept;
    };
    Surface() = default;

    int32_t bits_ = 0, width_ = 0, height_ = 0, rowBytes_ = 0;
    std::unique_ptr<uint8_t, FreeDeleter> data_;
    uint32_t table_[256] = {};
};

// Copies or combines the source rectangle (sx, sy, w, h) into the target at (dx, dy). Same as
// stretchBlt with equal extents. Returns false when nothing could be drawn (empty extents or an
// unknown raster operation).
bool bitBlt(Surface& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Surface& src,
            int32_t sx, int32_t sy, uint32_t rop) noexcept;

// Draws the source rectangle (sx, sy, sw, sh) scaled into the target rectangle (dx, dy, dw, dh),
// each target pixel taking the source pixel under its centre.
//
// A negative source extent reads that axis backwards starting at the origin: sx = x0 + w - 1
// with sw = -w reads columns x0 + w - 1 down to x0, which mirrors the cell; this works with the
// source and target being the same surface (the source is read before anything is written).
// Negative target extents are taken as their absolute value.
//
// Conversions: an 8-bit source onto an 8-bit target copies indices unchanged (both tables are
// taken to agree); onto 24 bits goes through the source's current colour table; onto 1 bit the
// source colour picks the nearest target entry (with the usual black/white table: exactly
// black -> 0, exactly white -> 1, ties to 0). A 1-bit source onto a colour target gives black
// for 0 and white for 1. A 24-bit source onto 1 or 8 bits picks the nearest entry.
// The raster operation then combines the converted value with the target: on 24 bits per byte,
// on 1 and 8 bits on the stored bits.
// Target pixels whose source position lies outside the source are left unchanged; the target
// rectangle is cut at the target's edges. Equal extents never resample (exact path).
bool stretchBlt(Surface& dst, int32_t dx, int32_t dy, int32_t dw, int32_t dh, const Surface& src,
                int32_t sx, int32_t sy, int32_t sw, int32_t sh, uint32_t rop) noexcept;

}  // namespace platform

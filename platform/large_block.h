#pragma once
// Large blocks straight from the system: zero-filled, committed page by page as they are first
// written, and mapped with transparent huge pages where the system offers them. Faulting in
// tens of megabytes in small pages costs more than decoding a GIF into them.
#include <cstddef>

namespace platform {

// Blocks smaller than this are better left to the heap (always so under AddressSanitizer,
// where heap blocks have their overruns caught).
bool isLargeBlock(std::size_t bytes) noexcept;

// `bytes` zero-filled bytes, or null when the system refuses them. Only for large blocks.
void* mapLargeBlock(std::size_t bytes) noexcept;
// Gives back a block from mapLargeBlock(bytes).
void unmapLargeBlock(void* block, std::size_t bytes) noexcept;
// Lets the system take back the pages of a block from mapLargeBlock(bytes) whenever it needs
// memory, keeping the block: until then, writing a page keeps it (with whatever it held).
void releaseLargeBlockPages(void* block, std::size_t bytes) noexcept;

}  // namespace platform

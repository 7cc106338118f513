#pragma once
// The memory budget of a control: everything one control holds at once (the GIF's bytes, the
// frame strip, composite and mask, kept scaled frames, frames decoded ahead and its host's paint
// buffers) stays within it, and no single buffer of the platform layer passes it.
#include <cstddef>
#include <optional>
#include <string_view>

namespace platform {

// The default budget: 2 GiB or a quarter of physical memory, whichever is smaller, lowered (never
// raised) by the environment variable ANIGIF_MEMORY_BUDGET. Read once per process; a machine
// whose memory size cannot be read gets 2 GiB.
std::size_t memoryBudgetBytes() noexcept;

// A byte count as a user writes it: digits with an optional K, M or G (powers of 1024). Nothing
// for anything else, 0 or a count that does not fit.
std::optional<std::size_t> parseByteCount(std::string_view text) noexcept;

// The environment variable that lowers the budget.
inline constexpr char kMemoryBudgetVariable[] = "ANIGIF_MEMORY_BUDGET";

}  // namespace platform

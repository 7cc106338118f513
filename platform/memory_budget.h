#pragma once
// The one memory budget every large buffer of the control follows: a pixel surface, a GIF file
// read from disk, a download and a stored description are each refused only beyond it.
#include <cstddef>

namespace platform {

// The largest single buffer allowed: 2 GiB or a quarter of physical memory, whichever is
// smaller. Read once per process; a machine whose memory size cannot be read gets 2 GiB.
std::size_t memoryBudgetBytes() noexcept;

}  // namespace platform

#include "platform/memory_budget.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace platform {

namespace {

constexpr std::size_t kCeiling = std::size_t{2} * 1024 * 1024 * 1024;

std::size_t computeBudget() noexcept {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return kCeiling;
    const auto physical = static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
    return static_cast<std::size_t>(std::min<uint64_t>(kCeiling, physical / 4));
}

}  // namespace

std::size_t memoryBudgetBytes() noexcept {
    static const std::size_t budget = computeBudget();
    return budget;
}

}  // namespace platform

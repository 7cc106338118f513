#include "platform/memory_budget.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace platform {

namespace {

constexpr std::size_t kCeiling = std::size_t{2} * 1024 * 1024 * 1024;

std::size_t computeBudget() noexcept {
    std::size_t budget = kCeiling;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages > 0 && pageSize > 0) {
        const auto physical = static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
        budget = static_cast<std::size_t>(std::min<uint64_t>(kCeiling, physical / 4));
    }
    if (const char* text = std::getenv(kMemoryBudgetVariable)) {
        if (const auto lowered = parseByteCount(text)) budget = std::min(budget, *lowered);
    }
    return budget;
}

}  // namespace

std::optional<std::size_t> parseByteCount(std::string_view text) noexcept {
    std::size_t shift = 0;
    if (!text.empty()) {
        switch (text.back()) {
            case 'k':
            case 'K':
                shift = 10;
                break;
            case 'm':
            case 'M':
                shift = 20;
                break;
            case 'g':
            case 'G':
                shift = 30;
                break;
            default:
                break;
        }
        if (shift != 0) text.remove_suffix(1);
    }
    if (text.empty() || text.size() > 19) return std::nullopt;
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value == 0 || value > (std::numeric_limits<std::size_t>::max() >> shift))
        return std::nullopt;
    return static_cast<std::size_t>(value << shift);
}

std::size_t memoryBudgetBytes() noexcept {
    static const std::size_t budget = computeBudget();
    return budget;
}

}  // namespace platform

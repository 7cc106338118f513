#include "platform/large_block.h"

#include <sys/mman.h>

#include <cstdint>

namespace platform {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} * 1024 * 1024;

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KAVRILO_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define KAVRILO_ASAN 1
#endif
#ifdef KAVRILO_ASAN
constexpr std::size_t kMapFrom = SIZE_MAX;
#else
constexpr std::size_t kMapFrom = 2 * kHugePage;
#endif

std::size_t mappedLength(std::size_t bytes) noexcept {
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace

bool isLargeBlock(std::size_t bytes) noexcept {
    return bytes >= kMapFrom;
}

void* mapLargeBlock(std::size_t bytes) noexcept {
    if (bytes == 0 || bytes > SIZE_MAX - kHugePage) return nullptr;
    const std::size_t length = mappedLength(bytes);
    void* p = mmap(nullptr, length, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) return nullptr;
#ifdef MADV_HUGEPAGE
    madvise(p, length, MADV_HUGEPAGE);  // a hint; without it the pages are simply small
#endif
    return p;
}

void unmapLargeBlock(void* block, std::size_t bytes) noexcept {
    if (block) munmap(block, mappedLength(bytes));
}

void releaseLargeBlockPages(void* block, std::size_t bytes) noexcept {
    if (!block) return;
#ifdef MADV_FREE
    if (madvise(block, mappedLength(bytes), MADV_FREE) == 0) return;
#endif
    madvise(block, mappedLength(bytes), MADV_DONTNEED);  // taken back now; reads as zeros
}

}  // namespace platform

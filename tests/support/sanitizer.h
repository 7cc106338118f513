#pragma once
// Whether this build runs under AddressSanitizer, whose surfaces are heap blocks and whose own
// bookkeeping grows with every block: memory bounds are only checked without it.
namespace testsupport {
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitized = true;
#else
constexpr bool kAddressSanitized = false;
#endif
#else
constexpr bool kAddressSanitized = false;
#endif
}  // namespace testsupport

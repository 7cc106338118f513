#pragma once
// The one error type that reaches callers of the control's members: a number and a description,
// as the control's public surface reports them (6 overflow, 9 subscript out of range, ...).
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

namespace platform {

class RuntimeError : public std::runtime_error {
  public:
    RuntimeError(int32_t number, std::string source, const std::string& description);

    int32_t number() const noexcept { return number_; }
    const std::string& source() const noexcept { return source_; }
    std::string description() const { return what(); }

  private:
    int32_t number_;
    std::string source_;
};

namespace errors {
constexpr int32_t kOverflow = 6;
constexpr int32_t kOutOfMemory = 7;
constexpr int32_t kSubscriptOutOfRange = 9;
constexpr int32_t kTypeMismatch = 13;
constexpr int32_t kEndOfFile = 53;
}  // namespace errors

// Raised for a value that does not fit the field it is stored in.
[[noreturn]] void raiseOverflow(const std::string& source = {});
// Raised for an index outside a table's bounds.
[[noreturn]] void raiseSubscript(const std::string& source = {});

// Converts to a narrower integer, raising the overflow error when the value does not fit.
template <typename To, typename From>
To checkedNarrow(From value, const std::string& source = {}) {
    if (value < static_cast<From>(std::numeric_limits<To>::min()) ||
        value > static_cast<From>(std::numeric_limits<To>::max()))
        raiseOverflow(source);
    return static_cast<To>(value);
}

}  // namespace platform

#include "platform/runtime_error.h"

namespace platform {

RuntimeError::RuntimeError(int32_t number, std::string source, const std::string& description)
    : std::runtime_error(description), number_(number), source_(std::move(source)) {}

void raiseOverflow(const std::string& source) {
    throw RuntimeError(errors::kOverflow, source, "Overflow");
}

void raiseSubscript(const std::string& source) {
    throw RuntimeError(errors::kSubscriptOutOfRange, source, "Subscript out of range");
}

}  // namespace platform

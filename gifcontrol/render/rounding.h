#pragma once
// Rounding of drawing positions and sizes: to the nearest whole number, halves to the even
// neighbour, with the overflow error for results that do not fit 32 bits.
#include <cmath>
#include <cstdint>

#include "platform/runtime_error.h"

namespace anigif {

inline int32_t roundHalfEven(double v, const char* source) {
    const double r = std::nearbyint(v);  // the default rounding mode: halves to even
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) platform::raiseOverflow(source);
    return static_cast<int32_t>(r);
}

}  // namespace anigif

// The control's codes for Qt's mouse buttons and keyboard modifiers, as its mouse events carry
// them: buttons 1 left, 2 right, 4 middle; shift 1, control 2, alt 4.
#pragma once

#include <Qt>
#include <cstdint>

namespace platform::qt {

inline int16_t buttonCode(Qt::MouseButtons buttons) {
    int16_t code = 0;
    if (buttons & Qt::LeftButton) code |= 1;
    if (buttons & Qt::RightButton) code |= 2;
    if (buttons & Qt::MiddleButton) code |= 4;
    return code;
}

inline int16_t shiftCode(Qt::KeyboardModifiers modifiers) {
    int16_t code = 0;
    if (modifiers & Qt::ShiftModifier) code |= 1;
    if (modifiers & Qt::ControlModifier) code |= 2;
    if (modifiers & Qt::AltModifier) code |= 4;
    return code;
}

}  // namespace platform::qt

#pragma once

#include <QKeyEvent>
#include <cstdint>

#include "base/keys.h"

namespace ziv {

// The virtual-key code of a Qt key: F1..F24 are 112..135, Escape 27,
// Enter and Return both 13, and the few other keys a keyer user may press
// with their usual codes; 0 for keys without one.
std::uint16_t VirtualKeyFromQt(int qtKey);

// The modifier set of a key press.
TShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers);

}  // namespace ziv

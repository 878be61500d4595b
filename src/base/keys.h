#pragma once

#include <cstdint>

namespace ziv {

// Virtual-key codes of the keys the keyer answers, with the values of the
// platform it was first written for; the window maps its toolkit's key
// events onto these.
enum TVirtualKey : std::uint16_t {
    VK_RETURN = 13,
    VK_ESCAPE = 27,
    VK_F1 = 112,
    VK_F2 = 113,
    VK_F3 = 114,
    VK_F4 = 115,
};

// Modifier keys held during a key press.
enum TShiftFlag : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
};
using TShiftState = unsigned;

}  // namespace ziv

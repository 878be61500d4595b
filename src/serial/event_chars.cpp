#include "serial/event_chars.h"

namespace ziv {

void TVaEventChars::SetEventChar(int index, std::uint8_t value) {
    switch (index) {
        case 1:
            FXonChar = value;
            break;
        case 2:
            FXoffChar = value;
            break;
        case 3:
            FErrorChar = value;
            break;
        case 4:
            FEventChar = value;
            break;
        default:
            return;
    }
    Changed();
}

void TVaEventChars::Assign(const TVaPersistent& Source) {
    const auto* chars = dynamic_cast<const TVaEventChars*>(&Source);
    if (!chars) {
        TVaPersistent::Assign(Source);
        return;
    }
    // Read first: Source may be this very object.
    const std::uint8_t xon = chars->FXonChar, xoff = chars->FXoffChar;
    const std::uint8_t error = chars->FErrorChar, event = chars->FEventChar;
    BeginUpdate();
    SetXonChar(xon);
    SetXoffChar(xoff);
    SetErrorChar(error);
    SetEventChar(event);
    EndUpdate();
}

}  // namespace ziv

#include "serial/event_chars.h"

namespace ziv {

void TVaEventChars::SetEventChar(TEventChar which, std::uint8_t value) {
    switch (which) {
        case TEventChar::Xon:
            FXonChar = value;
            break;
        case TEventChar::Xoff:
            FXoffChar = value;
            break;
        case TEventChar::Error:
            FErrorChar = value;
            break;
        case TEventChar::Event:
            FEventChar = value;
            break;
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

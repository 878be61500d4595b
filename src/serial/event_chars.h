#pragma once

#include <cstdint>

#include "serial/component_base.h"

namespace ziv {

// The four special characters of the line settings. Setting one announces
// a change; Assign from another instance copies all four as one change.
class TVaEventChars : public TVaPersistent {
public:
    std::uint8_t XonChar() const { return FXonChar; }
    std::uint8_t XoffChar() const { return FXoffChar; }
    std::uint8_t ErrorChar() const { return FErrorChar; }
    std::uint8_t EventChar() const { return FEventChar; }
    void SetXonChar(std::uint8_t value) { SetEventChar(1, value); }
    void SetXoffChar(std::uint8_t value) { SetEventChar(2, value); }
    void SetErrorChar(std::uint8_t value) { SetEventChar(3, value); }
    void SetEventChar(std::uint8_t value) { SetEventChar(4, value); }

    void Assign(const TVaPersistent& Source) override;

private:
    // 1 XonChar, 2 XoffChar, 3 ErrorChar, 4 EventChar.
    void SetEventChar(int index, std::uint8_t value);

    std::uint8_t FXonChar = 17;
    std::uint8_t FXoffChar = 19;
    std::uint8_t FErrorChar = 0;
    std::uint8_t FEventChar = 0;
};

}  // namespace ziv

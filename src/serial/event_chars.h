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
    void SetXonChar(std::uint8_t value) { SetEventChar(TEventChar::Xon, value); }
    void SetXoffChar(std::uint8_t value) { SetEventChar(TEventChar::Xoff, value); }
    void SetErrorChar(std::uint8_t value) { SetEventChar(TEventChar::Error, value); }
    void SetEventChar(std::uint8_t value) { SetEventChar(TEventChar::Event, value); }

    void Assign(const TVaPersistent& Source) override;

private:
    enum class TEventChar : std::uint8_t { Xon, Xoff, Error, Event };
    void SetEventChar(TEventChar which, std::uint8_t value);

    std::uint8_t FXonChar = 17;
    std::uint8_t FXoffChar = 19;
    std::uint8_t FErrorChar = 0;
    std::uint8_t FEventChar = 0;
};

}  // namespace ziv

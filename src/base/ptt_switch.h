#pragma once

#include <functional>
#include <string>

namespace ziv {

// How the transmitter is keyed when not by a line of the serial port: by
// CAT through a radio's server, or not at all (the radio keys itself by
// VOX and the keyer only plays).
enum class TPttMethod { SerialLine, Cat, None };

struct TPttChoice {
    TPttMethod method = TPttMethod::SerialLine;
    std::string host = "127.0.0.1";  // rigctld's
    int port = 4532;
};

class TPttSwitch {
public:
    virtual ~TPttSwitch() = default;
    // Keys (true) or unkeys the transmitter; true once the radio says it is
    // so, false with the reason in `why`.
    virtual bool Switch(bool transmit, std::string* why) = 0;
    // Told, on a thread of the switch's own, when a radio keyed by it can no
    // longer be seen transmitting (its server went away, or it unkeyed).
    virtual void SetOnLost(std::function<void(const std::string& why)> lost) { (void)lost; }
};

// The radio keys itself by VOX: the message only plays.
class TVoxPtt final : public TPttSwitch {
public:
    bool Switch(bool, std::string*) override { return true; }
};

}  // namespace ziv

#include "core/station_port.h"

namespace ziv {

int ChoosePortAtStart(TFormPort& port, const std::string& portText) {
    if (portText.empty())
        port.SetPortNum(0);
    else if (const std::optional<int> n = PickablePortNumber(portText))
        port.SetPortNum(*n);
    return port.PortNum();
}

void FollowPolarity(TKeyer& keyer, TFormPort& port) {
    port.SetHangUpOnClose(!keyer.rbInv.Checked());
}

bool OpenWithIdleLevel(TKeyer& keyer, TFormPort& port) {
    try {
        FollowPolarity(keyer, port);
        // The idle levels are the unkey levels. Asked of the closed port
        // first, they are the levels it opens with, so that a line idling
        // high is never dropped (keyed) on the way.
        keyer.TXOff();
        port.Open();
        keyer.TXOff();
        return true;
    } catch (...) {
        return false;
    }
}

TPortStart StartPort(TKeyer& keyer, TFormPort& port, const std::string& portText) {
    if (ChoosePortAtStart(port, portText) == 0)
        return TPortStart::None;
    try {
        port.Close();
    } catch (...) {
        // Nothing is open at start-up; a failure here says nothing.
    }
    return OpenWithIdleLevel(keyer, port) ? TPortStart::Open : TPortStart::Busy;
}

void UnkeyAndClose(TKeyer& keyer, TFormPort& port) noexcept {
    try {
        keyer.TXOff();
    } catch (...) {
        // The port is closed next anyway.
    }
    try {
        port.Close();
    } catch (...) {
        // The program ends anyway.
    }
}

}  // namespace ziv

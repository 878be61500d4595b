#pragma once

#include <string>

#include "core/form_port.h"
#include "core/keyer.h"

// What every flavour of the main window does with the serial port at its
// start and its end, free of any toolkit: the order of these steps is what
// keeps a transmitter from being keyed at the wrong moment.

namespace ziv {

// At start-up: the port named by the port box's text. An empty text is no
// port; COM1..COM4 is that port; any other text leaves the number as it
// was. Returns the number chosen (0: none).
int ChoosePortAtStart(TFormPort& port, const std::string& portText);

// Hang-up on close follows the polarity: a system that drops both lines
// when the port closes (or the program ends) unkeys a Normal PTT that way,
// but would key an Inverted one, whose lines must keep their level.
void FollowPolarity(TKeyer& keyer, TFormPort& port);

// Opens the port with the PTT line at its idle (unkey) level, hang-up on
// close following the polarity. False when the port cannot be opened or
// its lines set: the window then says the port is busy.
bool OpenWithIdleLevel(TKeyer& keyer, TFormPort& port);

// What became of the port at start-up.
enum class TPortStart { None, Open, Busy };

// At start-up: the port the port box's text names (ChoosePortAtStart),
// closed and opened again with the idle level.
TPortStart StartPort(TKeyer& keyer, TFormPort& port, const std::string& portText);

// At the end: unkeys first (a close can come in the key-up delay, and an
// Inverted PTT keeps the level it had when the port closes), then closes
// the port. Never throws: the settings are saved after it either way.
void UnkeyAndClose(TKeyer& keyer, TFormPort& port) noexcept;

}  // namespace ziv

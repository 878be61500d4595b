#pragma once

// What the kernel's serial core does to RTS and DTR: the first open raises
// them (unless the speed is B0), the last close with HUPCL drops them, a
// change to or from B0 drops or raises them, and the modem-line ioctls set
// them. Every change is logged.

#include <sys/types.h>
#include <termios.h>

#include "device_state.h"

namespace ziv::e2e::serial_double {

// An open by `pid`: 0, or the errno that refuses it.
int OpenDevice(TLockedDevice& device, pid_t pid);
// The last close of an open by `pid`.
void CloseDevice(TLockedDevice& device, pid_t pid);

// New line settings.
void ApplyTermios(TLockedDevice& device, const termios& t);

bool IsModemRequest(unsigned long request);
// TIOCMGET, TIOCMBIS, TIOCMBIC or TIOCMSET on the int at `arg`.
int ModemIoctl(TLockedDevice& device, unsigned long request, void* arg);

}  // namespace ziv::e2e::serial_double

#pragma once

// The paths the double serves, from ZIV_SERIAL_DOUBLE_DEVICES: each has a
// slot that an open of it refers to.

namespace ziv::e2e::serial_double {

// The slot of a served path, or -1. Takes the tables' lock.
int MatchDevice(const char* path);

// The configured path of a slot.
const char* SlotPath(int slot);

}  // namespace ziv::e2e::serial_double

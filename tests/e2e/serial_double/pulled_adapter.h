#pragma once

// The adapter pulled out (ZIV_SERIAL_DOUBLE_EIO_AFTER=N): after N
// modem-line calls on an open the device is hung up, every later call on
// it fails with EIO, and poll() reports the hang-up.

#include "device_state.h"
#include "open_files.h"

namespace ziv::e2e::serial_double {

// N, or -1 when the adapter stays in.
long EioAfterFromEnvironment();

void HangUp(TLockedDevice& device);

// After a modem-line call on `file`: hangs up when it was the N-th.
void CountModemCall(TOpenFile& file, TLockedDevice& device);

}  // namespace ziv::e2e::serial_double

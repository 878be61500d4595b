#include "line_model.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "next_libc.h"

namespace ziv::e2e::serial_double {

namespace {

bool IsB0(tcflag_t cflag) {
    return (cflag & CBAUD) == B0;
}

void SetLevels(TLockedDevice& device, bool rts, bool dtr) {
    TDeviceRecord& r = device.Record();
    if ((r.rts != 0) == rts && (r.dtr != 0) == dtr)
        return;
    r.rts = rts ? 1 : 0;
    r.dtr = dtr ? 1 : 0;
    device.Commit();
    device.Log("lines", ::getpid());
}

}  // namespace

int OpenDevice(TLockedDevice& device, pid_t pid) {
    TDeviceRecord& r = device.Record();
    if (r.hungUp)
        return EIO;
    if (r.exclusive)
        return EBUSY;
    if (r.opens <= 0) {
        r.opens = 0;
        if (!IsB0(r.tio.c_cflag)) {
            r.rts = 1;
            r.dtr = 1;
        }
    }
    if (!device.AddOwner(pid))
        return ENFILE;
    if (!device.Commit())
        return EIO;
    device.Log("open", pid);
    return 0;
}

void CloseDevice(TLockedDevice& device, pid_t pid) {
    const bool wasOpen = device.Record().opens > 0;
    device.RemoveOwner(pid);
    if (wasOpen && device.Record().opens == 0)
        device.LastClose();
    device.Commit();
    device.Log("close", pid);
}

// Only a change to or from B0 moves the lines.
void ApplyTermios(TLockedDevice& device, const termios& t) {
    TDeviceRecord& r = device.Record();
    const bool wasB0 = IsB0(r.tio.c_cflag);
    const bool isB0 = IsB0(t.c_cflag);
    r.tio = t;
    device.Commit();
    if (!wasB0 && isB0)
        SetLevels(device, false, false);
    else if (wasB0 && !isB0)
        SetLevels(device, (t.c_cflag & CRTSCTS) == 0 || r.rts, true);
}

bool IsModemRequest(unsigned long request) {
    return request == TIOCMBIS || request == TIOCMBIC || request == TIOCMSET || request == TIOCMGET;
}

int ModemIoctl(TLockedDevice& device, unsigned long request, void* arg) {
    if (!arg)
        return Fail(EFAULT);
    int* bits = static_cast<int*>(arg);
    TDeviceRecord& r = device.Record();
    bool rts = r.rts != 0;
    bool dtr = r.dtr != 0;
    switch (request) {
        case TIOCMGET:
            *bits =
                (rts ? TIOCM_RTS : 0) | (dtr ? TIOCM_DTR : 0) | TIOCM_CAR | TIOCM_DSR | TIOCM_CTS;
            return 0;
        case TIOCMBIS:
            rts = rts || (*bits & TIOCM_RTS);
            dtr = dtr || (*bits & TIOCM_DTR);
            break;
        case TIOCMBIC:
            rts = rts && !(*bits & TIOCM_RTS);
            dtr = dtr && !(*bits & TIOCM_DTR);
            break;
        default:
            rts = (*bits & TIOCM_RTS) != 0;
            dtr = (*bits & TIOCM_DTR) != 0;
            break;
    }
    SetLevels(device, rts, dtr);
    return 0;
}

}  // namespace ziv::e2e::serial_double

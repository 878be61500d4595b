#pragma once

#include <sys/types.h>
#include <termios.h>

#include <string>

// The state of a served device, shared by every process preloaded with the
// double and the harness (harness/lines.py reads and reaps this layout): one
// record in "<device path>.state" under an flock() of that file. The log's
// lines (README.md) are one write() each, so that processes never mix them.

namespace ziv::e2e {

struct TDeviceRecord {
    int opens;
    int owners[16][2];  // pid, opens
    bool rts, dtr, exclusive;
    termios tio;
};

// One device's record, locked while this lives. Only raw system calls:
// inside the preload library the libc entry points are the double's own.
class TDevice {
public:
    explicit TDevice(const char* path);
    ~TDevice();
    TDevice(const TDevice&) = delete;
    TDevice& operator=(const TDevice&) = delete;

    TDeviceRecord r;
    void Commit();
    // Writes the record and logs the event with the levels now.
    void Note(const char* event, pid_t pid);
    // Sets both lines, logs `lines` when they moved.
    void Lines(bool rts, bool dtr);
    // An errno, or 0 with the lines raised by a first open.
    int Open(pid_t pid);
    void Close(pid_t pid);
    void SetTermios(const termios& t);
    // HUPCL drops both lines.
    void LastClose();

private:
    const char* path_;
    int fd_ = -1;
};

}  // namespace ziv::e2e

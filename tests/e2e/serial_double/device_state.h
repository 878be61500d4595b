#pragma once

#include <sys/types.h>
#include <termios.h>

#include <cstdint>
#include <string>

// The shared state of the serial device double: one record per device in
// the file "<device path>.state", read and written under an flock() of
// that file, so that every process preloaded with the double (and the test
// harness, which is not) sees one device. Everything here goes straight to
// the system calls: inside the preload library the libc entry points are
// the double's own wrappers.
//
// The log (ZIV_SERIAL_DOUBLE_LOG) has one line per event, appended with a
// single write() so that lines of several processes never interleave:
//
//   <ns> <device path> <event> rts=<0|1> dtr=<0|1> pid=<pid>
//
// ns is CLOCK_MONOTONIC in nanoseconds and the levels are those after the
// event. Events: open, lines, close, hangup, reap.

namespace ziv::e2e {

// ---- The harness API (used without the double preloaded) ----

struct TDeviceLevels {
    bool rts = false;
    bool dtr = false;
    int opens = 0;
    bool exclusive = false;
    bool hungUp = false;
};

// Creates (or empties) the device file and gives it a fresh state: closed,
// both lines low, the default line settings, not exclusive, not hung up.
bool ResetDevice(const std::string& path);

// Reads the state of the device; false when it cannot be read.
bool ReadDevice(const std::string& path, TDeviceLevels& out);

// Does the kernel's closing for every owner of the device whose process
// is gone: drops its opens, and when that was the last open of the device
// applies the last close (HUPCL lowers both lines, the exclusive and
// hang-up flags clear). Each reaped owner is logged as `reap` with its pid.
// An owner is gone when kill(pid, 0) fails with ESRCH or when it is a
// zombie. Call it after waitpid() of the killed program: a process that is
// still dying is not reaped yet. The log goes to `logPath`, or when that
// is empty to ZIV_SERIAL_DOUBLE_LOG (no log when both are empty). Returns
// the number of opens reaped, -1 when the state cannot be read.
//
// A process that exits normally (exit(), a return from main) needs none
// of this: the preload library closes its devices at exit, as the kernel
// would. Only a process killed by a signal, or leaving by _exit(), leaves
// its opens behind.
int ReapDeadOwners(const std::string& path, const std::string& logPath = {});

// ---- The device model's record, shared with the preload library ----

inline constexpr int kMaxOwners = 16;
inline constexpr int kMaxPath = 1024;

struct TOwner {
    std::int32_t pid;
    std::int32_t opens;
};

struct TDeviceRecord {
    std::uint32_t magic;
    std::uint32_t size;
    std::int32_t opens;
    TOwner owners[kMaxOwners];
    std::uint8_t rts;
    std::uint8_t dtr;
    std::uint8_t exclusive;
    std::uint8_t hungUp;
    std::uint8_t initialised;
    termios tio;
};

// The settings of a device that was never configured: 9600 8N1 with
// CREAD, CLOCAL and HUPCL, the other flags as Linux starts a tty.
termios DefaultTermios();

// A fresh record: closed, lines low, default settings.
TDeviceRecord FreshRecord();

// The record of one device, locked for as long as this object lives.
// A missing or unreadable state file gives a fresh record (the state file
// is created, the device file is not).
class TLockedDevice {
public:
    explicit TLockedDevice(const char* devicePath, bool shared = false);
    ~TLockedDevice();
    TLockedDevice(const TLockedDevice&) = delete;
    TLockedDevice& operator=(const TLockedDevice&) = delete;

    // 0, or the errno of the failed open or lock of the state file.
    int Error() const { return error_; }
    TDeviceRecord& Record() { return record_; }
    bool Commit();

    // Appends an event with the current levels to the log at `logPath`,
    // by default the one of the environment.
    void Log(const char* event, pid_t pid, const char* logPath = nullptr) const;

    // Adds or removes opens of a process in the owner table; false when
    // the table is full.
    bool AddOwner(pid_t pid);
    void RemoveOwner(pid_t pid);

    // The kernel's last close: HUPCL lowers both lines, the exclusive and
    // hang-up flags clear. A hung-up device comes back as newly plugged
    // in: both lines low, the settings kept.
    void LastClose();

private:
    char path_[kMaxPath];
    int fd_ = -1;
    int error_ = 0;
    TDeviceRecord record_;
};

// Appends one event line to the log at `logPath` (nothing when it is
// null or empty).
void AppendLog(const char* logPath, const char* devicePath, const char* event, bool rts, bool dtr,
               pid_t pid);

// ZIV_SERIAL_DOUBLE_LOG, or null.
const char* LogPathFromEnvironment();

}  // namespace ziv::e2e

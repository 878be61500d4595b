#pragma once

// The opens of served devices and the fds that refer to them. An open is
// shared by the fds dup()ed from it: the device is closed with the last of
// them, as the kernel releases a tty only with its open file.

#include <sys/types.h>

namespace ziv::e2e::serial_double {

struct TOpenFile {
    int refs;
    int slot;
    pid_t pid;
    long eioAfter;    // modem-line calls before the adapter is pulled, or -1
    long modemCalls;  // made so far on this open
};

// The lock of the open and path tables.
void LockTables();
void UnlockTables();
// Called with the tables locked: whether an open refers to the slot.
bool AnyOpenOf(int slot);

// The open `fd` refers to; null when it is no served device. Takes no lock.
TOpenFile* Served(int fd);
const char* DevicePath(const TOpenFile& file);

// After the file of a served path (slot) was opened as `fd`: opens the
// device, and returns `fd`, or -1 with errno and the file closed.
int AttachDevice(int fd, int slot);

// After `fd` came back from an open: an fd closed where the double does
// not see it (close_range(), a raw system call) is forgotten.
void ForgetStale(int fd);

// After a dup of `fd` to `copy`, which the kernel closed first if open.
void Duplicated(int fd, int copy);

// Forgets `fd`; true, with the open it referred to, when it was the last
// fd of a served open.
bool Unpublish(int fd, TOpenFile& last);

// The device side of the last close of a served open.
void CloseFile(const TOpenFile& file);

}  // namespace ziv::e2e::serial_double

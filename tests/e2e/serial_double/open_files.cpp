#include "open_files.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>

#include "device_state.h"
#include "line_model.h"
#include "next_libc.h"
#include "pulled_adapter.h"
#include "served_paths.h"

namespace ziv::e2e::serial_double {

namespace {

constexpr int kMaxFds = 4096;

struct TFdEntry {
    std::atomic<bool> served;
    int file;
};

pthread_mutex_t g_mutex = PTHREAD_MUTEX_INITIALIZER;

// Changed under g_mutex; `served` lets the calls on other fds pass
// without taking it.
TOpenFile g_files[kMaxFds];
TFdEntry g_fds[kMaxFds];

bool IsServed(int fd) {
    return fd >= 0 && fd < kMaxFds && g_fds[fd].served.load(std::memory_order_acquire);
}

// Called with g_mutex held.
void Publish(int fd, int file) {
    ++g_files[file].refs;
    g_fds[fd].file = file;
    g_fds[fd].served.store(true, std::memory_order_release);
}

// Called with g_mutex held. Each open in use holds an fd below kMaxFds,
// so one is free.
int FreeFile() {
    int file = 0;
    while (file < kMaxFds - 1 && g_files[file].refs > 0)
        ++file;
    return file;
}

// The kernel closes the files of a process that exits; exit() runs this
// after the program's own destructors. A process killed by a signal, or
// leaving by _exit(), is left to ReapDeadOwners().
__attribute__((destructor)) void CloseAtExit() {
    const int saved = errno;
    for (int fd = 0; fd < kMaxFds; ++fd)
        ForgetStale(fd);
    errno = saved;
}

}  // namespace

void LockTables() {
    ::pthread_mutex_lock(&g_mutex);
}

void UnlockTables() {
    ::pthread_mutex_unlock(&g_mutex);
}

bool AnyOpenOf(int slot) {
    for (const TOpenFile& f : g_files)
        if (f.refs > 0 && f.slot == slot)
            return true;
    return false;
}

TOpenFile* Served(int fd) {
    return IsServed(fd) ? &g_files[g_fds[fd].file] : nullptr;
}

const char* DevicePath(const TOpenFile& file) {
    return SlotPath(file.slot);
}

int AttachDevice(int fd, int slot) {
    if (fd >= kMaxFds) {
        CloseQuietly(fd);
        return Fail(EMFILE);
    }
    const pid_t pid = ::getpid();
    TLockedDevice device(SlotPath(slot));
    const int error = device.Error() != 0 ? device.Error() : OpenDevice(device, pid);
    if (error != 0) {
        CloseQuietly(fd);
        return Fail(error);
    }
    const long eioAfter = EioAfterFromEnvironment();
    LockTables();
    const int file = FreeFile();
    g_files[file] = TOpenFile{0, slot, pid, eioAfter, 0};
    Publish(fd, file);
    UnlockTables();
    if (eioAfter == 0)
        HangUp(device);
    return fd;
}

bool Unpublish(int fd, TOpenFile& last) {
    if (!IsServed(fd))
        return false;
    LockTables();
    bool isLast = false;
    if (g_fds[fd].served.exchange(false, std::memory_order_acq_rel)) {
        TOpenFile& f = g_files[g_fds[fd].file];
        isLast = --f.refs == 0;
        last = f;
    }
    UnlockTables();
    return isLast;
}

void CloseFile(const TOpenFile& file) {
    // A forked child's copy shares the parent's open: its close does not
    // close the device.
    if (file.pid != ::getpid())
        return;
    TLockedDevice device(DevicePath(file));
    if (device.Error() == 0)
        CloseDevice(device, file.pid);
}

void ForgetStale(int fd) {
    TOpenFile last{};
    if (Unpublish(fd, last))
        CloseFile(last);
}

void Duplicated(int fd, int copy) {
    if (copy < 0 || copy == fd)
        return;
    ForgetStale(copy);
    if (copy >= kMaxFds)
        return;
    LockTables();
    if (IsServed(fd))
        Publish(copy, g_fds[fd].file);
    UnlockTables();
}

}  // namespace ziv::e2e::serial_double

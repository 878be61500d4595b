#include "served_paths.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "device_state.h"
#include "open_files.h"

namespace ziv::e2e::serial_double {

namespace {

constexpr int kMaxDevices = 16;
constexpr int kMaxSlots = 64;

// The paths of the devices; a slot outlives its place in the list while an
// open refers to it, so that the open keeps its device when the list changes.
struct TSlot {
    char path[kMaxPath];
    const char* base;
};

TSlot g_slots[kMaxSlots];
int g_slotCount = 0;
int g_active[kMaxDevices];
int g_activeCount = 0;
char g_devicesSeen[kMaxDevices * kMaxPath];

const char* BaseName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// Called with the tables locked.
bool SlotInUse(int slot) {
    for (int i = 0; i < g_activeCount; ++i)
        if (g_active[i] == slot)
            return true;
    return AnyOpenOf(slot);
}

// Called with the tables locked.
int SlotFor(const char* path, std::size_t length) {
    if (length >= kMaxPath)
        return -1;
    for (int i = 0; i < g_slotCount; ++i)
        if (std::strlen(g_slots[i].path) == length &&
            std::strncmp(g_slots[i].path, path, length) == 0)
            return i;
    int slot = g_slotCount < kMaxSlots ? g_slotCount++ : -1;
    for (int i = 0; i < kMaxSlots && slot < 0; ++i)
        if (!SlotInUse(i))
            slot = i;
    if (slot < 0)
        return -1;
    TSlot& s = g_slots[slot];
    std::memcpy(s.path, path, length);
    s.path[length] = '\0';
    s.base = BaseName(s.path);
    return slot;
}

// Called with the tables locked. The list is read at each open, so that a
// process may set it after it started.
void RefreshDevices(const char* list) {
    if (std::strcmp(list, g_devicesSeen) == 0)
        return;
    std::strncpy(g_devicesSeen, list, sizeof g_devicesSeen - 1);
    g_activeCount = 0;
    const char* p = list;
    while (*p && g_activeCount < kMaxDevices) {
        const char* end = std::strchr(p, ':');
        const std::size_t length = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
        if (length > 0 && p[0] == '/') {
            const int slot = SlotFor(p, length);
            if (slot >= 0)
                g_active[g_activeCount++] = slot;
        }
        if (!end)
            break;
        p = end + 1;
    }
}

// Called with the tables locked: the served device that is `path` under
// another spelling or through a link.
int MatchResolved(const char* path) {
    const char* base = BaseName(path);
    char resolved[PATH_MAX];
    bool haveResolved = false;
    for (int i = 0; i < g_activeCount; ++i) {
        const TSlot& s = g_slots[g_active[i]];
        if (std::strcmp(s.base, base) != 0)
            continue;
        if (!haveResolved) {
            if (!::realpath(path, resolved))
                return -1;
            haveResolved = true;
        }
        char device[PATH_MAX];
        if (::realpath(s.path, device) && std::strcmp(device, resolved) == 0)
            return g_active[i];
    }
    return -1;
}

}  // namespace

// The program opens many files at start; only a path with the base name
// of a device costs a realpath().
int MatchDevice(const char* path) {
    const char* list = std::getenv("ZIV_SERIAL_DOUBLE_DEVICES");
    if (!list || !*list || !path)
        return -1;
    LockTables();
    RefreshDevices(list);
    int found = -1;
    for (int i = 0; i < g_activeCount && found < 0; ++i)
        if (std::strcmp(g_slots[g_active[i]].path, path) == 0)
            found = g_active[i];
    if (found < 0)
        found = MatchResolved(path);
    UnlockTables();
    return found;
}

const char* SlotPath(int slot) {
    return g_slots[slot].path;
}

}  // namespace ziv::e2e::serial_double

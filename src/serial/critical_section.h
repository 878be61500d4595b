#pragma once

#ifndef _WIN32
#include <mutex>
#endif

namespace ziv {

// A re-entrant lock: a thread that holds it may enter it again.
#ifdef _WIN32
// On Windows a CRITICAL_SECTION, kept in room of its own size here so that
// no includer gets <windows.h> (critical_section_win32.cpp checks the room).
class TVaCriticalSection {
public:
    TVaCriticalSection();
    ~TVaCriticalSection();
    TVaCriticalSection(const TVaCriticalSection&) = delete;
    TVaCriticalSection& operator=(const TVaCriticalSection&) = delete;

    void Enter();
    void Leave();

private:
    // A CRITICAL_SECTION is four pointers and two 32-bit counters.
    alignas(void*) unsigned char storage_[6 * sizeof(void*)];
};
#else
class TVaCriticalSection {
public:
    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};
#endif

// Holds a critical section for one scope, also when the scope throws.
class TVaLockGuard {
public:
    explicit TVaLockGuard(TVaCriticalSection& section) : section_(section) { section_.Enter(); }
    ~TVaLockGuard() { section_.Leave(); }
    TVaLockGuard(const TVaLockGuard&) = delete;
    TVaLockGuard& operator=(const TVaLockGuard&) = delete;

private:
    TVaCriticalSection& section_;
};

}  // namespace ziv

#pragma once

#include <mutex>

namespace ziv {

// A re-entrant lock: a thread that holds it may enter it again.
class TVaCriticalSection {
public:
    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

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

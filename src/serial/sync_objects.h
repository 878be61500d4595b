#pragma once

#include <cstdint>

#include "serial/comm_platform.h"
#include "serial/component_base.h"

namespace ziv {

// An owned platform handle; the destructor closes it.
class TVaHandleObject : public TObject {
public:
    TVaHandleObject() = default;
    TVaHandleObject(const TVaHandleObject&) = delete;
    TVaHandleObject& operator=(const TVaHandleObject&) = delete;
    ~TVaHandleObject() override;

    TCommHandle Handle() const { return FHandle; }
    std::uint32_t LastError() const { return FLastError; }

protected:
    TCommHandle FHandle = INVALID_HANDLE_VALUE;
    std::uint32_t FLastError = 0;
};

enum TWaitResult : std::uint8_t { wrSignaled, wrTimeout, wrAbandoned, wrError };

inline constexpr std::uint32_t INFINITE = 0xFFFFFFFF;

// A waitable event. Handle() is what a platform wait watches: it is
// readable exactly while the event is signalled.
class TVaEvent : public TVaHandleObject {
public:
    ~TVaEvent() override;

    // Waits up to `timeout` ms (INFINITE: no limit). On wrError the
    // platform's error code is kept in LastError().
    TWaitResult WaitFor(std::uint32_t timeout);
    void SetEvent();
    void ResetEvent();

protected:
    TVaEvent() = default;
    // The end that SetEvent writes to; Handle() is the end that is read.
    TCommHandle FSignalHandle = INVALID_HANDLE_VALUE;
};

// An unnamed, manual-reset event that starts not signalled. Throws
// std::system_error when the platform has no room for one.
class TVaSimpleEvent : public TVaEvent {
public:
    TVaSimpleEvent();
};

// Gives the calling thread a priority of TThreadPriority's scale
// (-15 .. 15). Where the system refuses (raising needs privileges), the
// thread keeps the priority it has: it spends its life asleep anyway.
void SetCurrentThreadPriority(int value);

}  // namespace ziv

#include "serial/sync_objects.h"

#include <algorithm>
#include <system_error>

namespace ziv {
namespace {
// The project's names, kept before <windows.h> turns them into its macros.
constexpr TCommHandle kNoHandle = INVALID_HANDLE_VALUE;
constexpr std::uint32_t kForever = INFINITE;
}  // namespace
}  // namespace ziv

#include "base/windows_api.h"

namespace ziv {

namespace {

HANDLE Win32Handle(TCommHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

TVaHandleObject::~TVaHandleObject() {
    if (FHandle != kNoHandle && FHandle != 0)
        ::CloseHandle(Win32Handle(FHandle));
}

// FSignalHandle is not used: one event object is both what is waited on
// and what is signalled.
TVaEvent::~TVaEvent() = default;

// A manual-reset event: it stays signalled for every wait until reset,
// as the pipe of the POSIX flavour does.
TVaSimpleEvent::TVaSimpleEvent() {
    HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr)
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                                "CreateEvent");
    FHandle = reinterpret_cast<TCommHandle>(event);
}

TWaitResult TVaEvent::WaitFor(std::uint32_t timeout) {
    const DWORD ms = timeout == kForever ? INFINITE : static_cast<DWORD>(timeout);
    switch (::WaitForSingleObject(Win32Handle(FHandle), ms)) {
        case WAIT_OBJECT_0:
            return wrSignaled;
        case WAIT_TIMEOUT:
            return wrTimeout;
        case WAIT_ABANDONED:
            return wrAbandoned;
        default:
            FLastError = ::GetLastError();
            return wrError;
    }
}

void TVaEvent::SetEvent() {
    ::SetEvent(Win32Handle(FHandle));
}

void TVaEvent::ResetEvent() {
    ::ResetEvent(Win32Handle(FHandle));
}

void SetCurrentThreadPriority(int value) {
    // TThreadPriority's scale is Windows' own: -15 idle, -2 .. 2 the
    // relative steps, 15 time-critical. Values between are clamped to the
    // nearest step, as SetThreadPriority takes no others.
    int priority = THREAD_PRIORITY_NORMAL;
    if (value <= THREAD_PRIORITY_IDLE)
        priority = THREAD_PRIORITY_IDLE;
    else if (value >= THREAD_PRIORITY_TIME_CRITICAL)
        priority = THREAD_PRIORITY_TIME_CRITICAL;
    else
        priority = std::clamp(value, THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_HIGHEST);
    ::SetThreadPriority(::GetCurrentThread(), priority);
}

}  // namespace ziv

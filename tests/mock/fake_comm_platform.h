#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serial/comm.h"
#include "serial/comm_platform.h"

namespace ziv::test {

// Line events a test feeds to the waits of a fake port, from any thread.
// Shared by the fake platform and its waits, so a wait may outlive both
// the platform and the test's use of it.
class TFakeLineEvents {
public:
    TFakeLineEvents();
    ~TFakeLineEvents();
    TFakeLineEvents(const TFakeLineEvents&) = delete;
    TFakeLineEvents& operator=(const TFakeLineEvents&) = delete;

    // The next wait completes with `result` and `mask`.
    void Push(std::uint32_t mask, int result = 0);

    // Every wait fails at once with this code while it is not 0.
    std::atomic<int> FailAtOnce{0};
    // Waits started, and the priority of the thread in its first wait: its
    // nice value on POSIX, GetThreadPriority on Windows.
    std::atomic<int> Waits{0};
    std::atomic<int> FirstWaitNice{0};
    // Waits that are blocked right now.
    std::atomic<int> Blocked{0};

    int Wait(std::uint32_t& eventMask, TCommHandle wake);

private:
    struct Completion {
        std::uint32_t mask;
        int result;
    };
    std::mutex mutex_;
    std::deque<Completion> queue_;
#ifdef _WIN32
    void* semaphore_ = nullptr;
#else
    int readFd_ = -1;
    int writeFd_ = -1;
#endif
};

// Records every serial call in order, with the virtual time when a clock
// is given, and fails the calls it is told to fail.
class TFakeCommPlatform : public TCommPlatform {
public:
    struct Call {
        std::int64_t time = 0;
        std::string name;
        // The call's numbers: the flags, mask, function, hang-up switch,
        // read interval timeout, or the in and out queue sizes.
        std::uint32_t arg = 0;
        std::uint32_t arg2 = 0;
        TDCB dcb{};  // the record SetCommState was given
    };

    std::function<std::int64_t()> Clock;
    std::vector<Call> Calls;
    // Call name ("SetCommState", "SETRTS", ...) -> error code to return
    // (0 or absent: success).
    std::map<std::string, int> FailWith;
    // Texts per code; a code without one reads "Error <code>.\r\n".
    std::map<int, std::string> Texts;

    std::vector<std::string> OpenedNames;
    TDCB DeviceDCB;  // what GetCommState reads; SetCommState stores into it
    std::uint32_t DeviceErrors = 0;
    TComStat DeviceStat;
    std::shared_ptr<TFakeLineEvents> Events = std::make_shared<TFakeLineEvents>();

    int CreateFile(const std::string& name, TCommHandle& handle) override;
    int GetCommState(TCommHandle handle, TDCB& dcb) override;
    int SetCommState(TCommHandle handle, const TDCB& dcb) override;
    int SetCommTimeouts(TCommHandle, const TCommTimeouts& timeouts) override {
        return Record({.name = "SetCommTimeouts", .arg = timeouts.ReadIntervalTimeout});
    }
    int SetupComm(TCommHandle, std::uint32_t inQueue, std::uint32_t outQueue) override {
        return Record({.name = "SetupComm", .arg = inQueue, .arg2 = outQueue});
    }
    int SetCommMask(TCommHandle, std::uint32_t mask) override {
        return Record({.name = "SetCommMask", .arg = mask});
    }
    int PurgeComm(TCommHandle, std::uint32_t flags) override {
        return Record({.name = "PurgeComm", .arg = flags});
    }
    int ClearCommError(TCommHandle handle, std::uint32_t& errors, TComStat& stat) override;
    int EscapeCommFunction(TCommHandle handle, std::uint32_t function) override;
    int CloseHandle(TCommHandle handle) override {
        return Record({.name = "CloseHandle", .arg = static_cast<std::uint32_t>(handle)});
    }
    int SetHangUpOnClose(TCommHandle, bool drop) override {
        return Record({.name = "SetHangUpOnClose", .arg = drop});
    }
    std::unique_ptr<TCommEventWait> CreateEventWait(TCommHandle handle) override;
    std::string ErrorText(int code) override;

    // The escape functions only, as "SETRTS", "CLRDTR", ...
    std::vector<std::string> LineCalls() const;
    // The names of all calls, in order.
    std::vector<std::string> CallNames() const;
    // The calls of one name, in order.
    std::vector<Call> CallsNamed(const std::string& name) const;

protected:
    int Record(Call call);
};

// Takes hand-overs and drops them unrun; for components that never start
// an event thread.
class TDroppingInvoker : public TUiInvoker {
public:
    void InvokeAsync(std::function<void()>) override {}
};

// Keeps the messages of the reported errors.
class TRecordingErrorReport : public TErrorReport {
public:
    void ReportException(const std::exception& error) override;
    std::vector<std::string> Messages() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
};

// A port component whose handle a test can set to an already-open value.
class TTestComm : public TVaComm {
public:
    using TVaComm::TVaComm;
    // With an invoker and error report of its own, for tests that need
    // neither.
    explicit TTestComm(TCommPlatform& platform);

    void AttachHandle(TCommHandle handle) { FHandle = handle; }
    TCommHandle Handle() const { return FHandle; }
    bool HasThread() const { return FThread != nullptr; }

private:
    struct Collaborators {
        TDroppingInvoker invoker;
        TRecordingErrorReport report;
    };
    static Collaborators& Unused();
};

}  // namespace ziv::test

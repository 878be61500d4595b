#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serial/comm.h"
#include "serial/comm_platform.h"

namespace ziv::test {

// The waits of a fake port: each sleeps until woken, as the keyer's port
// asks for no line events, or fails at once with FailAtOnce while it is
// not 0. Shared by the platform and its waits, so a wait may outlive both.
class TFakeLineEvents {
public:
    int Wait(std::uint32_t& eventMask, TCommHandle wake);

    std::atomic<int> FailAtOnce{0};
    std::atomic<int> Waits{0};      // waits started
    std::atomic<int> LiveWaits{0};  // waits an event thread still holds
};

// Records every serial call in order, with the virtual time when a clock
// is given, and fails the calls it is told to fail.
class TFakeCommPlatform : public TCommPlatform {
public:
    struct Call {
        std::int64_t time = 0;
        std::string name;
        // The flags, mask, function, hang-up switch, read interval timeout,
        // or the in and out queue sizes.
        std::uint32_t arg = 0;
        std::uint32_t arg2 = 0;
    };

    // A closed port's event thread ends on its own; it must be gone before
    // the process ends, which would otherwise tear down under it.
    ~TFakeCommPlatform() override;

    std::function<std::int64_t()> Clock;
    std::vector<Call> Calls;
    // Call name ("SetCommState", "SETRTS", ...) -> error code to return.
    std::map<std::string, int> FailWith;
    // Texts per code; a code without one reads "Error <code>.\r\n".
    std::map<int, std::string> Texts;
    std::vector<std::string> OpenedNames;
    TDCB DeviceDCB;  // what GetCommState reads; SetCommState stores into it
    std::shared_ptr<TFakeLineEvents> Events = std::make_shared<TFakeLineEvents>();

    int CreateFile(const std::string& name, TCommHandle& handle) override;
    int GetCommState(TCommHandle, TDCB& dcb) override {
        const int error = Record({.name = "GetCommState"});
        if (!error)
            dcb = DeviceDCB;
        return error;
    }
    int SetCommState(TCommHandle, const TDCB& dcb) override {
        const int error = Record({.name = "SetCommState", .arg = dcb.Flags});
        if (!error)
            DeviceDCB = dcb;
        return error;
    }
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
    int ClearCommError(TCommHandle, std::uint32_t& errors, TComStat& stat) override {
        errors = 0;
        stat = {};
        return Record({.name = "ClearCommError"});
    }
    int EscapeCommFunction(TCommHandle, std::uint32_t function) override;
    int CloseHandle(TCommHandle) override { return Record({.name = "CloseHandle"}); }
    int SetHangUpOnClose(TCommHandle, bool drop) override {
        return Record({.name = "SetHangUpOnClose", .arg = drop});
    }
    std::unique_ptr<TCommEventWait> CreateEventWait(TCommHandle handle) override;
    std::string ErrorText(int code) override {
        const auto it = Texts.find(code);
        return it != Texts.end() ? it->second : "Error " + std::to_string(code) + ".\r\n";
    }

    // The line functions only ("SETRTS", "CLRDTR", ...), the names of all
    // calls, and the calls of one name, in order.
    std::vector<std::string> LineCalls() const {
        return Names(
            [](const Call& c) { return c.name.ends_with("RTS") || c.name.ends_with("DTR"); });
    }
    std::vector<std::string> CallNames() const {
        return Names([](const Call&) { return true; });
    }
    std::vector<Call> CallsNamed(const std::string& name) const {
        std::vector<Call> out;
        std::copy_if(Calls.begin(), Calls.end(), std::back_inserter(out),
                     [&](const Call& c) { return c.name == name; });
        return out;
    }

private:
    int Record(Call call) {
        call.time = Clock ? Clock() : 0;
        const auto it = FailWith.find(call.name);
        Calls.push_back(std::move(call));
        return it == FailWith.end() ? 0 : it->second;
    }
    template <typename Keep>
    std::vector<std::string> Names(Keep keep) const {
        std::vector<std::string> out;
        for (const Call& c : Calls)
            if (keep(c))
                out.push_back(c.name);
        return out;
    }
};

// Takes hand-overs and drops them unrun.
class TDroppingInvoker : public TUiInvoker {
public:
    void InvokeAsync(std::function<void()>) override {}
};

// Keeps the messages of the reported errors.
class TRecordingErrorReport : public TErrorReport {
public:
    void ReportException(const std::exception& error) override {
        std::lock_guard lock(mutex_);
        messages_.push_back(error.what());
    }
    std::vector<std::string> Messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
};

// A port component set up as the program's: DTR and RTS control disabled,
// so its close leaves the lines as they are (one dropped there would key an
// Inverted PTT). Its invoker and error report are its own; a test may set
// its handle to an already-open value.
class TTestComm : public TVaComm {
public:
    explicit TTestComm(TCommPlatform& platform);
    void AttachHandle(TCommHandle handle) { FHandle = handle; }
    TCommHandle Handle() const { return FHandle; }

private:
    static TDroppingInvoker invoker_;
    static TRecordingErrorReport report_;
};

}  // namespace ziv::test

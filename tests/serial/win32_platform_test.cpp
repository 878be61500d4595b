#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "comm_test_support.h"
#include "serial/comm_dcb_win32.h"
#include "serial/comm_error.h"
#include "serial/comm_platform_win32.h"
#include "serial/critical_section.h"
#include "serial/sync_objects.h"

#include "base/windows_api.h"
// The platform's method of this name is meant below.
#undef CreateFile

namespace ziv::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// COM12 is mapped to a regular file by this directory's CMakeLists: Wine
// opens it, and refuses the serial calls on it. COM9 is never made.
constexpr int kFilePort = 12;
constexpr int kMissingPort = 9;

TEST(Win32Dcb, EveryFlagReachesItsOwnBitFieldAndComesBack) {
    struct Row {
        std::uint32_t flags;
        std::function<unsigned(const DCB&)> field;
        unsigned value;
    };
    const Row rows[] = {
        {DCB_fBinary, [](const DCB& d) { return d.fBinary; }, 1},
        {DCB_fParity, [](const DCB& d) { return d.fParity; }, 1},
        {DCB_fOutxCtsFlow, [](const DCB& d) { return d.fOutxCtsFlow; }, 1},
        {DCB_fOutxDsrFlow, [](const DCB& d) { return d.fOutxDsrFlow; }, 1},
        {DTR_CONTROL_HANDSHAKE << DCB_fDtrControlShift, [](const DCB& d) { return d.fDtrControl; },
         DTR_CONTROL_HANDSHAKE},
        {DCB_fDsrSensitivity, [](const DCB& d) { return d.fDsrSensitivity; }, 1},
        {DCB_fTXContinueOnXoff, [](const DCB& d) { return d.fTXContinueOnXoff; }, 1},
        {DCB_fOutX, [](const DCB& d) { return d.fOutX; }, 1},
        {DCB_fInX, [](const DCB& d) { return d.fInX; }, 1},
        {DCB_fErrorChar, [](const DCB& d) { return d.fErrorChar; }, 1},
        {DCB_fNull, [](const DCB& d) { return d.fNull; }, 1},
        {RTS_CONTROL_TOGGLE << DCB_fRtsControlShift, [](const DCB& d) { return d.fRtsControl; },
         RTS_CONTROL_TOGGLE},
        {DCB_fAbortOnError, [](const DCB& d) { return d.fAbortOnError; }, 1},
    };
    for (const Row& row : rows) {
        TDCB in;
        in.Flags = row.flags;
        const DCB out = ToSystemDcb<DCB>(in);
        EXPECT_EQ(row.field(out), row.value) << std::hex << row.flags;
        unsigned total = 0;
        for (const Row& other : rows)
            total += other.field(out);
        EXPECT_EQ(total, row.value) << "other bit fields set for " << std::hex << row.flags;
        EXPECT_EQ(FromSystemDcb(out).Flags, row.flags) << std::hex << row.flags;
    }

    // The other fields, with characters above 127 (DCB's are signed chars).
    TDCB full;
    full.BaudRate = 256000;
    full.Flags = 0xFFFFFFFF;
    full.wReserved = 7;
    full.XonLim = 1024;
    full.XoffLim = 512;
    full.ByteSize = 7;
    full.Parity = 4;
    full.StopBits = 2;
    full.XonChar = 0x11;
    full.XoffChar = 0x13;
    full.ErrorChar = 0xFF;
    full.EofChar = 0x1A;
    full.EvtChar = 0x80;
    full.wReserved1 = 3;
    const DCB system = ToSystemDcb<DCB>(full);
    EXPECT_EQ(system.DCBlength, sizeof(DCB));
    EXPECT_EQ(system.XoffLim, 512);
    EXPECT_EQ(static_cast<unsigned char>(system.EvtChar), 0x80);
    full.DCBlength = sizeof(DCB);
    EXPECT_EQ(FromSystemDcb(system), full);
}

TEST(Win32ErrorText, SystemTextsFollowTheMessageRule) {
    TWin32CommPlatform platform;
    std::string seen;
    for (const int code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_INVALID_PARAMETER}) {
        const std::string raw = platform.ErrorText(code);
        const std::string text = TrimPlatformErrorText(raw);
        EXPECT_FALSE(text.empty()) << code;
        EXPECT_EQ(text.find("Unknown error"), std::string::npos) << code << ": " << raw;
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << code << ": " << raw;
        EXPECT_NE(text, seen) << code;
        seen = text;
        const std::string message = FormatCommMessage("Error writing dcb (%d), %s", code, text);
        EXPECT_EQ(message, "Error writing dcb (" + std::to_string(code) + "), " + text);
    }
    EXPECT_EQ(platform.ErrorText(0x2FFFFFFF), "Unknown error " + std::to_string(0x2FFFFFFF));
}

struct Win32Port : ::testing::Test {
    std::vector<std::string> log;
    TWin32CommPlatform platform{[this](const std::string& line) { log.push_back(line); }};
    TDroppingInvoker invoker;
    TRecordingErrorReport report;

    // Opens the port directly, as another program would: the system handle
    // or INVALID_HANDLE_VALUE with the error.
    static HANDLE OpenDirectly(int port, DWORD& error) {
        const std::string path = Win32DevicePath("COM" + std::to_string(port));
        const HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        error = handle == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
        return handle;
    }
};

TEST_F(Win32Port, MissingPortIsAnInvalidPortNumber) {
    TVaComm com{platform, invoker, report};
    com.SetPortNum(kMissingPort);
    EXPECT_EQ(CommErrorOf([&] { com.Open(); }), "Invalid port number (COM9)");
    EXPECT_FALSE(com.Active());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind("COM9 (\\\\.\\COM9): ", 0), 0u) << log[0];
}

// COM12 opens only through the device namespace; the file behind it is no
// serial device, so reading the line settings fails with the component's
// error. The component keeps the device until it is closed or destroyed;
// the exclusive open shows when the handle is really let go of.
TEST_F(Win32Port, FileMappedComPortOpensThenFailsReadingTheSettings) {
    DWORD error = 0;
    {
        TVaComm com{platform, invoker, report};
        com.SetPortNum(kFilePort);
        const std::string message = CommErrorOf([&] { com.Open(); });
        EXPECT_EQ(message.rfind("Error reading dcb (6), ", 0), 0u) << message;
        EXPECT_GT(message.size(), std::string("Error reading dcb (6), ").size()) << message;
        EXPECT_TRUE(com.Active());
        EXPECT_TRUE(log.empty());

        EXPECT_EQ(OpenDirectly(kFilePort, error), INVALID_HANDLE_VALUE);
        EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        // Clearing the queues fails the same way, so Close keeps the device.
        EXPECT_EQ(CommErrorOf([&] { com.Close(); }).rfind("Error clearing buffers (6), ", 0), 0u);
        EXPECT_TRUE(com.Active());
    }
    const HANDLE again = OpenDirectly(kFilePort, error);
    EXPECT_NE(again, INVALID_HANDLE_VALUE) << error;
    ::CloseHandle(again);
}

// On a device that is no serial port the event thread's wait must fail at
// once rather than block (the thread then pauses and retries).
TEST_F(Win32Port, EventWaitOnANonSerialDeviceFailsAtOnce) {
    TCommHandle handle = -1;
    ASSERT_EQ(platform.CreateFile("COM12", handle), 0);
    TVaSimpleEvent wake;
    auto wait = platform.CreateEventWait(handle);
    std::uint32_t mask = 0xFF;
    const auto start = Clock::now();
    EXPECT_NE(wait->Wait(mask, wake.Handle()), 0);  // Wine: ERROR_NOT_SUPPORTED
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_EQ(mask, 0u);
    EXPECT_EQ(platform.CloseHandle(handle), 0);
}

TEST(Win32SyncObjects, ManualResetEventWaitsAndTimesOut) {
    TVaSimpleEvent event;
    auto start = Clock::now();
    EXPECT_EQ(event.WaitFor(60), wrTimeout);
    EXPECT_GE(Clock::now() - start, 50ms);

    event.SetEvent();
    EXPECT_EQ(event.WaitFor(0), wrSignaled);
    EXPECT_EQ(event.WaitFor(0), wrSignaled);  // stays set for every waiter
    EXPECT_EQ(::WaitForSingleObject(reinterpret_cast<HANDLE>(event.Handle()), 0), WAIT_OBJECT_0);
    event.ResetEvent();
    EXPECT_EQ(event.WaitFor(0), wrTimeout);

    std::thread setter([&] {
        std::this_thread::sleep_for(50ms);
        event.SetEvent();
    });
    start = Clock::now();
    EXPECT_EQ(event.WaitFor(INFINITE), wrSignaled);
    EXPECT_LT(Clock::now() - start, 2s);
    setter.join();
}

TEST(Win32SyncObjects, ThreadPriorityScaleIsClampedToWindowsSteps) {
    const std::pair<int, int> rows[] = {
        {-15, THREAD_PRIORITY_IDLE},        {-20, THREAD_PRIORITY_IDLE},
        {-7, THREAD_PRIORITY_LOWEST},       {-2, THREAD_PRIORITY_LOWEST},
        {-1, THREAD_PRIORITY_BELOW_NORMAL}, {0, THREAD_PRIORITY_NORMAL},
        {1, THREAD_PRIORITY_ABOVE_NORMAL},  {5, THREAD_PRIORITY_HIGHEST},
        {15, THREAD_PRIORITY_TIME_CRITICAL}};
    for (const auto& [value, expected] : rows) {
        int seen = 99;
        std::thread([&] {
            SetCurrentThreadPriority(value);
            seen = ::GetThreadPriority(::GetCurrentThread());
        }).join();
        EXPECT_EQ(seen, expected) << value;
    }
}

TEST(Win32SyncObjects, CriticalSectionIsReentrantAndExcludesOthers) {
    TVaCriticalSection section;
    std::atomic<bool> entered{false};
    section.Enter();
    section.Enter();
    std::thread other([&] {
        TVaLockGuard guard(section);
        entered = true;
    });
    section.Leave();
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(entered.load()) << "entered while held once more";
    section.Leave();
    other.join();
    EXPECT_TRUE(entered.load());
}

// COM13 is a pseudo-terminal (pty_port.py) that answers every byte
// written to it with one: a serial port without modem lines.
struct Win32PtyPort : Win32Port {
    Win32PtyPort() { EXPECT_EQ(platform.CreateFile("COM13", handle), 0) << log.back(); }
    ~Win32PtyPort() override {
        if (handle != -1)
            platform.CloseHandle(handle);
    }
    // Writes bytes to the port; the overlapped handle needs an overlapped write.
    void Send(const char* bytes) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        DWORD written = 0;
        const auto length = static_cast<DWORD>(std::strlen(bytes));
        if (!::WriteFile(reinterpret_cast<HANDLE>(handle), bytes, length, nullptr, &overlapped)) {
            EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
        }
        EXPECT_TRUE(
            ::GetOverlappedResult(reinterpret_cast<HANDLE>(handle), &overlapped, &written, TRUE));
        EXPECT_EQ(written, length);
        ::CloseHandle(overlapped.hEvent);
    }
    // One wait of the event thread's kind, its result and how long it took;
    // a watchdog wakes it after three seconds rather than letting it hang.
    struct Outcome {
        int result;
        std::uint32_t mask;
        Clock::duration took;
    };
    Outcome WaitOnce(TCommEventWait& wait, TVaSimpleEvent& wake,
                     std::chrono::milliseconds wakeAfter) {
        wake.ResetEvent();
        std::atomic<bool> over{false};
        std::thread waker([&] {
            const auto until = Clock::now() + wakeAfter;
            while (!over && Clock::now() < until)
                std::this_thread::sleep_for(5ms);
            wake.SetEvent();
        });
        Outcome outcome{-1, 0xFFFF, {}};
        const auto start = Clock::now();
        outcome.result = wait.Wait(outcome.mask, wake.Handle());
        outcome.took = Clock::now() - start;
        over = true;
        waker.join();
        return outcome;
    }

    TCommHandle handle = -1;
};

TEST_F(Win32PtyPort, EventWaitEndsOnWakeOrOnReceivedData) {
    TVaSimpleEvent wake;
    auto wait = platform.CreateEventWait(handle);
    // The keyer's empty mask, which WaitCommEvent would refuse: the wait
    // sleeps until it is woken.
    ASSERT_EQ(platform.SetCommMask(handle, 0), 0);
    Outcome outcome = WaitOnce(*wait, wake, 100ms);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.mask, 0u);
    EXPECT_GE(outcome.took, 90ms);
    EXPECT_LT(outcome.took, 1s);

    // A pending WaitCommEvent: the wake cancels it. (Wine 8 aborts a
    // pending wait on a pty by itself, ERROR_OPERATION_ABORTED, so here
    // only "no hang, no event" can be checked.)
    ASSERT_EQ(platform.SetCommMask(handle, EV_RXCHAR), 0);
    outcome = WaitOnce(*wait, wake, 100ms);
    EXPECT_TRUE(outcome.result == 0 || outcome.result == ERROR_OPERATION_ABORTED) << outcome.result;
    EXPECT_EQ(outcome.mask, 0u);
    EXPECT_LT(outcome.took, 1s);

    // Received data ends the wait with its event and shows in the queue.
    // The answer comes from another process, and Wine may abort a wait on
    // its own (see above): a few tries, within three seconds in all.
    Send("x");
    const auto deadline = Clock::now() + 3s;
    do {
        outcome = WaitOnce(*wait, wake, 3s);
    } while (outcome.result == ERROR_OPERATION_ABORTED && Clock::now() < deadline);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.mask, static_cast<std::uint32_t>(EV_RXCHAR));
    std::uint32_t errors = 0;
    TComStat stat;
    ASSERT_EQ(platform.ClearCommError(handle, errors, stat), 0);
    EXPECT_EQ(stat.cbInQue, 1u);
    EXPECT_EQ(platform.PurgeComm(handle, PURGE_RXCLEAR), 0);
    ASSERT_EQ(platform.ClearCommError(handle, errors, stat), 0);
    EXPECT_EQ(stat.cbInQue, 0u);
}

TEST_F(Win32PtyPort, LineSettingsReachTheDeviceAndModemLinesAreRefused) {
    TDCB dcb;
    ASSERT_EQ(platform.GetCommState(handle, dcb), 0);
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    dcb.BaudRate = 9600;
    dcb.StopBits = 2;
    dcb.Flags = DCB_fBinary | DCB_fOutX | DCB_fInX;
    ASSERT_EQ(platform.SetCommState(handle, dcb), 0);
    TDCB back;
    ASSERT_EQ(platform.GetCommState(handle, back), 0);
    EXPECT_EQ(back.BaudRate, 9600u);
    EXPECT_EQ(back.StopBits, 2);
    EXPECT_EQ(back.Flags & (DCB_fOutX | DCB_fInX | DCB_fOutxCtsFlow), DCB_fOutX | DCB_fInX);

    // A pty has no RTS or DTR: the component reports the refusal.
    TVaComm com{platform, invoker, report};
    com.SetPortNum(13);
    com.SetDTREnable(false);
    com.SetRTSEnable(false);
    ASSERT_EQ(platform.CloseHandle(handle), 0);
    handle = -1;
    EXPECT_EQ(CommErrorOf([&] { com.Open(); }), "");
    EXPECT_EQ(CommErrorOf([&] { com.SetRTS(true); }),
              "Error calling comm function (50), " +
                  TrimPlatformErrorText(platform.ErrorText(ERROR_NOT_SUPPORTED)));
    EXPECT_EQ(CommErrorOf([&] { com.Close(); }), "");
    EXPECT_FALSE(com.Active());
}

}  // namespace
}  // namespace ziv::test

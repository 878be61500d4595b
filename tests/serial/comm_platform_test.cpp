#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "comm_test_support.h"
#include "serial/comm_error.h"
#include "serial/sync_objects.h"

namespace ziv::test {
// Taken before <windows.h> makes the name its own macro.
constexpr TCommHandle kNoHandle = INVALID_HANDLE_VALUE;
}  // namespace ziv::test

#ifdef _WIN32
#include "serial/comm_dcb_win32.h"
#include "serial/comm_platform_win32.h"

#include "base/windows_api.h"
// The platform's method of this name is meant below.
#undef CreateFile
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "serial/comm_platform_posix.h"
#endif

// The serial platform, one contract for both systems: the POSIX calls on a
// pseudo-terminal of the test's own, and the Win32 calls under Wine on
// COM13, a pseudo-terminal that pty_port.py holds and that answers every
// byte written to it with one. A pty is a serial port without modem lines.

namespace ziv::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kMissingPort = 9;

struct CommPlatform : ::testing::Test {
#ifdef _WIN32
    static constexpr int kPtyPort = 13;
    // Wine shares nothing of a regular file opened without sharing, but
    // lets a pty be opened twice.
    static constexpr int kExclusivePort = 12;
    static constexpr int kNoModemLines = ERROR_NOT_SUPPORTED;

    // Bytes that arrive from the far end: it answers these, written to the
    // port (overlapped, as the handle is).
    void FarEndSends(TCommHandle handle, const char* bytes, DWORD length) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        DWORD written = 0;
        if (!::WriteFile(reinterpret_cast<HANDLE>(handle), bytes, length, nullptr, &overlapped)) {
            EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
        }
        EXPECT_TRUE(
            ::GetOverlappedResult(reinterpret_cast<HANDLE>(handle), &overlapped, &written, TRUE));
        EXPECT_EQ(written, length);
        ::CloseHandle(overlapped.hEvent);
    }

    std::vector<std::string> log;
    TWin32CommPlatform platform{[this](const std::string& line) { log.push_back(line); }};
#else
    static constexpr int kPtyPort = 1;
    static constexpr int kExclusivePort = kPtyPort;
    static constexpr int kNoModemLines = ENOTTY;

    CommPlatform() {
        NewPty();
    }
    ~CommPlatform() override {
        ::close(master);
    }
    void NewPty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ::grantpt(master);
        ::unlockpt(master);
        slavePath = ::ptsname(master);
    }
    void FarEndSends(TCommHandle, const char* bytes, std::size_t length) {
        ASSERT_EQ(::write(master, bytes, length), static_cast<ssize_t>(length));
    }

    int master = -1;
    std::string slavePath;
    std::vector<std::string> log;
    // COM2 names a device that is not there.
    TPosixCommPlatform platform{
        [this](const std::string& name) {
            return name == "COM1" ? slavePath : name == "COM2" ? "/nonexistent/ttyZ9" : "";
        },
        [this](const std::string& line) { log.push_back(line); }};
#endif

    const std::string ptyName = "COM" + std::to_string(kPtyPort);

    // One wait of the event thread's kind, woken after wakeAfter unless it
    // ended before.
    struct Outcome {
        int result = -1;
        std::uint32_t mask = 0xFFFF;
        Clock::duration took{};
    };
    static Outcome WaitOnce(TCommEventWait& wait, TVaSimpleEvent& wake,
                            std::chrono::milliseconds wakeAfter) {
        wake.ResetEvent();
        std::atomic<bool> over{false};
        std::thread waker([&] {
            const auto until = Clock::now() + wakeAfter;
            while (!over && Clock::now() < until)
                std::this_thread::sleep_for(5ms);
            wake.SetEvent();
        });
        Outcome outcome;
        const auto start = Clock::now();
        outcome.result = wait.Wait(outcome.mask, wake.Handle());
        outcome.took = Clock::now() - start;
        over = true;
        waker.join();
        return outcome;
    }
};

TEST_F(CommPlatform, OpenIsExclusiveAndAMissingPortIsNamed) {
    const std::string name = "COM" + std::to_string(kExclusivePort);
    TCommHandle first = kNoHandle, second = kNoHandle;
    ASSERT_EQ(platform.CreateFile(name, first), 0) << (log.empty() ? "" : log.back());
    EXPECT_NE(platform.CreateFile(name, second), 0);
    EXPECT_EQ(second, kNoHandle);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind(name + " (", 0), 0u) << log[0];
    EXPECT_NE(log[0].find("in use by another program"), std::string::npos) << log[0];
    TTestComm busy{platform};
    busy.SetPortNum(kExclusivePort);
    EXPECT_EQ(CommErrorOf([&] { busy.Open(); }), "Can't open device " + name);

    // Let go of at close: the port opens again.
    EXPECT_EQ(platform.CloseHandle(first), 0);
    ASSERT_EQ(platform.CreateFile(name, first), 0);
    EXPECT_EQ(platform.CloseHandle(first), 0);

    log.clear();
    EXPECT_EQ(platform.CreateFile("COM9", second), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind("COM9", 0), 0u) << log[0];
    TTestComm missing{platform};
    missing.SetPortNum(kMissingPort);
    EXPECT_EQ(CommErrorOf([&] { missing.Open(); }), "Invalid port number (COM9)");
    EXPECT_FALSE(missing.Active());
#ifndef _WIN32
    EXPECT_EQ(platform.CreateFile("COM2", second), ERROR_FILE_NOT_FOUND);
#endif
}

TEST_F(CommPlatform, LineSettingsAndQueuesReachTheDevice) {
    TCommHandle h = kNoHandle;
    ASSERT_EQ(platform.CreateFile(ptyName, h), 0);
    TDCB keyer;
    ASSERT_EQ(platform.GetCommState(h, keyer), 0);
    keyer.BaudRate = 9600;
    keyer.ByteSize = 8;
    keyer.Parity = 0;
    keyer.StopBits = 0;
    keyer.Flags = DCB_fBinary | DCB_fOutX | DCB_fInX;
    ASSERT_EQ(platform.SetCommState(h, keyer), 0);
    TDCB back;
    ASSERT_EQ(platform.GetCommState(h, back), 0);
    EXPECT_EQ(back.BaudRate, 9600u);
    EXPECT_EQ(back.ByteSize, 8);
    EXPECT_EQ(back.Flags & (DCB_fOutX | DCB_fInX | DCB_fOutxCtsFlow), DCB_fOutX | DCB_fInX);
#ifndef _WIN32
    // What termios does not hold comes back as written. Refused, and
    // nothing changes: what termios cannot express, and a framing the
    // device did not take (a pty keeps eight data bits without parity),
    // found by reading it back.
    EXPECT_EQ(back, keyer);
    TDCB bad = keyer;
    bad.Flags |= DCB_fOutxDsrFlow;
    EXPECT_EQ(platform.SetCommState(h, bad), EINVAL);
    bad = keyer;
    bad.BaudRate = 1200;
    bad.ByteSize = 7;
    bad.Parity = 3;
    EXPECT_EQ(platform.SetCommState(h, bad), EINVAL);
    ASSERT_EQ(platform.GetCommState(h, back), 0);
    EXPECT_EQ(back, keyer);
    // No line events here.
    EXPECT_EQ(platform.SetCommMask(h, EV_RXCHAR), EINVAL);
#endif
    EXPECT_EQ(platform.SetCommMask(h, 0), 0);

    // What the far end sent waits in the input queue until purged. (Under
    // Wine the pty outlives a test: what an earlier one left goes first.)
    ASSERT_EQ(platform.PurgeComm(h, PURGE_RXCLEAR), 0);
    FarEndSends(h, "abc", 3);
    std::uint32_t errors = 1;
    TComStat stat;
    const auto deadline = Clock::now() + 10s;
    do {
        ASSERT_EQ(platform.ClearCommError(h, errors, stat), 0);
    } while (stat.cbInQue < 3 && Clock::now() < deadline &&
             (std::this_thread::sleep_for(5ms), true));
    EXPECT_EQ(stat.cbInQue, 3u);
    EXPECT_EQ(errors, 0u);
    ASSERT_EQ(platform.PurgeComm(h, PURGE_TXCLEAR | PURGE_RXCLEAR), 0);
    ASSERT_EQ(platform.ClearCommError(h, errors, stat), 0);
    EXPECT_EQ(stat.cbInQue, 0u);
    EXPECT_EQ(platform.CloseHandle(h), 0);
}

// The keyer's port asks for no line events: its event thread's wait sleeps
// until it is woken.
TEST_F(CommPlatform, EventWaitWithoutEventsSleepsUntilWoken) {
    TCommHandle h = kNoHandle;
    ASSERT_EQ(platform.CreateFile(ptyName, h), 0);
    ASSERT_EQ(platform.SetCommMask(h, 0), 0);
    TVaSimpleEvent wake;
    auto wait = platform.CreateEventWait(h);
    Outcome outcome = WaitOnce(*wait, wake, 100ms);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.mask, 0u);
    EXPECT_GE(outcome.took, 90ms);
#ifdef _WIN32
    // A pending WaitCommEvent: the wake cancels it. (Wine 8 aborts a
    // pending wait on a pty by itself, so only "no event" is checked.)
    ASSERT_EQ(platform.SetCommMask(h, EV_RXCHAR), 0);
    outcome = WaitOnce(*wait, wake, 100ms);
    EXPECT_TRUE(outcome.result == 0 || outcome.result == ERROR_OPERATION_ABORTED) << outcome.result;
    EXPECT_EQ(outcome.mask, 0u);
    // Received data ends the wait with its event; Wine may abort a wait on
    // its own: a few tries.
    FarEndSends(h, "x", 1);
    const auto deadline = Clock::now() + 10s;
    do {
        outcome = WaitOnce(*wait, wake, 10s);
    } while (outcome.result == ERROR_OPERATION_ABORTED && Clock::now() < deadline);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.mask, static_cast<std::uint32_t>(EV_RXCHAR));
    EXPECT_EQ(platform.PurgeComm(h, PURGE_RXCLEAR), 0);
#endif
    EXPECT_EQ(platform.CloseHandle(h), 0);
}

// The pty has no RTS line: the component reports the platform's refusal
// with its code and text, and still opens and closes the port.
TEST_F(CommPlatform, ComponentReportsARefusedLineAndErrorTextsAreLines) {
    TTestComm com{platform};
    com.SetDTREnable(false);
    com.SetRTSEnable(false);
    com.SetPortNum(kPtyPort);
    EXPECT_EQ(CommErrorOf([&] { com.Open(); }), "");
    ASSERT_TRUE(com.Active());
    EXPECT_EQ(CommErrorOf([&] { com.SetRTS(true); }),
              "Error calling comm function (" + std::to_string(kNoModemLines) + "), " +
                  TrimPlatformErrorText(platform.ErrorText(kNoModemLines)));
    EXPECT_EQ(CommErrorOf([&] { com.Close(); }), "");
    EXPECT_FALSE(com.Active());

    std::string seen;
    for (const int code : {int{ERROR_FILE_NOT_FOUND}, kNoModemLines}) {
        const std::string raw = platform.ErrorText(code);
        const std::string text = TrimPlatformErrorText(raw);
        EXPECT_FALSE(text.empty()) << code;
        EXPECT_EQ(text.find("Unknown error"), std::string::npos) << code << ": " << raw;
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << code << ": " << raw;
        EXPECT_NE(text, seen) << code;
        seen = text;
    }
    EXPECT_EQ(platform.ErrorText(0x2FFFFFFF), "Unknown error " + std::to_string(0x2FFFFFFF));
}

#ifdef _WIN32
// On a device that is no serial port (COM12, a regular file) the event
// thread's wait fails rather than sleep until it is woken.
TEST_F(CommPlatform, EventWaitOnANonSerialDeviceFails) {
    TCommHandle h = kNoHandle;
    ASSERT_EQ(platform.CreateFile("COM12", h), 0);
    TVaSimpleEvent wake;
    auto wait = platform.CreateEventWait(h);
    const Outcome outcome = WaitOnce(*wait, wake, 10s);
    EXPECT_NE(outcome.result, 0);
    EXPECT_EQ(outcome.mask, 0u);
    EXPECT_EQ(platform.CloseHandle(h), 0);
}

TEST(Win32Dcb, EveryFlagReachesItsOwnBitFieldAndComesBack) {
    for (std::uint32_t bit = 1; bit <= DCB_fAbortOnError; bit <<= 1) {
        TDCB in;
        in.Flags = bit;
        const DCB out = ToSystemDcb<DCB>(in);
        EXPECT_EQ(FromSystemDcb(out).Flags, bit) << std::hex << bit;
        // The same bit of the system's record, where its bit fields lie.
        std::uint32_t word = 0;
        std::memcpy(&word, reinterpret_cast<const char*>(&out) + offsetof(DCB, BaudRate) + 4,
                    sizeof word);
        EXPECT_EQ(word, bit) << std::hex << bit;
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
    EXPECT_EQ(static_cast<unsigned char>(system.EvtChar), 0x80);
    full.DCBlength = sizeof(DCB);
    EXPECT_EQ(FromSystemDcb(system), full);
}
#else
TEST(DefaultPortPath, BuiltInPortsCountFromZero) {
    EXPECT_EQ(DefaultPortPath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(DefaultPortPath("COM12"), "/dev/ttyS11");
    for (const char* bad : {"COM0", "COM", "COM1a", "LPT1", "COM-1", ""})
        EXPECT_EQ(DefaultPortPath(bad), "") << bad;
}

// An unplugged USB adapter hangs its terminal up: every call on it fails
// from then on. Closing must still let go of the device, or the port could
// not be opened again once the adapter is back.
TEST_F(CommPlatform, ClosingAPortWhoseDeviceWentAway) {
    TTestComm com{platform};
    com.SetDTREnable(false);
    com.SetRTSEnable(false);
    com.SetPortNum(kPtyPort);
    com.Open();
    ASSERT_TRUE(com.Active());
    const int fd = static_cast<int>(com.Handle());

    ::close(master);
    master = -1;
    EXPECT_EQ(CommErrorOf([&] { com.Close(); }), "");
    EXPECT_FALSE(com.Active());
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);

    NewPty();
    com.Open();
    EXPECT_TRUE(com.Active());
    com.Close();

    // A purge refused by a device that is still there is reported.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    EXPECT_EQ(platform.PurgeComm(pipeFds[0], PURGE_TXCLEAR | PURGE_RXCLEAR), ENOTTY);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
}
#endif

}  // namespace
}  // namespace ziv::test
